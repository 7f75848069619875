// The preview of the main dialog: the player inside the preview pane, and the position
// display below it.
#include "ui/QuelvoxDlg.h"

#include "PreviewPlan.h"
#include "app/Paths.h"
#include "convert/CommandLine.h"
#include "framework/App.h"
#include "framework/String.h"
#include "ui/resource.h"

#include <algorithm>

using namespace preview;

namespace {
// Class name and title of the player's window inside the pane.
constexpr const wchar_t* kPlayerWindow = L"MPlayer - The Movie Player";
constexpr DWORD kIdentifyPollMs = 500;
constexpr int kIdentifyPolls = 23; // the conversion's bound: 11.5 s
} // namespace

void CQuelvoxDlg::TogglePreview() {
    const int selected = m_listFiles.GetNextItem(-1, LVNI_SELECTED);
    BeginWait();
    if (m_step1.m_bPreviewing) {
        StopPreview();
    } else if (selected != -1) {
        StartPreview(m_listFiles.GetItemText(selected, 0));
        if (m_player.m_dwThreadId != 0) {
            for (int polls = 0; !m_player.m_bExited && !m_player.m_bVideoOutOpened;) {
                ::Sleep(kPollMs);
                if (++polls >= kOpenPolls) {
                    m_player.TerminateChild(0);
                    AfxMessageBox(IDS_VIDEO_UNSUPPORTED, MB_OK);
                    break;
                }
            }
            if (m_player.m_bVideoOutOpened) {
                m_step1.m_bPreviewing = true;
                m_step1.m_btnPreview.SetWindowText(LoadResString(IDS_STOP_PREVIEW).c_str());
            }
        }
    }
    EndWait();
}

void CQuelvoxDlg::StartPreview(std::wstring path) {
    wchar_t windows[MAX_PATH] = L"";
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring programFolder = GetModuleDirectory();

    m_mediaInfo.Close();
    m_mediaInfo.Reset();
    m_mediaInfo.m_dwReaderThreadId = 0;
    if (m_mediaInfo.Open(convert::IdentifyCommand(programFolder, path).c_str())) {
        for (int polls = 0; !m_mediaInfo.m_bExited; ++polls) {
            if (polls == kIdentifyPolls) {
                m_mediaInfo.TerminateChild(0);
                break;
            }
            ::Sleep(kIdentifyPollMs);
        }
    }
    m_mediaInfo.ParseMediaInfo();
    m_nLength = std::max(0, m_mediaInfo.m_nDuration);
    m_slider.SetRange(0, m_nLength, false);

    for (const wchar_t* videoOutput : kVideoOutputs) {
        const std::wstring command =
            PlayCommand(programFolder, windows, videoOutput, m_stcPane, path);
        m_stcPane.ShowWindow(SW_HIDE);
        m_player.m_dwThreadId = 0;
        m_player.Close();
        m_player.Arm(m_hWnd);
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

void CQuelvoxDlg::StopPreview() {
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
    m_stcPane.MoveWindow(0, 0, 0, 0, true);
    m_step1.m_btnPreview.SetWindowText(LoadResString(IDS_PREVIEW).c_str());
    m_step1.m_bPreviewing = false;
}

bool CQuelvoxDlg::FitPreviewPane() {
    const RECT frame = m_stcFrame.GetWindowRect();
    if (!WaitForPlayerWindow())
        return false;
    const PaneRect pane = FitPicture(frame.right - frame.left, frame.bottom - frame.top,
                                     m_mediaInfo.m_nWidth, m_mediaInfo.m_nHeight);
    m_stcPane.MoveWindow(pane.x, pane.y, pane.width, pane.height, true);
    m_stcPane.ShowWindow(SW_SHOW);
    return true;
}

bool CQuelvoxDlg::WaitForPlayerWindow() {
    m_hPlayerWnd = nullptr;
    for (int passes = 1;; ++passes) {
        m_hPlayerWnd = FindPlayerWindow();
        ::Sleep(kPollMs);
        if (passes > kWindowPolls) {
            m_player.TerminateChild(0);
            AfxMessageBox(IDS_REINSTALL, MB_OK);
            return false;
        }
        if (m_hPlayerWnd)
            return true;
    }
}

LRESULT CQuelvoxDlg::OnPlayerVideoOpened(WPARAM run, LPARAM) {
    // A video output that opened and then failed belongs to a player already given up.
    if (run == m_player.OwnerRun() && !m_player.m_bExited)
        FitPreviewPane();
    return 0;
}

LRESULT CQuelvoxDlg::OnPlayerEnded(WPARAM run, LPARAM) {
    // Only the armed player's end: one of a failed video output must not stop the next.
    if (run == m_player.OwnerRun())
        StopPreview();
    return 0;
}

HWND CQuelvoxDlg::FindPlayerWindow() const {
    return ::FindWindowExW(m_stcPane, nullptr, kPlayerWindow, kPlayerWindow);
}
void CQuelvoxDlg::SeekPlayer(UINT key, int lookups) {
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

void CQuelvoxDlg::OnSeekForward() {
    SeekPlayer(VK_RIGHT, 5);
}

void CQuelvoxDlg::OnSeekBack() {
    SeekPlayer(VK_LEFT, 5);
}

void CQuelvoxDlg::OnClockTick() {
    m_nShownPos = m_player.m_nPosition < 0 ? 0 : m_player.m_nPosition.load();
    if (!m_bConverting)
        m_slider.SetPos(m_nShownPos);
    const auto pos = static_cast<unsigned>(m_nShownPos), length = static_cast<unsigned>(m_nLength);
    std::wstring text =
        FormatString(L"%02u:%02u:%02u/%02u:%02u:%02u", pos / 3600 % 60, pos / 60 % 60, pos % 60,
                     length / 3600 % 60, length / 60 % 60, length % 60);
    if (m_bConverting) {
        const int percent = m_encoder.m_nPercent;
        m_step3.m_progress.SetPos(percent);
        text = FormatString(L"%3d%%", percent);
    }
    m_stcTime.SetWindowText(text.c_str());
}
