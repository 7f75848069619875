// The main dialog shown as the program shows it, for the benchmarks that drive it.
#pragma once

#include "app/QuelvoxApp.h"
#include "resources/resource.h"
#include "support/TestSupport.h"
#include "ui/QuelvoxDlg.h"

inline void ShowMainDialog(CQuelvoxApp& app, CQuelvoxDlg& dialog) {
    dialog.Create(IDD_QUELVOX_DIALOG, nullptr);
    app.m_pMainDlg = &dialog;
    app.m_pMainWnd = &dialog;
    dialog.ShowWindow(SW_SHOW);
    PumpDialogFor(200);
}
