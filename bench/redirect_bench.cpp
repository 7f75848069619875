// Throughput of the console redirection: the monitors' parsing, and draining a real child
// against a plain ReadFile loop on the same kind of pipe.
#include "framework/Paths.h"
#include "redirect/DemoRedirector.h"
#include "redirect/RedirMPlayer.h"
#include "redirect/RedirMediaInfo.h"
#include "framework/Wnd.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

double Seconds(LARGE_INTEGER a, LARGE_INTEGER b) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
}

template <typename F> double Time(F&& work) {
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    work();
    QueryPerformanceCounter(&b);
    return Seconds(a, b);
}

// Player-like noise without any key the monitors look for, so the collected text grows.
std::wstring NoiseChunk() {
    std::wstring line = L"[swscaler @ 0000000001] No accelerated colorspace conversion found\r\n";
    std::wstring chunk;
    while (chunk.size() < 255)
        chunk += line;
    chunk.resize(255);
    return chunk;
}

template <typename Monitor> double FeedMegabytes(Monitor& monitor, double megabytes) {
    const std::wstring chunk = NoiseChunk();
    const long chunks = static_cast<long>(megabytes * 1e6 / 255);
    return Time([&] {
        for (long i = 0; i < chunks; ++i)
            monitor.WriteStdOut(chunk.c_str());
    });
}

// The collected-text monitors as first written, searching the whole text on every chunk.
struct NaiveMediaInfo {
    std::wstring output;
    bool exited = false;
    void WriteStdOut(const wchar_t* text) {
        output += text;
        exited = output.find(L"<EXIT>") != std::wstring::npos;
    }
};
struct NaivePlayer {
    std::wstring output;
    bool ok = true, opened = false;
    void WriteStdOut(const wchar_t* text) {
        output += text;
        std::wstring s = std::wstring(text) + L"\n";
        if (output.find(L"Error opening/initializing the selected video_out (-vo) device.") !=
                std::wstring::npos ||
            output.find(L"Could not find matching colorspace") != std::wstring::npos)
            ok = false;
        if (output.find(L"VO: [") != std::wstring::npos)
            opened = true;
        if (s.find(L"V:") != std::wstring::npos)
            output.clear();
        (void)(output.find(L"<EXIT>") != std::wstring::npos);
    }
};

class Counter : public CRedirector {
public:
    ~Counter() override { Close(); }
    void WriteStdOut(const wchar_t* text) override { characters += wcslen(text); }
    size_t characters = 0;
};

std::wstring FloodScenario(int megabytes) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring path = std::wstring(temp) + L"qv-bench-flood.avi";
    std::string text = "[encode]\nflood " + std::to_string(megabytes) + "\n";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
    CloseHandle(file);
    return path;
}

double DrainWithRedirector(const std::wstring& line, size_t& characters) {
    Counter counter;
    double seconds = Time([&] {
        counter.Open(line.c_str());
        while (counter.Reading())
            Sleep(1);
    });
    characters = counter.characters;
    return seconds;
}

// The same pipe and child set-up, read by blocking ReadFile calls of the given size.
double DrainWithReadFile(const std::wstring& line, DWORD readSize, size_t& bytes) {
    bytes = 0;
    return Time([&] {
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        HANDLE read, write;
        CreatePipe(&read, &write, &sa, 0);
        SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_HIDE;
        si.hStdOutput = si.hStdError = write;
        PROCESS_INFORMATION pi{};
        std::wstring buffer = line;
        CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr,
                       nullptr, &si, &pi);
        CloseHandle(write);
        std::string chunk(readSize, '\0');
        DWORD got;
        while (ReadFile(read, chunk.data(), readSize, &got, nullptr) && got)
            bytes += got;
        CloseHandle(read);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    });
}

} // namespace

int wmain() {
    std::printf("Monitor parsing, 255-character chunks of output without status lines\n");
    std::printf("%-28s %10s %10s\n", "monitor", "MB", "MB/s");
    {
        // A message-only window: the noise posts nothing, and the monitors parse as for a dialog.
        HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     nullptr, nullptr);
        CDemoRedirector encoder;
        encoder.Arm(owner);
        double s = FeedMegabytes(encoder, 20);
        std::printf("%-28s %10d %10.1f\n", "encoder run monitor", 20, 20 / s);

        CRedirMediaInfo info;
        info.Reset();
        s = FeedMegabytes(info, 20);
        std::printf("%-28s %10d %10.1f\n", "media identification", 20, 20 / s);

        CRedirMPlayer player;
        player.Arm(owner);
        s = FeedMegabytes(player, 20);
        std::printf("%-28s %10d %10.1f\n", "preview player monitor", 20, 20 / s);
        DestroyWindow(owner);
    }
    std::printf("\nAgainst searching the whole collected text on every chunk (1 MB each)\n");
    std::printf("%-28s %10s %10s %8s\n", "monitor", "ours MB/s", "whole MB/s", "ratio");
    {
        CRedirMediaInfo info;
        info.Reset();
        NaiveMediaInfo naiveInfo;
        double ours = FeedMegabytes(info, 1), naive = FeedMegabytes(naiveInfo, 1);
        std::printf("%-28s %10.1f %10.1f %7.1fx\n", "media identification", 1 / ours, 1 / naive,
                    naive / ours);
        HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     nullptr, nullptr);
        CRedirMPlayer player;
        player.Arm(owner);
        NaivePlayer naivePlayer;
        ours = FeedMegabytes(player, 1);
        naive = FeedMegabytes(naivePlayer, 1);
        std::printf("%-28s %10.1f %10.1f %7.1fx\n", "preview player monitor", 1 / ours, 1 / naive,
                    naive / ours);
        DestroyWindow(owner);
    }

    const int megabytes = 50;
    std::wstring line =
        L"\"" + GetModuleDirectory() + L"bin\\mencoder.exe\" \"" + FloodScenario(megabytes) + L"\"";
    std::printf("\nDraining a child that writes %d MB as fast as it can\n", megabytes);
    // Alternating runs, medians: one run of either may meet a busy moment of the machine.
    constexpr int kRuns = 7;
    size_t ourCount = 0, plainCount = 0;
    std::vector<double> plainTimes, ourTimes;
    for (int run = 0; run < kRuns; ++run) {
        plainTimes.push_back(DrainWithReadFile(line, 64 * 1024, plainCount));
        ourTimes.push_back(DrainWithRedirector(line, ourCount));
    }
    auto median = [](std::vector<double> times) {
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    const double plain = median(plainTimes), ours = median(ourTimes);
    std::printf("%-28s %10s %10s  (median of %d)\n", "reader", "seconds", "MB/s", kRuns);
    std::printf("%-28s %10.2f %10.1f\n", "plain ReadFile, 64 KB reads", plain,
                plainCount / 1e6 / plain);
    std::printf("%-28s %10.2f %10.1f\n", "redirector", ours, ourCount / 1e6 / ours);
    std::printf("redirector / plain time ratio: %.2f (goal: at most 1.5)\n", ours / plain);
    return 0;
}
