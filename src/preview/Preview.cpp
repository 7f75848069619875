// The preview of the main dialog: the player inside the preview pane, and the position
// display below it.
#include "ui/QuelvoxDlg.h"

#include "framework/String.h"
#include "ui/resource.h"

namespace {
// Class name and title of the player's window inside the pane.
constexpr const wchar_t* kPlayerWindow = L"MPlayer - The Movie Player";
} // namespace

void CQuelvoxDlg::TogglePreview() {}

void CQuelvoxDlg::StopPreview() {}

bool CQuelvoxDlg::FitPreviewPane() { return false; }

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

void CQuelvoxDlg::OnSeekForward() { SeekPlayer(VK_RIGHT, 5); }

void CQuelvoxDlg::OnSeekBack() { SeekPlayer(VK_LEFT, 5); }

void CQuelvoxDlg::OnClockTick() {
    m_nShownPos = m_player.m_nPosition < 0 ? 0 : m_player.m_nPosition.load();
    if (!m_bConverting)
        m_slider.SetPos(m_nShownPos);
    const auto pos = static_cast<unsigned>(m_nShownPos), length = static_cast<unsigned>(m_nLength);
    std::wstring text = FormatString(L"%02u:%02u:%02u/%02u:%02u:%02u", pos / 3600 % 60, pos / 60 % 60,
                                     pos % 60, length / 3600 % 60, length / 60 % 60, length % 60);
    if (m_bConverting) {
        const int percent = m_encoder.m_nPercent;
        m_step3.m_progress.SetPos(percent);
        text = FormatString(L"%3d%%", percent);
    }
    m_stcTime.SetWindowText(text.c_str());
}
