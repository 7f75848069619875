#include "Conversion.h"

#include "CommandLine.h"
#include "Shutdown.h"
#include "framework/Paths.h"
#include "framework/String.h"
#include "resources/resource.h"

#include <algorithm>

namespace convert {

namespace {
// The finished encoder gets this long to end before the next file starts.
constexpr DWORD kEncoderEndMs = 1000;
} // namespace

void CConversion::Log(UINT id) {
    m_host.Log(LoadResString(id));
}

int CConversion::ConvertFile(const std::wstring& path) {
    EncodeSettings settings;
    wchar_t windows[MAX_PATH] = L"";
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    settings.windowsFolder = windows;
    settings.quality = m_host.Quality();
    settings.programFolder = GetModuleDirectory();

    m_host.FileStarted();
    m_strOutputFolder = FolderOf(path);

    m_mediaInfo.Close();
    m_mediaInfo.Reset();
    if (!m_mediaInfo.Open(CRedirMediaInfo::IdentifyCommand(settings.programFolder, path).c_str())) {
        m_host.Ask(LoadResString(IDS_REINSTALL), MB_OK);
        return 1;
    }
    // The player prints its facts and ends; one that never ends is cut short.
    m_mediaInfo.WaitForFacts(CRedirMediaInfo::kIdentifyBoundMs);
    m_mediaInfo.ParseMediaInfo();
    m_currentSeconds = std::max(0, m_mediaInfo.m_nDuration);
    if (m_currentSeconds > 0) {
        m_knownSeconds += m_currentSeconds;
        ++m_nKnown;
    }

    settings.width = m_mediaInfo.m_nWidth;
    settings.fps = m_mediaInfo.m_dFps;
    if (!CanConvert(settings.width, m_mediaInfo.m_nDuration, settings.fps))
        return 1;

    m_encoder.Close();
    m_encoder.Arm(m_hOwner);
    if (!m_encoder.Open(EncoderCommand(settings, path).c_str())) {
        m_host.Ask(LoadResString(IDS_REINSTALL), MB_OK);
        return 1;
    }
    m_host.ShowProgress(0);
    return 0;
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
    // The first file is identified while the list is still on screen.
    ConvertNext();
    m_host.ShowRunPage();
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

void CConversion::ConvertNext() {
    for (; m_nCurrentItem < m_host.ItemCount(); ++m_nCurrentItem) {
        if (!m_host.IsTicked(m_nCurrentItem))
            continue;
        const std::wstring path = m_host.ItemPath(m_nCurrentItem);
        m_host.Log(FormatString(LoadResString(IDS_LOG_CONVERTING).c_str(), NameOf(path).c_str()));
        ++m_nFileNumber;
        m_currentSeconds = 0;

        m_host.SetBusy(true);
        const int result = ConvertFile(path);
        if (result != 0)
            Log(IDS_LOG_UNSUPPORTED);
        m_host.SetBusy(false);
        if (result == 0) {
            m_host.QueueProgressChanged();
            return; // the encoder's completion takes the run on
        }
        m_doneSeconds += m_currentSeconds;
    }

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

void CConversion::OnConvertDone() {
    if (!Converting())
        return;
    if (m_encoder.m_bSucceeded) {
        m_encoder.m_nPercent = 100;
        Log(IDS_LOG_OK);
    } else {
        Log(IDS_LOG_FAILED);
    }
    m_host.Untick(m_nCurrentItem);
    ++m_nConverted;
    m_doneSeconds += m_currentSeconds;
    m_currentSeconds = 0;
    m_encoder.WaitForChild(kEncoderEndMs);
    ConvertNext();
}

void CConversion::OnEncoderDone(WPARAM run) {
    // A stopped run's encoder may end after the next run has started.
    if (run != m_encoder.OwnerRun() || !Converting())
        return;
    if (m_state == RunState::Asking)
        m_state = RunState::AskingAfterDone; // handled when the user keeps the run going
    else if (m_state == RunState::Converting)
        OnConvertDone();
}

bool CConversion::ConfirmStop() {
    const bool running = Converting();
    if (running) {
        m_state = RunState::Asking;
        m_host.QueueProgressChanged();
    }
    const bool stop = m_host.Ask(LoadResString(IDS_ASK_STOP), MB_YESNO) == IDYES;
    if (!running || !Converting())
        return stop;
    const bool doneMeanwhile = m_state == RunState::AskingAfterDone;
    m_state = RunState::Converting;
    m_host.QueueProgressChanged();
    if (!stop && doneMeanwhile)
        OnConvertDone();
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
    m_host.ReleaseList();
    // Also when its output has already ended: the encoder may still be finishing.
    m_encoder.TerminateChild();
}

} // namespace convert
