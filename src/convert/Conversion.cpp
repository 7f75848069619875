#include "Conversion.h"

#include "CommandLine.h"
#include "Shutdown.h"
#include "framework/InputLock.h"
#include "framework/Paths.h"
#include "framework/Seam.h"
#include "framework/String.h"
#include "resources/resource.h"

#include <algorithm>

namespace convert {

namespace {
// An encoder whose output has ended gets this long to end by itself and say how.
constexpr DWORD kEncoderEndMs = 5000;
// How often a step looks at the children and the clock.
constexpr UINT kStepMs = 50;
} // namespace

void CConversion::Log(UINT id) {
    m_host.Log(LoadResString(id));
}

void CConversion::CannotRun(const wchar_t* engine) {
    // The box says what to do, unless another is open; the log says which file would not run
    // and why (a download the system blocks, an antivirus, a missing file).
    const DWORD error = ::GetLastError();
    if (!BoxOpenOver(m_hOwner))
        m_host.Ask(LoadResString(IDS_REINSTALL), MB_OK);
    const std::wstring path = GetModuleDirectory() + L"bin\\" + engine;
    m_host.Log(FormatString(LoadResString(IDS_LOG_CANNOT_RUN).c_str(), path.c_str(),
                            SystemErrorText(error).c_str()));
}

void CConversion::SetStep(FileStep step) {
    m_step = step;
    if (step == FileStep::None)
        ::KillTimer(m_hOwner, kStepTimer);
    else
        ::SetTimer(m_hOwner, kStepTimer, kStepMs, nullptr);
}

void CConversion::SetBusy(bool busy) {
    if (m_bBusy != busy)
        m_host.SetBusy(m_bBusy = busy);
}

bool CConversion::ConvertFile(const std::wstring& path) {
    m_host.FileStarted();
    m_strOutputFolder = FolderOf(path);
    m_path = path;

    m_mediaInfo.Close();
    m_mediaInfo.Reset(m_hOwner);
    if (!m_mediaInfo.Open(CRedirMediaInfo::IdentifyCommand(GetModuleDirectory(), path).c_str())) {
        CannotRun(L"mplayer.exe");
        return false;
    }
    // The player prints its facts and ends; one that never ends is cut short.
    m_deadline = ::GetTickCount64() + CRedirMediaInfo::kIdentifyBoundMs;
    SetStep(FileStep::Identifying);
    return true;
}

void CConversion::FileIdentified() {
    m_mediaInfo.ParseMediaInfo();
    m_currentSeconds = std::max(0, m_mediaInfo.m_nDuration);
    if (m_currentSeconds > 0) {
        m_knownSeconds += m_currentSeconds;
        ++m_nKnown;
    }
    EncodeSettings settings;
    wchar_t windows[MAX_PATH] = L"";
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    settings.windowsFolder = windows;
    settings.quality = m_host.Quality();
    settings.format = m_host.Format();
    settings.programFolder = GetModuleDirectory();
    settings.width = m_mediaInfo.m_nWidth;
    settings.fps = m_mediaInfo.m_dFps;
    settings.subtitle = ChooseSubtitle(m_path, m_mediaInfo.m_subtitleTracks);
    settings.audioTrack = ChooseAudioTrack(m_mediaInfo.m_audioTracks);
    if (!CanConvert(settings.width, m_mediaInfo.m_nDuration, settings.fps)) {
        FileSkipped();
        return;
    }

    m_encoder.Close();
    m_encoder.Arm(m_hOwner);
    m_bEncoderEnded = false;
    if (!m_encoder.Open(EncoderCommand(settings, m_path).c_str())) {
        CannotRun(L"mencoder.exe");
        FileSkipped();
        return;
    }
    m_host.ShowProgress(0);
    SetBusy(false);
    SetStep(FileStep::Encoding);
    m_host.QueueProgressChanged();
}

void CConversion::FileSkipped() {
    Log(IDS_LOG_UNSUPPORTED);
    SetBusy(false);
    m_doneSeconds += m_currentSeconds;
    ++m_nCurrentItem;
    // The window answers before the next file: Stop and the close button are reachable.
    SetStep(FileStep::Between);
}

void CConversion::FileEncoded(std::optional<DWORD> exitCode) {
    // Only an encoder that ended by itself with 0 and never said it failed made the movie: one
    // that was ended from outside, crashed or gave up without a word leaves a broken file.
    if (m_encoder.m_bSucceeded && exitCode == 0u) {
        m_encoder.m_nPercent = 100;
        Log(IDS_LOG_OK);
    } else {
        Log(IDS_LOG_FAILED);
    }
    m_host.Untick(m_nCurrentItem);
    ++m_nConverted;
    m_doneSeconds += m_currentSeconds;
    m_currentSeconds = 0;
    NextFile();
}

void CConversion::NextFile() {
    for (; m_nCurrentItem < m_host.ItemCount(); ++m_nCurrentItem) {
        if (!m_host.IsTicked(m_nCurrentItem))
            continue;
        const std::wstring path = m_host.ItemPath(m_nCurrentItem);
        m_host.Log(FormatString(LoadResString(IDS_LOG_CONVERTING).c_str(), NameOf(path).c_str()));
        ++m_nFileNumber;
        m_currentSeconds = 0;
        SetBusy(true);
        if (!ConvertFile(path))
            FileSkipped();
        return;
    }
    // The run's closing box waits for one open over the window (the about box): a box does
    // not open inside another.
    if (BoxOpenOver(m_hOwner)) {
        SetStep(FileStep::Between);
        return;
    }
    EndRun();
}

void CConversion::EndRun() {
    SetStep(FileStep::None);
    Seam().KeepSystemAwake(false);
    const std::wstring converted =
        FormatString(LoadResString(IDS_LOG_CONVERTED).c_str(), m_nConverted);
    m_host.Log(converted);
    m_state = RunState::Finished;
    m_host.ReleaseList();
    m_host.ShowExitButton();

    if (m_nConverted > 0 && m_host.ShutdownWanted()) {
        if (InitiateShutdown(LoadResString(IDS_SHUTDOWN_MESSAGE).c_str()) &&
            m_host.Ask(LoadResString(IDS_ASK_ABORT_SHUTDOWN), MB_YESNO) == IDYES)
            AbortShutdown();
    } else {
        m_host.Ask(converted, MB_OK);
    }
}

void CConversion::Step() {
    // Asking: nothing moves until the user has answered. In a step: a box of it is open.
    if (m_bInStep || m_state != RunState::Converting)
        return;
    m_bInStep = true;
    // Again while the step changes, but a skipped file's successor waits for the next call:
    // the window answers in between.
    for (FileStep before = m_step;; before = m_step) {
        StepOnce();
        if (m_step == before || m_step == FileStep::Between || m_state != RunState::Converting)
            break;
    }
    m_bInStep = false;
}

void CConversion::StepOnce() {
    switch (m_step) {
    case FileStep::None:
        break;
    case FileStep::Between:
        NextFile();
        break;
    case FileStep::Identifying:
        if (m_mediaInfo.Finished()) {
            FileIdentified();
        } else if (Passed()) {
            m_mediaInfo.TerminateChild(0);
            FileIdentified(); // with what it printed so far
        }
        break;
    case FileStep::Encoding:
        if (m_bEncoderEnded) {
            m_deadline = ::GetTickCount64() + kEncoderEndMs;
            SetStep(FileStep::Ending);
        }
        break;
    case FileStep::Ending:
        if (m_encoder.WaitForChild(0)) {
            FileEncoded(m_encoder.ExitCode());
        } else if (Passed()) {
            m_encoder.TerminateChild(1);
            FileEncoded(std::nullopt);
        }
        break;
    }
}

void CConversion::OnConvert(bool onRunPage) {
    if (onRunPage) {
        if (Finished()) {
            m_host.EndProgram();
            return;
        }
        if (!ConfirmStop())
            return;
        m_host.ShowExitButton();
        Log(IDS_LOG_CANCELED);
        StopConversion();
        m_state = RunState::Finished;
        return;
    }

    m_host.ShowRunStarted();
    m_nCurrentItem = 0;
    m_nConverted = 0;
    m_nTicked = 0;
    for (int item = 0; item < m_host.ItemCount(); ++item)
        m_nTicked += m_host.IsTicked(item);
    m_nFileNumber = 0;
    m_doneSeconds = m_currentSeconds = m_knownSeconds = 0;
    m_nKnown = 0;
    m_runStart = ::GetTickCount64();
    m_state = RunState::Converting;
    Seam().KeepSystemAwake(true);
    m_host.ShowRunPage();
    // The first file at the first step: the page is on screen first.
    SetStep(FileStep::Between);
}

void CConversion::OnPrev(bool onRunPage) {
    if (onRunPage && Converting()) {
        if (!ConfirmStop())
            return;
        Log(IDS_LOG_CANCELED);
        StopConversion();
    }
    if (!Converting())
        m_state = RunState::Idle;
    m_host.ShowList();
}

void CConversion::OnClose(bool onRunPage) {
    if (onRunPage && Converting()) {
        if (!ConfirmStop())
            return;
        StopConversion();
    }
    m_host.EndProgram();
}

void CConversion::OnEncoderDone(WPARAM run) {
    // A stopped run's encoder may end after the next run has started.
    if (run != m_encoder.OwnerRun() || !Converting())
        return;
    m_bEncoderEnded = true;
    Step(); // while the user is asked, the end waits for the answer
}

bool CConversion::ConfirmStop() {
    const bool running = m_state == RunState::Converting;
    if (running) {
        m_state = RunState::Asking;
        m_host.QueueProgressChanged();
    }
    const bool stop = m_host.Ask(LoadResString(IDS_ASK_STOP), MB_YESNO) == IDYES;
    if (!running || m_state != RunState::Asking)
        return stop;
    m_state = RunState::Converting;
    m_host.QueueProgressChanged();
    if (!stop)
        Step(); // what happened behind the question goes on now
    return stop;
}

QueueProgress CConversion::Progress() const {
    QueueProgress progress;
    progress.files = m_nTicked;
    progress.file = std::min(std::max(m_nFileNumber, 1), std::max(m_nTicked, 1));
    const double share = std::clamp(Percent(), 0, 100) / 100.0;
    double done = 0, total = 0;
    if (m_nKnown > 0) {
        const double mean = m_knownSeconds / m_nKnown;
        done = m_doneSeconds + m_currentSeconds * share;
        total = m_doneSeconds + (m_currentSeconds > 0 ? m_currentSeconds : mean) +
                std::max(0, m_nTicked - m_nFileNumber) * mean;
    } else if (m_nTicked > 0) {
        done = std::max(0, m_nFileNumber - 1) + share;
        total = m_nTicked;
    }
    const double part = total > 0 ? std::clamp(done / total, 0.0, 1.0) : 0;
    progress.percent = static_cast<int>(part * 100);
    // Too early to tell under one percent: the first seconds are mostly identification.
    if (part >= 0.01) {
        const double elapsed = (::GetTickCount64() - m_runStart) / 1000.0;
        progress.secondsLeft = static_cast<int>(elapsed * (1 - part) / part);
    }
    return progress;
}

void CConversion::StopConversion() {
    if (Converting())
        m_state = RunState::Idle;
    if (m_step == FileStep::Identifying)
        m_mediaInfo.TerminateChild(0);
    SetStep(FileStep::None);
    SetBusy(false);
    Seam().KeepSystemAwake(false);
    m_host.ReleaseList();
    // Also when its output has already ended: the encoder may still be finishing.
    m_encoder.TerminateChild();
}

void CConversion::EndChildren() {
    ::KillTimer(m_hOwner, kStepTimer);
    if (Converting())
        Seam().KeepSystemAwake(false);
    m_mediaInfo.TerminateChild(0);
    m_encoder.TerminateChild();
}

} // namespace convert
