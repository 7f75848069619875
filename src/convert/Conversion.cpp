// The conversion run of the main dialog: the ticked files of the list, one after another,
// each identified by the player and then re-encoded while the dialog stays responsive.
#include "ui/QuelvoxDlg.h"

#include "CommandLine.h"
#include "Shutdown.h"
#include "app/Paths.h"
#include "framework/App.h"
#include "framework/String.h"
#include "ui/resource.h"

#include <utility>

namespace {
constexpr DWORD kIdentifyFirstWaitMs = 1000;
constexpr DWORD kIdentifyPollMs = 500;
constexpr int kIdentifyPolls = 20;
constexpr DWORD kPauseBetweenFilesMs = 1000;
} // namespace

int CQuelvoxDlg::ConvertFile(const std::wstring& path) {
    convert::EncodeSettings settings;
    wchar_t windows[MAX_PATH] = L"";
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    settings.windowsFolder = windows;
    m_step1.UpdateData(TRUE);
    settings.quality = m_step1.m_nQuality;
    settings.programFolder = GetModuleDirectory();

    m_nLength = 0;
    m_strOutputFolder = convert::FolderOf(path);

    m_mediaInfo.Close();
    m_mediaInfo.Reset();
    if (!m_mediaInfo.Open(convert::IdentifyCommand(settings.programFolder, path).c_str())) {
        AfxMessageBox(IDS_REINSTALL, MB_OK);
        return 1;
    }
    // The player prints its facts and ends; one that never ends is cut short.
    ::Sleep(kIdentifyFirstWaitMs);
    for (int polls = 0; m_mediaInfo.m_dwReaderThreadId != 0;) {
        ::Sleep(kIdentifyPollMs);
        if (++polls > kIdentifyPolls) {
            m_mediaInfo.TerminateChild(0);
            break;
        }
    }
    m_mediaInfo.ParseMediaInfo();

    settings.width = m_mediaInfo.m_nWidth;
    settings.fps = m_mediaInfo.m_dFps;
    if (!convert::CanConvert(settings.width, m_mediaInfo.m_nDuration, settings.fps))
        return 1;

    m_encoder.Close();
    m_encoder.Arm(m_hWnd);
    if (!m_encoder.Open(convert::EncoderCommand(settings, path).c_str())) {
        AfxMessageBox(IDS_REINSTALL, MB_OK);
        return 1;
    }
    m_step3.m_progress.SetRange(0, 99);
    m_step3.m_progress.SetPos(0);
    return 0;
}

void CQuelvoxDlg::SetConvertButton(HICON icon, UINT captionId) {
    m_btnConvert.AssignIcon(icon);
    m_btnConvert.SetWindowText(LoadResString(captionId).c_str());
}

void CQuelvoxDlg::OnConvert() {
    if (m_nCurPage == 2) {
        if (!m_bFinished) {
            if (!ConfirmStop())
                return;
            SetConvertButton(m_hIconExit, IDS_EXIT);
            AppendLogId(IDS_LOG_CANCELED);
            m_bFinished = true;
            StopConversion();
        } else {
            if (m_bConverting) {
                if (!ConfirmStop())
                    return;
                StopConversion();
            }
            EndMainWindow();
        }
        return;
    }

    m_btnPrev.EnableWindow(true);
    SetConvertButton(m_hIconStop, IDS_STOP);
    m_grpStep.SetWindowText(LoadResString(IDS_STEP2).c_str());
    m_listFiles.EnableWindow(false);
    StopPreview();
    m_nCurrentItem = 0;
    m_nConverted = 0;
    m_btnLanguage.EnableWindow(false);
    m_bCompletionMissed = false;
    m_bConverting = true;
    // The first file is identified while STEP1 is still on screen.
    ConvertNext();
    ShowPage(m_step3, 2);
}

