// What a user waits for with the real engines, against the same work alone in the same run:
//  - Preview click -> the first picture on the screen over the pane, against bin/ffmpeg.exe
//    decoding the movie's first frame to BGRA (wine's start of it included);
//  - Convert click -> the first percentage on the label, against the same mencoder.exe command
//    alone to its first "( N%)".
// Medians of alternating runs.
//   blink_bench [preview|convert] MOVIE...   (both parts without a part named)
// It lives beside the real-engine tests, whose bin/ holds the real engines and ffmpeg.exe.
#include "MainDialog.h"
#include "RealSupport.h"
#include "framework/Paths.h"
#include "support/FakeSeam.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

CQuelvoxApp g_benchApp;

namespace {

const int kRuns = GetEnvironmentVariableW(L"QV_BENCH_RUNS", nullptr, 0) ? 1 : 5;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Runs a command line with its standard output and error on one pipe until `done` says the
// output so far is enough (or it ends); milliseconds from the start, -1 when it never was.
// creation: DETACHED_PROCESS, or CREATE_NEW_CONSOLE (hidden) as the program starts an engine.
template <class Done>
double RunUntil(std::wstring line, DWORD creation, DWORD priority, Done done) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    CreatePipe(&read, &write, &inherit, 1 << 20);
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    si.hStdOutput = si.hStdError = write;
    PROCESS_INFORMATION pi{};
    const ULONGLONG began = GetTickCount64();
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, creation | priority, nullptr,
                        nullptr, &si, &pi)) {
        std::printf("  (%ls could not start: %lu)\n", line.c_str(), GetLastError());
        CloseHandle(read);
        CloseHandle(write);
        return -1;
    }
    CloseHandle(write);
    std::string output;
    double took = -1;
    const ULONGLONG guard = began + 120000;
    while (GetTickCount64() < guard) {
        DWORD available = 0;
        if (!PeekNamedPipe(read, nullptr, 0, nullptr, &available, nullptr))
            break;
        if (available == 0) {
            if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0 &&
                PeekNamedPipe(read, nullptr, 0, nullptr, &available, nullptr) && available == 0)
                break;
            continue;
        }
        std::string chunk(available, '\0');
        DWORD got = 0;
        ReadFile(read, chunk.data(), available, &got, nullptr);
        output.append(chunk, 0, got);
        if (done(output)) {
            took = double(GetTickCount64() - began);
            break;
        }
    }
    if (took < 0)
        std::printf("  (%ls ended with: %s)\n", line.c_str(), output.c_str());
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    CloseHandle(read);
    return took;
}

// The screen over the rectangle shows the test pattern: a tenth of its pixels strongly coloured.
bool PictureOnScreen(const RECT& r) {
    if (r.right - r.left < 8 || r.bottom - r.top < 8)
        return false;
    const ScreenColours colours = ColoursOnScreen(r);
    return colours.saturated > colours.pixels / 10;
}

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

std::string Name(const std::wstring& path) {
    const std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    return std::string(name.begin(), name.end());
}

void ClickPreview(CQuelvoxDlg& dialog) {
    dialog.m_step1.PostMessage(WM_COMMAND, MAKEWPARAM(IDC_PREVIEW, BN_CLICKED), 0);
}

void Close(CQuelvoxDlg& dialog) {
    DestroyWindow(dialog);
    g_benchApp.m_pMainDlg = nullptr;
    g_benchApp.m_pMainWnd = nullptr;
}

// Milliseconds from the Preview click to the picture on the screen; the preview stopped again.
double PreviewOnce(CQuelvoxDlg& dialog) {
    const ULONGLONG began = GetTickCount64();
    ClickPreview(dialog);
    const bool shown = PumpDialogUntil(
        [&] {
            return IsWindowVisible(dialog.m_stcPane) &&
                   PictureOnScreen(dialog.m_stcPane.GetWindowRect());
        },
        60000);
    const double took = double(GetTickCount64() - began);
    PumpDialogUntil([&] { return !dialog.m_preview.Busy(); }, 60000);
    if (dialog.m_preview.Previewing())
        ClickPreview(dialog);
    PumpDialogUntil([&] { return !dialog.m_preview.Previewing() && !dialog.m_preview.Busy(); },
                    60000);
    PumpDialogFor(300);
    return shown ? took : -1;
}

