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

// The identification of a scripted movie of 10 s.
inline constexpr const char* kIdentifyGood = "[identify]\n"
                                             "out ID_VIDEO_WIDTH=640\n"
                                             "out ID_VIDEO_HEIGHT=352\n"
                                             "out ID_VIDEO_FPS=25.000\n"
                                             "out ID_LENGTH=10.00\n";

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

    // Queues a scripted movie of 10 s whose encoder does `encode`, and clicks Convert.
    void StartRun(const std::string& encode) {
        m_dialog->AppendFile(m_dialog->m_listFiles.GetItemCount(),
                             m_runDir.Write(L"run.avi", kIdentifyGood + ("[encode]\n" + encode)));
        m_dialog->PostMessage(WM_COMMAND, MAKEWPARAM(IDC_CONVERT, BN_CLICKED), 0);
    }
    // A run whose encoder says it has done 7 % and then hangs until it is ended.
    void StartLongRun() {
        StartRun("out Pos: 1.0s 25f ( 7%) 25.00fps\nhang\n");
        ASSERT_TRUE(PumpDialogUntil([&] { return m_dialog->m_conversion.Percent() == 7; }, 30000));
    }
    FakeSeam m_seam;
    ScratchDir m_runDir;
    std::unique_ptr<CQuelvoxDlg> m_dialog;
};
