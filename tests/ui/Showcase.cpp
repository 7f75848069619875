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
    const wchar_t* names[] = {L"Holiday 2026.avi", L"Concert (live).mkv", L"Lecture 03.wmv",
                              L"Family.vob"};
    if (state == L"step3") {
        // A real run on scripted movies: the first is done by the time of the picture.
        ScratchDir folder;
        const std::string movie = "[identify]\nout ID_VIDEO_WIDTH=640\nout ID_VIDEO_FPS=25.000\n"
                                  "out ID_LENGTH=600.00\n[encode]\n";
        for (int i = 0; i < 4; ++i)
            dialog.AppendFile(i, folder.Write(names[i], movie + (i == 0 ? "progress 0 100 50 50\n"
                                                                        : "progress 0 100 1 200\n")));
        dialog.m_listFiles.SetCheck(3, false);
        dialog.PostMessage(WM_COMMAND, MAKEWPARAM(IDC_CONVERT, BN_CLICKED), 0);
        PumpDialogFor(seconds * 1000);
        dialog.StopConversion();
        return 0;
    }
    for (int i = 0; i < 4; ++i)
        dialog.AppendFile(i, std::wstring(L"D:\\Movies\\") + names[i]);
    dialog.m_listFiles.SetCheck(3, false);
    PumpDialogFor(seconds * 1000);
    return 0;
}
