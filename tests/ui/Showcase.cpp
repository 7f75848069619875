// Opens the main dialog in a chosen state and keeps it on screen, so scripts/screenshots can
// take pictures of it: showcase.exe STATE [SECONDS [LCID [MOVIE]]]
//   files   STEP1 with a few queued files
//   step3   the conversion page during a run
//   preview a scripted movie playing in the preview pane
//   movie   MOVIE playing in the preview pane (with the engines beside the program)
//   about   the about box over the main window
//   splash  the splash half-way through its fade
// With an LCID the texts come from that language's library.
#include "app/Language.h"
#include "app/QuelvoxApp.h"
#include "skin/Splash.h"
#include "ui/AboutDlg.h"
#include "support/TestSupport.h"
#include "ui/QuelvoxDlg.h"
#include "resources/resource.h"

#include <commctrl.h>

#include <string>

CQuelvoxApp g_showcaseApp;

int wmain(int argc, wchar_t** argv) {
    std::wstring state = argc > 1 ? argv[1] : L"files";
    DWORD seconds = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) : 8;
    INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF};
    InitCommonControlsEx(&controls);
    SelectLanguage(g_showcaseApp, argc > 3 ? static_cast<LCID>(_wtoi(argv[3])) : 1033);
    // A menu opened by a click runs a loop of its own; the time up closes it too.
    SetTimer(nullptr, 0, seconds * 1000, [](HWND, UINT, UINT_PTR, DWORD) { EndMenu(); });

    if (state == L"splash") {
        StartDialog splash;
        splash.Create(IDD_SPLASH, nullptr);
        splash.KillTimer(StartDialog::kFadeTimer);
        for (int tick = 0; tick < 12; ++tick)
            splash.SendMessage(WM_TIMER, StartDialog::kFadeTimer);
        PumpDialogFor(seconds * 1000);
        return 0;
    }

    CQuelvoxDlg dialog(&g_showcaseApp);
    g_showcaseApp.m_pMainDlg = &dialog;
    g_showcaseApp.m_pMainWnd = &dialog;
    dialog.Create(IDD_QUELVOX_DIALOG, nullptr);
    dialog.ShowWindow(SW_SHOW);
    if (state == L"movie" && argc > 4) {
        dialog.AppendFile(0, argv[4]);
        dialog.TogglePreview();
        PumpDialogFor(seconds * 1000);
        dialog.StopPreview();
        return 0;
    }
    const wchar_t* names[] = {L"Holiday 2026.avi", L"Concert (live).mkv", L"Lecture 03.wmv",
                              L"Family.vob"};
    if (state == L"step3") {
        // A real run on scripted movies: the first is done by the time of the picture.
        ScratchDir folder;
        const std::string movie = "[identify]\nout ID_VIDEO_WIDTH=640\nout ID_VIDEO_FPS=25.000\n"
                                  "out ID_LENGTH=600.00\n[encode]\n";
        for (int i = 0; i < 4; ++i)
            dialog.AppendFile(i,
                              folder.Write(names[i], movie + (i == 0 ? "progress 0 100 50 50\n"
                                                                     : "progress 0 100 1 200\n")));
        dialog.m_listFiles.SetCheck(3, false);
        dialog.PostMessage(WM_COMMAND, MAKEWPARAM(IDC_CONVERT, BN_CLICKED), 0);
        PumpDialogFor(seconds * 1000);
        dialog.StopConversion();
        return 0;
    }
    if (state == L"preview") {
        ScratchDir folder;
        dialog.AppendFile(0, folder.Write(names[0],
                                          "[identify]\nout ID_VIDEO_WIDTH=640\n"
                                          "out ID_VIDEO_HEIGHT=352\nout ID_VIDEO_FPS=25.000\n"
                                          "out ID_LENGTH=5702.50\n"));
        dialog.TogglePreview();
        PumpDialogUntil([&] { return !dialog.m_preview.Busy(); }, 60000);
        PumpDialogFor(seconds * 1000);
        dialog.StopPreview();
        return 0;
    }
    for (int i = 0; i < 4; ++i)
        dialog.AppendFile(i, std::wstring(L"D:\\Movies\\") + names[i]);
    dialog.m_listFiles.SetCheck(3, false);
    if (state == L"about") {
        CAboutDlg about(&dialog);
        about.Create(IDD_ABOUTBOX, &dialog);
        about.ShowWindow(SW_SHOW);
        PumpDialogFor(seconds * 1000);
        return 0;
    }
    PumpDialogFor(seconds * 1000);
    return 0;
}