// Milliseconds from the Convert click to the encoder's first percentage on the label (its
// message handled, not the label's "0%" of the run's clock); the run stopped. A dialog of its
// own each time: a stopped run leaves the dialog on its last page.
// lookMs: how long the user looks at the list before the click.
double ConvertOnce(const std::wstring& movie, DWORD lookMs, std::wstring& command) {
    CQuelvoxDlg dialog;
    ShowMainDialog(g_benchApp, dialog);
    dialog.AppendFile(0, movie);
    PumpDialogFor(lookMs);
    const ULONGLONG began = GetTickCount64();
    dialog.PostMessage(WM_COMMAND, MAKEWPARAM(IDC_CONVERT, BN_CLICKED), 0);
    double took = -1;
    while (took < 0 && GetTickCount64() - began < 60000) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            const bool progress =
                msg.hwnd == dialog.m_hWnd && msg.message == CDemoRedirector::kProgressMessage;
            if (!CDialog::PreTranslateChain(&msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (progress && dialog.m_conversion.Converting() &&
                dialog.m_stcTime.GetWindowText().find(L'%') != std::wstring::npos) {
                took = double(GetTickCount64() - began);
                break;
            }
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    command = dialog.m_conversion.Command();
    dialog.StopConversion();
    PumpDialogUntil([&] { return !dialog.m_conversion.Converting(); }, 60000);
    PumpDialogFor(300);
    Close(dialog);
    return took;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::printf("usage: blink_bench MOVIE...\n");
        return 2;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF};
    InitCommonControlsEx(&controls);
    FakeSeam seam; // the boxes a stopped run may open are answered at once
    const std::wstring ffmpeg = GetModuleDirectory() + L"bin\\ffmpeg.exe";

    std::wstring part = argv[1];
    if (part == L"preview" || part == L"convert")
        ++argv, --argc;
    else
        part.clear();
    std::vector<std::wstring> movies(argv + 1, argv + argc);
    for (size_t i = 0; part != L"convert" && i < movies.size(); ++i) {
        const std::wstring& movie = movies[i];
        if (i == 0)
            std::printf(
                "preview: click to the first picture on the screen, against ffmpeg decoding the "
                "first frame alone (median of %d alternating runs, ms)\n",
                kRuns);
        // A dialog of its own for each movie, as a user starts the program.
        CQuelvoxDlg dialog;
        ShowMainDialog(g_benchApp, dialog);
        dialog.AppendFile(0, movie);
        const std::wstring line =
            Quoted(ffmpeg) + L" -hide_banner -nostdin -loglevel error -i " + Quoted(movie) +
            L" -map 0:v:0 -frames:v 1 -vf scale=640:360 -pix_fmt bgra -f rawvideo -";
        // The player must be running before it can start its decoder: its own start (a console
        // of its own, hidden, as the program starts it) to its first line is a bound no preview
        // goes below, added to the decoder's.
        const std::wstring player = Quoted(GetModuleDirectory() + L"bin\\mplayer.exe");
        std::vector<double> ours, floor, start;
        for (int run = 0; run < kRuns; ++run) {
            floor.push_back(
                RunUntil(line, DETACHED_PROCESS, NORMAL_PRIORITY_CLASS,
                         [](const std::string& out) { return out.size() >= 640u * 360 * 4; }));
            ours.push_back(PreviewOnce(dialog));
            start.push_back(RunUntil(player, CREATE_NEW_CONSOLE, NORMAL_PRIORITY_CLASS,
                                     [](const std::string& out) { return !out.empty(); }));
        }
        const double o = Median(ours), f = Median(floor), s = Median(start);
        std::printf("  %-10s %5.0f against %5.0f (x%.2f, goal at most x1.5); the player's own "
                    "start %3.0f, so at best x%.2f\n",
                    Name(movie).c_str(), o, f, o / f, s, (f + s) / f);
        Close(dialog);
    }

    for (size_t i = 0; part != L"preview" && i < movies.size(); ++i) {
        const std::wstring& movie = movies[i];
        if (i == 0)
            std::printf("convert: click to the first percentage on the label, against the same "
                        "mencoder.exe command alone to its first \"( N%%)\" (median of %d "
                        "alternating runs, ms)\n",
                        kRuns);
        // Clicked as soon as the movie is in the list, and after two seconds in it, by which
        // time the movie has been identified.
        std::vector<double> atOnce, later, floor;
        std::wstring command;
        for (int run = 0; run < kRuns; ++run) {
            atOnce.push_back(ConvertOnce(movie, 0, command));
            later.push_back(ConvertOnce(movie, 2000, command));
            floor.push_back(
                // Started as the program must start it: a console of its own, hidden.
                RunUntil(command, CREATE_NEW_CONSOLE, BELOW_NORMAL_PRIORITY_CLASS,
                         [](const std::string& out) {
                             const size_t open = out.find("(");
                             return open != std::string::npos &&
                                    out.find("%)", open) != std::string::npos;
                         }));
        }
        const double f = Median(floor), o = Median(atOnce), l = Median(later);
        std::printf("  %-10s at once %5.0f (x%.2f), after 2 s in the list %5.0f (x%.2f), against "
                    "%5.0f (goal at most x1.4)\n",
                    Name(movie).c_str(), o, o / f, l, l / f, f);
    }
    return 0;
}