void CQuelvoxDlg::OnPrev() {
    if (m_nCurPage == 2 && m_bConverting) {
        if (!ConfirmStop())
            return;
        AppendLogId(IDS_LOG_CANCELED);
        StopConversion();
    }
    m_btnPrev.EnableWindow(false);
    m_grpStep.SetWindowText(LoadResString(IDS_STEP1).c_str());
    SetConvertButton(m_hIconConvert, IDS_CONVERT);
    m_bFinished = false;
    ShowPage(m_step1, 0);
}

void CQuelvoxDlg::ConvertNext() {
    for (; m_nCurrentItem < m_listFiles.GetItemCount(); ++m_nCurrentItem) {
        if (!m_listFiles.GetCheck(m_nCurrentItem))
            continue;
        const std::wstring path = m_listFiles.GetItemText(m_nCurrentItem, 0);
        AppendLog(
            FormatString(LoadResString(IDS_LOG_CONVERTING).c_str(), convert::NameOf(path).c_str())
                .c_str());

        BeginWait();
        const int result = ConvertFile(path);
        if (result != 0)
            AppendLogId(IDS_LOG_UNSUPPORTED);
        EndWait();
        if (result == 0)
            return; // the encoder's completion takes the run on
    }

    const std::wstring converted =
        FormatString(LoadResString(IDS_LOG_CONVERTED).c_str(), m_nConverted);
    AppendLog(converted.c_str());
    m_bFinished = true;
    m_bConverting = false;
    m_listFiles.EnableWindow(true);
    m_btnLanguage.EnableWindow(true);
    SetConvertButton(m_hIconExit, IDS_EXIT);

    m_step3.UpdateData(TRUE);
    if (m_nConverted > 0 && m_step3.m_bShutdown) {
        if (InitiateShutdown(LoadResString(IDS_SHUTDOWN_MESSAGE).c_str()) &&
            AfxMessageBox(IDS_ASK_ABORT_SHUTDOWN, MB_YESNO) == IDYES)
            AbortShutdown();
    } else {
        AfxMessageBox(converted.c_str(), MB_OK);
    }
}

void CQuelvoxDlg::OnConvertDone() {
    if (!m_bConverting)
        return;
    if (m_encoder.m_bSucceeded) {
        m_encoder.m_nPercent = 100;
        AppendLogId(IDS_LOG_OK);
    } else {
        AppendLogId(IDS_LOG_FAILED);
    }
    m_listFiles.SetCheck(m_nCurrentItem, false);
    ++m_nConverted;
    ::Sleep(kPauseBetweenFilesMs);
    ConvertNext();
}

LRESULT CQuelvoxDlg::OnEncoderDone(WPARAM run, LPARAM) {
    // A stopped run's encoder may end after the next run has started.
    if (run != m_encoder.OwnerRun() || !m_bConverting)
        return 0;
    if (m_bAskingToStop)
        m_bCompletionMissed = true; // handled when the user keeps the run going
    else
        OnConvertDone();
    return 0;
}

bool CQuelvoxDlg::ConfirmStop() {
    m_bAskingToStop = true;
    const bool stop = AfxMessageBox(IDS_ASK_STOP, MB_YESNO) == IDYES;
    m_bAskingToStop = false;
    if (!stop && std::exchange(m_bCompletionMissed, false))
        OnConvertDone();
    return stop;
}

void CQuelvoxDlg::AppendLog(const wchar_t* text) {
    const CEdit& log = m_step3.m_editLog;
    const int end = ::GetWindowTextLengthW(log);
    log.SetSel(end, end);
    log.SendMessage(EM_SCROLLCARET);
    log.ReplaceSel(text, false);
    log.LineScroll(10);
    m_step3.RedrawWindow(RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
}

void CQuelvoxDlg::AppendLogId(UINT id) {
    AppendLog(LoadResString(id).c_str());
}

void CQuelvoxDlg::StopConversion() {
    m_bConverting = false;
    m_bCompletionMissed = false;
    m_listFiles.EnableWindow(true);
    m_btnLanguage.EnableWindow(true);
    // Also when its output has already ended: the encoder may still be finishing.
    m_encoder.TerminateChild();
}
