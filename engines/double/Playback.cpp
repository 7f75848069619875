#include "Playback.h"

#include "common/PictureWindows.h"
#include "common/Print.h"
#include "common/VideoDriver.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Clock, status lines, window placement and repaint all run at this pace.
constexpr DWORD kTickMs = 100;
constexpr double kSeekSeconds = 10;

void FillBox(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    RECT box{left, top, right, bottom};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &box, brush);
    DeleteObject(brush);
}

// Colour bars, a box that crosses the picture every two seconds (a frozen picture shows),
// a progress line and the clock as "mm:ss.s / mm:ss".
void DrawPicture(HDC dc, int w, int h, double clock, double length) {
    static const COLORREF kBars[] = {RGB(192, 192, 192), RGB(192, 192, 0), RGB(0, 192, 192),
                                     RGB(0, 192, 0),     RGB(192, 0, 192), RGB(192, 0, 0),
                                     RGB(0, 0, 192)};
    const int bars = sizeof kBars / sizeof kBars[0];
    const int barsBottom = h * 2 / 3;
    for (int i = 0; i < bars; ++i)
        FillBox(dc, w * i / bars, 0, w * (i + 1) / bars, barsBottom, kBars[i]);
    FillBox(dc, 0, barsBottom, w, h, RGB(16, 16, 16));

    const int box = std::max(4, h / 6);
    const int x = static_cast<int>(std::fmod(clock, 2.0) / 2.0 * std::max(0, w - box));
    FillBox(dc, x, barsBottom - box / 2, x + box, barsBottom + box / 2, RGB(255, 255, 255));
    const int line = std::max(2, h / 40);
    const int done = length > 0 ? static_cast<int>(w * std::min(1.0, clock / length)) : w;
    FillBox(dc, 0, h - line, done, h, RGB(0, 160, 255));

    const long long tenths = static_cast<long long>(clock * 10);
    const long long whole = static_cast<long long>(length);
    wchar_t text[64];
    std::swprintf(text, 64, L"%02lld:%02lld.%lld / %02lld:%02lld", tenths / 600, tenths / 10 % 60,
                  tenths % 10, whole / 60, whole % 60);
    HFONT font = CreateFontW(-std::max(10, h / 9), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Arial");
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT area{0, barsBottom + box / 2, w, h - line};
    DrawTextW(dc, text, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    DeleteObject(font);
}

class Player {
public:
    explicit Player(const PlayRequest& request) : m_request(request) {}
    PlayEnd Run();

private:
    double Clock() const;
    void Seek(double seconds);
    void Tick();
    void PrintStatus(double clock) const;
    void Quit() {
        m_end = PlayEnd::Quit;
        m_ended = true;
    }

    PlayRequest m_request;
    PictureWindows m_windows;
    bool m_ended = false;
    PlayEnd m_end = PlayEnd::Finished;
    double m_startClock = 0;
    ULONGLONG m_startTick = 0;
};

PlayEnd Player::Run() {
    const auto openWindows = [this] {
        PictureEvents events;
        events.paint = [this](HDC dc, int w, int h) {
            DrawPicture(dc, w, h, Clock(), m_request.length);
        };
        events.quit = [this] { Quit(); };
        events.seek = [this](int direction) { Seek(direction * kSeekSeconds); };
        m_windows.Open(reinterpret_cast<HWND>(static_cast<INT_PTR>(m_request.parentWindow)),
                       std::move(events));
    };
    // The real player has its window before it reports the output open; one that is late
    // shows what Quelvox does when it is not.
    const bool lateWindow = m_request.window && m_request.windowAfterMs > 0;
    if (m_request.window && !lateWindow)
        openWindows();
    const std::string name = VideoDriverName(m_request.videoOut);
    char vo[160];
    std::snprintf(vo, sizeof vo, "VO: [%s] %dx%d => %dx%d Planar YV12 \r\n", name.c_str(),
                  m_request.width, m_request.height, m_request.width, m_request.height);
    Print(vo);
    if (lateWindow) {
        Sleep(m_request.windowAfterMs);
        openWindows();
    }

    m_startClock = std::min(m_request.from, m_request.length);
    m_startTick = GetTickCount64();
    ULONGLONG nextTick = m_startTick;
    while (!m_ended) {
        ULONGLONG now = GetTickCount64();
        if (now >= nextTick) {
            Tick();
            nextTick = now + kTickMs;
            continue;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(nextTick - now), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
        MSG msg;
        while (!m_ended && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    m_windows.Close();
    Print(m_end == PlayEnd::Quit ? "\r\n\r\nExiting... (Quit)\r\n"
                                 : "\r\n\r\nExiting... (End of file)\r\n");
    return m_end;
}

double Player::Clock() const {
    double clock = m_startClock + (GetTickCount64() - m_startTick) / 1000.0;
    return std::min(clock, m_request.length);
}

void Player::Seek(double seconds) {
    m_startClock = std::clamp(Clock() + seconds, 0.0, m_request.length);
    m_startTick = GetTickCount64();
    PrintStatus(m_startClock);
    m_windows.Repaint();
}

void Player::Tick() {
    if (m_windows.ParentGone()) {
        Quit();
        return;
    }
    const double clock = Clock();
    m_windows.Follow();
    PrintStatus(clock);
    m_windows.Repaint();
    if (clock >= m_request.length)
        m_ended = true;
}

void Player::PrintStatus(double clock) const {
    // The real player's line; Quelvox reads the clock from the six characters after "V:".
    char line[160];
    std::snprintf(line, sizeof line,
                  "A:%6.1f V:%6.1f A-V:%7.3f ct:%7.3f %3d/%3d %2d%% %2d%% %4.1f%% %d %d \r", clock,
                  clock, 0.0, 0.0, static_cast<int>(clock * m_request.fps),
                  static_cast<int>(clock * m_request.fps), 2, 1, 0.3, 0, 0);
    Print(line);
}

} // namespace

PlayEnd Play(const PlayRequest& request) {
    Player player(request);
    return player.Run();
}
