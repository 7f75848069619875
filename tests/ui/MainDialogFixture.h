// A main dialog created on the virtual display for each test, with a recording seam.
#pragma once

#include "app/QuelvoxApp.h"
#include "support/FakeSeam.h"
#include "support/TestSupport.h"
#include "ui/QuelvoxDlg.h"
#include "framework/Dpi.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// Starts or stops the preview and waits until that is over.
inline bool TogglePreviewAndWait(CQuelvoxDlg& dialog, DWORD timeoutMs = 60000) {
    dialog.TogglePreview();
    return PumpDialogUntil([&] { return !dialog.m_preview.Busy(); }, timeoutMs);
}

// Moves a window to a monitor of the DPI as Windows does: it asks the window its size there,
// then tells it the DPI with the rectangle it suggests, where it is at that size.
inline void MoveToMonitorOf(HWND window, UINT dpi) {
    RECT rect;
    GetWindowRect(window, &rect);
    SIZE size{
        MulDiv(rect.right - rect.left, static_cast<int>(dpi), static_cast<int>(DpiOf(window))),
        MulDiv(rect.bottom - rect.top, static_cast<int>(dpi), static_cast<int>(DpiOf(window)))};
    SendMessageW(window, WM_GETDPISCALEDSIZE, dpi, reinterpret_cast<LPARAM>(&size));
    rect.right = rect.left + size.cx;
    rect.bottom = rect.top + size.cy;
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&rect));
}

class MainDialogTest : public testing::Test {
protected:
    void SetUp() override {
        m_dialog = std::make_unique<CQuelvoxDlg>(&TheApp());
        TheApp().m_pMainDlg = m_dialog.get();
        TheApp().m_pMainWnd = m_dialog.get();
        ASSERT_TRUE(m_dialog->Create(IDD_QUELVOX_DIALOG, nullptr));
        m_dialog->ShowWindow(SW_SHOW);
        PumpDialogFor(50);
    }
    void TearDown() override {
        TheApp().m_pMainDlg = nullptr;
        TheApp().m_pMainWnd = nullptr;
        m_dialog.reset();
        PumpFor(20);
    }
    HWND Item(int id) const { return m_dialog->GetDlgItem(id); }
    std::wstring Text(HWND window) const {
        wchar_t text[256] = L"";
        GetWindowTextW(window, text, 256);
        return text;
    }
    void Tick() { m_dialog->SendMessage(WM_TIMER, CQuelvoxDlg::kClockTimer); }

    FakeSeam m_seam;
    std::unique_ptr<CQuelvoxDlg> m_dialog;
};
