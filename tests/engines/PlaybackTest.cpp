// The scripted player's preview: its window inside the -wid pane, its output lines and keys.
#include "support/TestSupport.h"
#include "redirect/Redirector.h"

#include <gtest/gtest.h>

#include <mutex>
#include <regex>
#include <thread>
#include <vector>

namespace {

constexpr const wchar_t* kPlayerWindow = L"MPlayer - The Movie Player";
// The real player's status line, as Quelvox reads it; ended by a carriage return alone.
const std::wregex kStatus(L"A:[ 0-9]{4}\\.[0-9] V:([ 0-9]{4}\\.[0-9]) A-V:  0\\.000 "
                          L"ct:  0\\.000 [ 0-9]{3,}/[ 0-9]{3,}  2%  1%  0\\.3% 0 0 \\r(?!\\n)");

// A window with a child static "pane" on a thread of its own, as Quelvox's dialog is to the
// player. A held thread pumps no messages until Release(), as Quelvox's UI thread sleeps while
// it waits for the player.
class PaneHost {
public:
    explicit PaneHost(bool held = false) : m_release(CreateEventW(nullptr, TRUE, !held, nullptr)) {
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_thread = std::thread([this, ready] {
            m_threadId = GetCurrentThreadId();
            m_top = CreateWindowExW(0, L"STATIC", L"Pane host", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                    40, 40, 480, 360, nullptr, nullptr, nullptr, nullptr);
            m_pane = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BLACKRECT, 20,
                                     20, 320, 180, m_top, nullptr, nullptr, nullptr);
            SetForegroundWindow(m_top);
            SetEvent(ready);
            WaitForSingleObject(m_release, 10000);
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0)
                DispatchMessageW(&msg);
            DestroyWindow(m_top);
        });
        WaitForSingleObject(ready, 10000);
        CloseHandle(ready);
    }
    ~PaneHost() {
        Release();
        PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
        m_thread.join();
        CloseHandle(m_release);
    }
    void Release() { SetEvent(m_release); }
    HWND Top() const { return m_top; }
    HWND Pane() const { return m_pane; }

private:
    HANDLE m_release;
    std::thread m_thread;
    DWORD m_threadId = 0;
    HWND m_top = nullptr, m_pane = nullptr;
};

// The player started as Quelvox starts it, its output collected through a pipe.
class PlayerRun : public CRedirector {
public:
    PlayerRun(const std::wstring& movie, HWND wid) {
        std::wstring line = L"\"" + EnginePath(L"mplayer") +
                            L"\" -font \"C:\\windows\\Fonts\\gulim.ttc\" -vo direct3d -vf scale "
                            L"-subcp cp949 -osdlevel 0 ";
        if (wid)
            line += L"-wid " + std::to_wstring(reinterpret_cast<INT_PTR>(wid)) + L" ";
        Open((line + L"\"" + movie + L"\"").c_str());
    }
    ~PlayerRun() override {
        if (ProcessId() && ProcessIsRunning(ProcessId()))
            EndProcess(ProcessId());
        Close();
    }
    void WriteStdOut(const wchar_t* text) override {
        std::lock_guard guard(m_lock);
        m_text += text;
    }
    std::wstring Text() {
        std::lock_guard guard(m_lock);
        return m_text;
    }
    bool WaitFor(const std::function<bool(const std::wstring&)>& pred, DWORD ms) {
        return PumpUntil([&] { return pred(Text()); }, ms);
    }
    // The player has ended and all it wrote has been read.
    bool Ended(DWORD ms) {
        return PumpUntil(
            [this] { return !Reading() && WaitForSingleObject(ChildProcess(), 0) == 0; }, ms);
    }
    DWORD ExitCode() const {
        DWORD code = 1;
        GetExitCodeProcess(ChildProcess(), &code);
        return code;
    }

private:
    std::mutex m_lock;
    std::wstring m_text;
};

std::vector<double> Clocks(const std::wstring& text) {
    std::vector<double> clocks;
    for (std::wsregex_iterator it(text.begin(), text.end(), kStatus), end; it != end; ++it)
        clocks.push_back(std::stod((*it)[1].str()));
    return clocks;
}

