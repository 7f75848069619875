#include "Preview.h"

#include "PreviewPlan.h"
#include "framework/Paths.h"
#include "framework/String.h"
#include "resources/resource.h"

#include <algorithm>

namespace preview {

namespace {
// Class name and title of the player's window inside the pane.
constexpr const wchar_t* kPlayerWindow = L"MPlayer - The Movie Player";
} // namespace

void CPreview::Attach(HWND owner, HWND frame, HWND pane) {
    m_hOwner = owner;
    m_hFrame = frame;
    m_hPane = pane;
}

void CPreview::SetStep(PreviewStep step) {
    m_step = step;
    if (step == PreviewStep::Idle)
        ::KillTimer(m_hOwner, kStepTimer);
    else
        ::SetTimer(m_hOwner, kStepTimer, kStepMs, nullptr);
}

void CPreview::TogglePreview(const std::optional<std::wstring>& selected) {
    if (Busy())
        return; // a start or a stop is under way; it decides
    if (Previewing())
        StopPreview(true);
    else if (selected)
        StartPreview(*selected);
}

void CPreview::StartPreview(const std::wstring& path) {
    if (m_step != PreviewStep::Idle)
        return;
    m_path = path;
    m_bBusy = true;
    m_host.SetBusy(true);
    m_mediaInfo.Close();
    m_mediaInfo.Reset(m_hOwner);
    m_identity = Identity::Unknown;
    // The last movie's length goes; this one's comes once it is identified.
    m_host.ShowLength(0);
    m_subtitleLookup.Start(path, m_hOwner);
    SetStep(PreviewStep::LookingBeside);
    Step();
}

// After the picture: on two cores the identification's own decoder, started beside the
// player's, held the first picture back by a third, and its start on this thread held back the
// pane's placing.
void CPreview::Identify() {
    m_identity = Identity::Running;
    StartDeadline(CRedirMediaInfo::kIdentifyBoundMs);
    // One that cannot start leaves the facts empty: the length shows as unknown, and the
    // picture plays on.
    m_mediaInfo.Open(CRedirMediaInfo::IdentifyCommand(GetModuleDirectory(), m_path).c_str());
}

void CPreview::FollowIdentification() {
    if (m_identity != Identity::Running)
        return;
    if (!m_mediaInfo.Finished()) {
        if (!Passed())
            return;
        m_mediaInfo.TerminateChild(0); // what it printed so far is all there is
    }
    m_identity = Identity::Known;
    m_mediaInfo.ParseMediaInfo();
    m_host.ShowLength(std::max(0, m_mediaInfo.m_nDuration));
    // Only identification names the sound and subtitle tracks inside the movie; a player that
    // plays others than the conversion would is started again with them.
    const size_t output = m_nextOutput - 1;
    if (PlayerCommand(output) == m_playerCommand)
        return;
    m_player.TerminateChild(0);
    m_bBusy = true;
    m_host.SetBusy(true);
    m_nextOutput = output;
    m_startBegan = ::GetTickCount64();
    OpenNextVideoOutput();
}

std::wstring CPreview::PlayerCommand(size_t output) const {
    wchar_t windows[MAX_PATH] = L"";
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    return PlayCommand(GetModuleDirectory(), windows, kVideoOutputs[output], m_hPane, m_path,
                       ChooseSubtitleAmong(m_subtitleLookup.File(), m_mediaInfo.m_subtitleTracks),
                       ChooseAudioTrack(m_mediaInfo.m_audioTracks));
}

bool CPreview::OpenPlayer(const std::wstring& command) {
    ::ShowWindow(m_hPane, SW_HIDE);
    m_player.Close();
    m_player.Arm(m_hOwner);
    m_bPlayerEnded = m_bPlacing = false;
    m_playerCommand = command;
    return m_player.Open(command.c_str());
}

void CPreview::OpenNextVideoOutput() {
    for (; m_nextOutput < std::size(kVideoOutputs); ++m_nextOutput) {
        const std::wstring command = PlayerCommand(m_nextOutput);
        if (OpenPlayer(command)) {
            ++m_nextOutput;
            SetStep(PreviewStep::OpeningVideo);
            StartDeadline(kVideoOutWaitMs);
            return;
        }
        // One that failed for a moment (a scanner on the file) is tried again for a while;
        // otherwise it will not start by waiting.
        if (CRedirector::StartMayPass(::GetLastError(), command.c_str()) &&
            ::GetTickCount64() - m_startBegan < CRedirector::kStartRetryMs) {
            SetStep(PreviewStep::StartingPlayer);
            return;
        }
    }
    EndStart();
}

void CPreview::EndStart() {
    if (m_player.VideoOutOpened()) {
        SetStep(PreviewStep::Playing);
        // The picture first: the window's own changes can be seen a moment later.
        BeginPlacing();
        PlacePane();
        m_host.ShowPreviewing(true);
    } else {
        ShowStopped();
        SetStep(PreviewStep::Idle);
    }
    if (std::exchange(m_bBusy, false))
        m_host.SetBusy(false);
}

void CPreview::Step() {
    if (m_bInStep)
        return; // a box of this step is open; the step goes on when it closes
    m_bInStep = true;
    // Again while the step changes: the next one may have nothing to wait for.
    for (PreviewStep before = m_step;; before = m_step) {
        StepOnce();
        if (m_step == before)
            break;
    }
    m_bInStep = false;
}

void CPreview::StepOnce() {
    switch (m_step) {
    case PreviewStep::Idle:
        break;
    case PreviewStep::LookingBeside:
        if (!m_subtitleLookup.Done())
            break;
        m_nextOutput = 0;
        m_startBegan = ::GetTickCount64();
        OpenNextVideoOutput();
        break;
    case PreviewStep::StartingPlayer:
        OpenNextVideoOutput();
        break;
    case PreviewStep::OpeningVideo:
        if (!m_player.VideoOutOpened() && !m_player.Exited() && !Passed())
            break;
        if (m_player.VideoOutOk()) {
            // This player stays, even if its picture is slow to come.
            SetStep(PreviewStep::AwaitingPicture);
            StartDeadline(kPictureWaitMs);
        } else {
            m_player.TerminateChild(0);
            OpenNextVideoOutput();
        }
        break;
    case PreviewStep::AwaitingPicture:
        if (m_player.Exited() || m_player.VideoOutOpened()) {
            EndStart();
        } else if (Passed()) {
            m_player.TerminateChild(0);
            m_host.Ask(LoadResString(IDS_VIDEO_UNSUPPORTED), MB_OK);
            EndStart();
        }
        break;
    case PreviewStep::Playing:
        if (m_bPlayerEnded) {
            StopPreview(); // its end came during the start
            break;
        }
        if (m_bPlacing)
            PlacePane();
        else if (m_identity == Identity::Unknown && ::GetTickCount64() >= m_identifyAt)
            Identify();
        FollowIdentification();
        break;
    case PreviewStep::Stopping:
        if (const HWND player = FindPlayerWindow(); !player) {
            EndStop();
        } else if (Passed()) {
            m_player.TerminateChild(0);
            EndStop();
        } else {
            ::PostMessageW(player, WM_CHAR, 'q', 0);
        }
        break;
    }
}

void CPreview::StopPreview(bool busy) {
    if (m_step == PreviewStep::Stopping)
        return;
    // Nothing of the start may go on behind the stop.
    m_mediaInfo.TerminateChild(0);
    if (Busy())
        m_player.TerminateChild(0);
    // The user sees the preview stop at once; the player's window may take a moment to go.
    ShowStopped();
    // The player closes its window on the quit key and then ends; one that ignores the key
    // is ended at the deadline.
    if (const HWND player = m_step == PreviewStep::Playing ? FindPlayerWindow() : nullptr) {
        ::PostMessageW(player, WM_CHAR, 'q', 0);
        if (busy && !std::exchange(m_bBusy, true))
            m_host.SetBusy(true);
        SetStep(PreviewStep::Stopping);
        StartDeadline(kQuitWaitMs);
        return;
    }
    EndStop();
}

void CPreview::ShowStopped() {
    m_bPlacing = false;
    ::MoveWindow(m_hPane, 0, 0, 0, 0, TRUE);
    m_host.ShowPreviewing(false);
}

void CPreview::EndStop() {
    SetStep(PreviewStep::Idle);
    if (std::exchange(m_bBusy, false))
        m_host.SetBusy(false);
}

void CPreview::PlacePane() {
    RECT frame{};
    ::GetWindowRect(m_hFrame, &frame);
    if (FindPlayerWindow()) {
        m_bPlacing = false;
        const PaneRect pane = FitPicture(frame.right - frame.left, frame.bottom - frame.top,
                                         m_player.PictureWidth(), m_player.PictureHeight());
        ::MoveWindow(m_hPane, pane.x, pane.y, pane.width, pane.height, TRUE);
        ::ShowWindow(m_hPane, SW_SHOW);
        m_identifyAt = ::GetTickCount64() + kIdentifyAfterPictureMs;
    } else if (::GetTickCount64() >= m_placeDeadline) {
        m_bPlacing = false;
        m_player.TerminateChild(0);
        m_host.Ask(LoadResString(IDS_REINSTALL), MB_OK);
    }
}

void CPreview::PlacePaneAgain() {
    if (m_step != PreviewStep::Playing || m_bPlacing)
        return;
    BeginPlacing();
    Step();
}

void CPreview::BeginPlacing() {
    m_bPlacing = true;
    m_placeDeadline = ::GetTickCount64() + kWindowWaitMs;
}

void CPreview::OnPlayerVideoOpened(WPARAM run) {
    // A video output that opened and then failed belongs to a player already given up.
    if (run != m_player.OwnerRun() || m_player.Exited())
        return;
    Step(); // the start sees the output open itself
}

void CPreview::OnPlayerEnded(WPARAM run) {
    // Only the armed player's end: one of a failed video output must not stop the next.
    if (run != m_player.OwnerRun())
        return;
    if (Busy()) {
        m_bPlayerEnded = true;
        Step(); // a start or a stop sees the end itself
    } else {
        StopPreview();
    }
}

HWND CPreview::FindPlayerWindow() const {
    return ::FindWindowExW(m_hPane, nullptr, kPlayerWindow, kPlayerWindow);
}

void CPreview::SeekPlayer(UINT key) {
    if (const HWND player = FindPlayerWindow())
        ::PostMessageW(player, WM_KEYDOWN, key, 0);
}

void CPreview::EndPlayer() {
    ::KillTimer(m_hOwner, kStepTimer);
    m_mediaInfo.TerminateChild(0);
    m_player.TerminateChild(0);
}

} // namespace preview
