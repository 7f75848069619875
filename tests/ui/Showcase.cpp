// Opens the main dialog in a chosen state and keeps it on screen, so scripts/screenshots can
// take pictures of it: showcase.exe STATE [SECONDS]
//   files   STEP1 with a few queued files
//   step3   the conversion page with log lines and progress
#include "app/QuelvoxApp.h"
#include "support/TestSupport.h"
#include "ui/QuelvoxDlg.h"
#include "ui/resource.h"

#include <commctrl.h>

#include <string>

CQuelvoxApp g_showcaseApp;

int wmain(int argc, wchar_t** argv) {
    std::wstring state = argc > 1 ? argv[1] : L"files";
    DWORD seconds = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) : 8;
    INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF};
    InitCommonControlsEx(&controls);

    CQuelvoxDlg dialog;
    g_showcaseApp.m_pMainDlg = &dialog;
    g_showcaseApp.m_pMainWnd = &dialog;
    dialog.Create(IDD_QUELVOX_DIALOG, nullptr);
    dialog.ShowWindow(SW_SHOW);
    const wchar_t* files[] = {L"D:\\Movies\\Holiday 2026.avi", L"D:\\Movies\\Concert (live).mkv",
                              L"D:\\Movies\\Lecture 03.wmv", L"D:\\Movies\\Family.vob"};
    for (int i = 0; i < 4; ++i)
        dialog.AppendFile(i, files[i]);
    dialog.m_listFiles.SetCheck(3, false);
    if (state == L"step3") {
        dialog.ShowPage(dialog.m_step3, 2);
        dialog.m_step3.m_editLog.SetWindowText(
            L"\r\nHoliday 2026.avi file converting...OK.\r\n\r\nConcert (live).mkv file converting...");
        dialog.m_step3.m_progress.SetRange(0, 99);
        dialog.m_step3.m_progress.SetPos(42);
        dialog.m_stcTime.SetWindowText(L" 42%");
    }
    PumpDialogFor(seconds * 1000);
    return 0;
}
