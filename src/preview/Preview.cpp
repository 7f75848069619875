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

void CPreview::TogglePreview(const std::optional<std::wstring>& selected) {
    m_host.SetBusy(true);
    if (m_bPreviewing) {
        StopPreview();
    } else if (selected) {
        StartPreview(*selected);
        if (m_player.m_dwThreadId != 0) {
            for (int polls = 0; !m_player.m_bExited && !m_player.m_bVideoOutOpened;) {
                ::Sleep(kPollMs);
                if (++polls >= kOpenPolls) {
                    m_player.TerminateChild(0);
                    m_host.Ask(LoadResString(IDS_VIDEO_UNSUPPORTED), MB_OK);
                    break;
                }
            }
            if (m_player.m_bVideoOutOpened) {
                m_bPreviewing = true;
                m_host.ShowPreviewing(true);
            }
        }
    }
    m_host.SetBusy(false);
}

void CPreview::StartPreview(const std::wstring& path) {
    wchar_t windows[MAX_PATH] = L"";
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring programFolder = GetModuleDirectory();

    m_mediaInfo.Close();
    m_mediaInfo.Reset();
    m_mediaInfo.m_dwReaderThreadId = 0;
    if (m_mediaInfo.Open(CRedirMediaInfo::IdentifyCommand(programFolder, path).c_str()))
        m_mediaInfo.WaitForFacts(CRedirMediaInfo::kIdentifyBoundMs);
    m_mediaInfo.ParseMediaInfo();
    m_host.ShowLength(std::max(0, m_mediaInfo.m_nDuration));

    for (const wchar_t* videoOutput : kVideoOutputs) {
        const std::wstring command =
            PlayCommand(programFolder, windows, videoOutput, m_hPane, path);
        ::ShowWindow(m_hPane, SW_HIDE);
        m_player.m_dwThreadId = 0;
        m_player.Close();
        m_player.Arm(m_hOwner);
        m_player.Open(command.c_str());
        for (int polls = 0; m_player.m_dwThreadId == 0 && polls < kChildPolls; ++polls)
            ::Sleep(kPollMs);
        for (int polls = 0; !m_player.m_bVideoOutOpened && polls < kVideoOutPolls; ++polls)
            ::Sleep(kPollMs);
        if (m_player.m_dwThreadId != 0) {
            if (m_player.m_bVideoOutOk)
                return; // this player stays, even if its picture is slow to come
            m_player.TerminateChild(0);
        }
    }
}

void CPreview::StopPreview() {
    // The player closes its window on the quit key and then ends; one that ignores the key
    // is ended.
    const ULONGLONG giveUp = ::GetTickCount64() + kQuitWaitMs;
    while ((m_hPlayerWnd = FindPlayerWindow()) != nullptr) {
        if (::GetTickCount64() >= giveUp) {
            m_player.TerminateChild(0);
            break;
        }
        ::PostMessageW(m_hPlayerWnd, WM_CHAR, 'q', 0);
        ::Sleep(1);
    }
    ::MoveWindow(m_hPane, 0, 0, 0, 0, TRUE);
    m_host.ShowPreviewing(false);
    m_bPreviewing = false;
}

bool CPreview::FitPreviewPane() {
    RECT frame{};
    ::GetWindowRect(m_hFrame, &frame);
    if (!WaitForPlayerWindow())
        return false;
    const PaneRect pane = FitPicture(frame.right - frame.left, frame.bottom - frame.top,
                                     m_mediaInfo.m_nWidth, m_mediaInfo.m_nHeight);
    ::MoveWindow(m_hPane, pane.x, pane.y, pane.width, pane.height, TRUE);
    ::ShowWindow(m_hPane, SW_SHOW);
    return true;
}

bool CPreview::WaitForPlayerWindow() {
    m_hPlayerWnd = nullptr;
    for (int passes = 1;; ++passes) {
        m_hPlayerWnd = FindPlayerWindow();
        ::Sleep(kPollMs);
        if (passes > kWindowPolls) {
            m_player.TerminateChild(0);
            m_host.Ask(LoadResString(IDS_REINSTALL), MB_OK);
            return false;
        }
        if (m_hPlayerWnd)
            return true;
    }
}

void CPreview::OnPlayerVideoOpened(WPARAM run) {
    // A video output that opened and then failed belongs to a player already given up.
    if (run == m_player.OwnerRun() && !m_player.m_bExited)
        FitPreviewPane();
}

void CPreview::OnPlayerEnded(WPARAM run) {
    // Only the armed player's end: one of a failed video output must not stop the next.
    if (run == m_player.OwnerRun())
        StopPreview();
}

HWND CPreview::FindPlayerWindow() const {
    return ::FindWindowExW(m_hPane, nullptr, kPlayerWindow, kPlayerWindow);
}

void CPreview::SeekPlayer(UINT key, int lookups) {
    m_hPlayerWnd = nullptr;
    for (int i = 0; i < lookups; ++i) {
        m_hPlayerWnd = FindPlayerWindow();
        if (m_hPlayerWnd) {
            ::PostMessageW(m_hPlayerWnd, WM_KEYDOWN, key, 0);
            return;
        }
        if (lookups > 1)
            ::Sleep(1);
    }
}

} // namespace preview
