// A queue through the real main dialog with the scripted engines: 20 files whose encode takes
// 0.3 s each. Prints what the program adds to every file, against the same encodes run
// directly one after another in the same run.
#include "MainDialog.h"
#include "framework/Paths.h"
#include "support/FakeSeam.h"
#include "support/TestSupport.h"

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

CQuelvoxApp g_benchApp;

namespace {

constexpr int kFiles = 20;
const char* kScenario = "[identify]\nout ID_VIDEO_WIDTH=640\nout ID_VIDEO_HEIGHT=352\n"
                        "out ID_VIDEO_FPS=25.000\nout ID_LENGTH=60.00\n"
                        "[encode]\nprogress 0 100 50 1\nsleep 300\noutput\n";

double Seconds(ULONGLONG from) {
    return (GetTickCount64() - from) / 1000.0;
}

// The encoder on each file as the program must start it (a console of its own, hidden), one
// after another, waiting for each.
double DirectEncodes(const std::vector<std::wstring>& files) {
    const ULONGLONG began = GetTickCount64();
    for (const std::wstring& file : files) {
        std::wstring line = L"\"" + EnginePath(L"mencoder") + L"\" \"" + file + L"\" -o \"" + file +
                            L".direct.avi\" -ovc xvid -oac mp3lame";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_HIDE;
        PROCESS_INFORMATION pi{};
        if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                           nullptr, nullptr, &si, &pi)) {
            WaitForSingleObject(pi.hProcess, 60000);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
    }
    return Seconds(began);
}

} // namespace

int wmain() {
    INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF};
    InitCommonControlsEx(&controls);
    FakeSeam seam; // the closing message box is answered at once
    ScratchDir dir;
    std::vector<std::wstring> files;
    for (int i = 0; i < kFiles; ++i)
        files.push_back(dir.Write(L"clip " + std::to_wstring(i) + L".avi", kScenario));

    const double direct = DirectEncodes(files);

    CQuelvoxDlg dialog;
    ShowMainDialog(g_benchApp, dialog);
    for (int i = 0; i < kFiles; ++i)
        dialog.AppendFile(i, files[i]);
    const ULONGLONG began = GetTickCount64();
    dialog.PostMessage(WM_COMMAND, MAKEWPARAM(IDC_CONVERT, BN_CLICKED), 0);
    const bool finished =
        PumpDialogUntil([&] { return dialog.m_conversion.Finished(); }, kFiles * 20000);
    const double queue = Seconds(began);
    DestroyWindow(dialog);
    g_benchApp.m_pMainDlg = nullptr;
    g_benchApp.m_pMainWnd = nullptr;
    if (!finished) {
        std::printf("queue: the run did not finish\n");
        return 1;
    }
    std::printf("queue: %d scripted files, an encode of 0.3 s each, through the main dialog\n",
                kFiles);
    std::printf("  the encodes run directly:  %6.2f s\n", direct);
    std::printf("  the queue in the program:  %6.2f s\n", queue);
    std::printf("  added per file: %.2f s (goal: at most 0.05)\n", (queue - direct) / kFiles);
    return 0;
}