double LastClock(const std::wstring& text) {
    std::vector<double> clocks = Clocks(text);
    return clocks.empty() ? -1 : clocks.back();
}

HWND PlayerWindowIn(HWND pane) {
    return FindWindowExW(pane, nullptr, kPlayerWindow, kPlayerWindow);
}

HWND WaitForPlayerWindow(HWND pane) {
    HWND child = nullptr;
    PumpUntil([&] { return (child = PlayerWindowIn(pane)) != nullptr; }, 10000);
    return child;
}

// Whether the window stands at `rect` in the parent's client coordinates (the screen's for none).
bool At(HWND window, HWND parent, RECT rect) {
    RECT now{};
    GetWindowRect(window, &now);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&now), 2);
    return EqualRect(&now, &rect);
}

std::vector<HWND> VisibleTopWindowsOf(DWORD processId) {
    std::pair<DWORD, std::vector<HWND>> find{processId, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* f = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == f->first && IsWindowVisible(window))
                f->second.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.second;
}

} // namespace

TEST(ScriptedPlayer, DrawsInThePaneWhileQuelvoxSleepsAndQuitsOnQ) {
    ScratchDir dir;
    PaneHost host(true);
    PlayerRun run(dir.Write(L"clip.avi", "[identify]\n"
                                         "out ID_VIDEO_WIDTH=320\n"
                                         "out ID_VIDEO_HEIGHT=240\n"
                                         "out ID_LENGTH=60.00\n"),
                  host.Pane());
    ASSERT_TRUE(run.WaitFor(
        [](const std::wstring& t) {
            return t.find(L"VO: [direct3d] 320x240 => 320x240 Planar YV12 \r\n") != t.npos;
        },
        15000))
        << run.Text();
    HWND child = PlayerWindowIn(host.Pane());
    host.Release();
    ASSERT_TRUE(child);
    EXPECT_TRUE(GetWindowLongPtrW(child, GWL_EXSTYLE) & WS_EX_NOPARENTNOTIFY);
    EXPECT_TRUE(At(child, host.Pane(), {0, 0, 320, 180}));
    MoveWindow(host.Pane(), 10, 10, 200, 120, TRUE);
    EXPECT_TRUE(PumpUntil([&] { return At(child, host.Pane(), {0, 0, 200, 120}); }, 30000));

    ASSERT_TRUE(run.WaitFor([](const std::wstring& t) { return Clocks(t).size() >= 3; }, 30000));
    const std::wstring text = run.Text();
    size_t lines = 0;
    for (size_t at = text.find(L"A:"); at != text.npos; at = text.find(L"A:", at + 1))
        ++lines;
    EXPECT_EQ(Clocks(text).size(), lines) << text; // every status line has the real shape
    EXPECT_EQ(Clocks(text).front(), 0.0);

    PostMessageW(child, WM_CHAR, 'q', 0);
    EXPECT_TRUE(run.Ended(3000));
    EXPECT_EQ(run.ExitCode(), 0u);
    EXPECT_FALSE(IsWindow(child));
}

