#include "Conversion.h"

#include "CommandLine.h"
#include "Shutdown.h"
#include "framework/Paths.h"
#include "framework/String.h"
#include "resources/resource.h"

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

        m_host.SetBusy(true);
        const int result = ConvertFile(path);
        if (result != 0)
            Log(IDS_LOG_UNSUPPORTED);
        m_host.SetBusy(false);
        if (result == 0)
            return; // the encoder's completion takes the run on
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
    if (running)
        m_state = RunState::Asking;
    const bool stop = m_host.Ask(LoadResString(IDS_ASK_STOP), MB_YESNO) == IDYES;
    if (!running || !Converting())
        return stop;
    const bool doneMeanwhile = m_state == RunState::AskingAfterDone;
    m_state = RunState::Converting;
    if (!stop && doneMeanwhile)
        OnConvertDone();
    return stop;
}

void CConversion::StopConversion() {
    if (Converting())
        m_state = RunState::Idle;
    m_host.ReleaseList();
    // Also when its output has already ended: the encoder may still be finishing.
    m_encoder.TerminateChild();
}

} // namespace convert
