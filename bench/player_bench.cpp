// How long the real player's window leaves a message sent to it unanswered through bursts of
// seeks, as Windows measures it before it calls a window "Not Responding" (and, the window being
// a child of Quelvox's pane, how long Quelvox's own mouse and keys would stall): a thread sends
// WM_NULL every 10 ms through five bursts of ten seeks, against the same player left alone.
//   player_bench MOVIE   (at least 70 s long)
// It runs dist/bin/mplayer.exe in a window of its own.
#include "Process.h"
#include "RealSupport.h"

#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::printf("usage: player_bench MOVIE\n");
        return 2;
    }
    HWND pane = CreateWindowExW(0, L"STATIC", L"player bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                0, 660, 400, nullptr, nullptr, nullptr, nullptr);
    Child player;
    if (!player.Start(QuoteArg(DistEngine(L"mplayer.exe")) + L" -nosound -vo direct3d -wid " +
                          std::to_wstring(reinterpret_cast<INT_PTR>(pane)) + L" " +
                          QuoteArg(argv[1]),
                      L"", Child::kPipe, Child::kPipe)) {
        std::printf("  player: mplayer.exe could not be started\n");
        return 1;
    }
    // Our window's messages, and the player's output, for a while or until it shows text.
    std::string output;
    auto pump = [&](ULONGLONG ms, const char* until = nullptr) {
        const ULONGLONG end = GetTickCount64() + ms;
        while (GetTickCount64() < end && !(until && output.find(until) != std::string::npos)) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            if (!player.ReadAvailable(output))
                break;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    };
    pump(60000, "VO:");
    const HWND window = FindWindowExW(pane, nullptr, L"MPlayer - The Movie Player", nullptr);
    if (!window) {
        std::printf("  player: no picture window\n%s\n", output.c_str());
        return 1;
    }
    ULONGLONG alone = 0, bursts = 0;
    int sent = 0;
    {
        AnswerProbe probe(window, 10, 60000);
        pump(3000);
        alone = probe.TakeLongest();
        // Five forward and five back, so the clock stays within the movie.
        for (int round = 0; round < 5; ++round) {
            for (int i = 0; i < 10; ++i)
                PostMessageW(window, WM_KEYDOWN, i < 5 ? VK_RIGHT : VK_LEFT, 0);
            pump(1000);
        }
        bursts = probe.TakeLongest();
        sent = probe.Sent();
    }
    PostMessageW(window, WM_CHAR, 'q', 0);
    pump(10000, "Exiting");
    std::printf("  player: longest answer to WM_NULL through 5 bursts of 10 seeks %llu ms, left "
                "alone %llu ms (%d sent; goal at most 100 ms)\n",
                bursts, alone, sent);
    DestroyWindow(pane);
    return 0;
}