TEST(ScriptedPlayer, ArrowKeysSeekTenSecondsWithinTheMovie) {
    ScratchDir dir;
    PaneHost host;
    PlayerRun run(dir.Write(L"seek.avi", "[play]\nplay 25\n"), host.Pane());
    HWND child = WaitForPlayerWindow(host.Pane());
    ASSERT_TRUE(child);
    ASSERT_TRUE(run.WaitFor([](const std::wstring& t) { return LastClock(t) >= 0; }, 5000));
    PostMessageW(child, WM_KEYDOWN, VK_RIGHT, 0);
    ASSERT_TRUE(run.WaitFor([](const std::wstring& t) { return LastClock(t) >= 10; }, 3000));
    EXPECT_LT(LastClock(run.Text()), 13.0);
    PostMessageW(child, WM_KEYDOWN, VK_LEFT, 0);
    PostMessageW(child, WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_TRUE(run.WaitFor([](const std::wstring& t) { return LastClock(t) < 2; }, 3000));
    // Past the end is the end: the player stops there by itself.
    for (int i = 0; i < 3; ++i)
        PostMessageW(child, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_TRUE(run.Ended(3000));
    EXPECT_EQ(LastClock(run.Text()), 25.0);
}

TEST(ScriptedPlayer, PlainMovieInAPanePlaysToTheIdentifiedLengthAndEnds) {
    ScratchDir dir;
    PaneHost host;
    PlayerRun run(dir.Write(L"short.avi", "[identify]\nout ID_LENGTH=2.00\n"), host.Pane());
    HWND child = WaitForPlayerWindow(host.Pane());
    ASSERT_TRUE(child);
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(run.Ended(10000));
    EXPECT_GE(GetTickCount64() - start, 1000u);
    EXPECT_EQ(run.ExitCode(), 0u);
    EXPECT_EQ(LastClock(run.Text()), 2.0);
    EXPECT_NE(run.Text().find(L"VO: [direct3d] 640x352 => 640x352"), std::wstring::npos);
    EXPECT_FALSE(IsWindow(child));
}

TEST(ScriptedPlayer, NowindowOrNoWidPlaysWithoutAWindow) {
    ScratchDir dir;
    PaneHost host;
    for (HWND wid : {host.Pane(), HWND{}}) {
        PlayerRun run(
            dir.Write(L"blind.avi", wid ? "[play]\nplay 1 nowindow\n" : "[play]\nplay 1\n"), wid);
        ASSERT_TRUE(run.WaitFor([](const std::wstring& t) { return LastClock(t) >= 0; }, 10000));
        EXPECT_FALSE(PlayerWindowIn(host.Pane()));
        EXPECT_TRUE(VisibleTopWindowsOf(run.ProcessId()).empty());
        EXPECT_TRUE(run.Ended(5000));
        EXPECT_EQ(run.ExitCode(), 0u);
        EXPECT_NE(run.Text().find(L"VO: [direct3d]"), std::wstring::npos);
        EXPECT_EQ(LastClock(run.Text()), 1.0);
    }
}

// Under wine the child's drawing never reaches the screen; a window of the player's own shows
// the picture over the pane instead, and Quelvox keeps the activation.
TEST(ScriptedPlayer, UnderWineThePictureFollowsThePaneWithoutTakingActivation) {
    if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        GTEST_SKIP() << "the picture window is made under wine only";
    // A display without a window manager focuses the window under the pointer: keep it off
    // every window here, so only the player itself could take the activation.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    ScratchDir dir;
    PaneHost host;
    PlayerRun run(dir.Write(L"shown.avi", "[play]\nplay 60\n"), host.Pane());
    HWND child = WaitForPlayerWindow(host.Pane());
    ASSERT_TRUE(child);
    auto picture = [&] {
        RECT target{};
        GetWindowRect(child, &target);
        for (HWND window : VisibleTopWindowsOf(run.ProcessId()))
            if (At(window, nullptr, target))
                return window;
        return HWND{};
    };
    HWND shown = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (shown = picture()) != nullptr; }, 30000));
    EXPECT_EQ(GetWindow(shown, GW_OWNER), host.Top());

    MoveWindow(host.Pane(), 30, 40, 240, 136, TRUE);
    EXPECT_TRUE(PumpUntil([&] { return picture() == shown; }, 30000));
    ShowWindow(host.Pane(), SW_HIDE);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(shown); }, 30000));
    ShowWindow(host.Pane(), SW_SHOW);
    EXPECT_TRUE(PumpUntil([&] { return picture() == shown; }, 30000));
    MoveWindow(host.Pane(), 0, 0, 0, 0, TRUE);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(shown); }, 30000));

    DWORD foreground = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &foreground);
    EXPECT_NE(foreground, run.ProcessId());
    PostMessageW(child, WM_CHAR, 'q', 0);
    EXPECT_TRUE(run.Ended(3000));
}
