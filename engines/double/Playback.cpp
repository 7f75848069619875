#include "Playback.h"

#include "Scenario.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Quelvox finds the player's window inside its pane by this class name and title.
constexpr const wchar_t* kPlayerClass = L"MPlayer - The Movie Player";
// Wine only: a top-level copy of the picture, under a name Quelvox never looks for.
constexpr const wchar_t* kOverlayClass = L"Quelvox double picture";
// Clock, status lines, window placement and repaint all run at this pace.
constexpr DWORD kTickMs = 100;
constexpr double kSeekSeconds = 10;

bool UnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// The driver's name without its options ("gl:yuv=2") or fallbacks ("direct3d,gl").
std::string DriverName(const std::string& vo) {
    std::string name = vo.substr(0, vo.find_first_of(":,"));
    return name.empty() ? "directx" : name;
}

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
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(HWND, UINT, WPARAM, LPARAM);
    void OpenWindows();
    void CloseWindows();
    double Clock() const;
    void Seek(double seconds);
    void Tick();
    void PrintStatus(double clock) const;
    void FollowParent();
    void PlaceOverlay();
    void Repaint() const;
    void Paint(HWND window);

    PlayRequest m_request;
    HWND m_parent = nullptr;
    HWND m_child = nullptr;
    HWND m_overlay = nullptr;
    bool m_closing = false;
    bool m_ended = false;
    PlayEnd m_end = PlayEnd::Finished;
    double m_startClock = 0;
    ULONGLONG m_startTick = 0;
};

PlayEnd Player::Run() {
    OpenWindows();
    // The real player has its window before it reports the output open; Quelvox relies on it.
    const std::string name = DriverName(m_request.videoOut);
    char vo[160];
    std::snprintf(vo, sizeof vo, "VO: [%s] %dx%d => %dx%d Planar YV12 \r\n", name.c_str(),
                  m_request.width, m_request.height, m_request.width, m_request.height);
    WriteStdOut(vo);

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
    CloseWindows();
    WriteStdOut(m_end == PlayEnd::Quit ? "\r\n\r\nExiting... (Quit)\r\n"
                                       : "\r\n\r\nExiting... (End of file)\r\n");
    return m_end;
}

void Player::OpenWindows() {
    m_parent = reinterpret_cast<HWND>(static_cast<INT_PTR>(m_request.parentWindow));
    if (!m_request.window || !m_parent || !IsWindow(m_parent)) {
        m_parent = nullptr;
        return;
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (const wchar_t* name : {kPlayerClass, kOverlayClass}) {
        WNDCLASSW wc{};
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = Proc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = name;
        RegisterClassW(&wc);
    }
    RECT client{};
    GetClientRect(m_parent, &client);
    // Without WS_EX_NOPARENTNOTIFY the creation waits on the parent's thread, which Quelvox
    // puts to sleep while it waits for the player.
    m_child = CreateWindowExW(WS_EX_NOPARENTNOTIFY, kPlayerClass, kPlayerClass,
                              WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, client.right,
                              client.bottom, m_parent, nullptr, instance, this);
    // Under wine what one process draws inside another's window never reaches the screen, so
    // a borderless window of our own, owned by Quelvox's main window, shows the picture over it.
    if (m_child && UnderWine())
        m_overlay = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kOverlayClass,
                                    kOverlayClass, WS_POPUP, 0, 0, 0, 0,
                                    GetAncestor(m_parent, GA_ROOT), nullptr, instance, this);
}

void Player::CloseWindows() {
    m_closing = true;
    if (m_overlay)
        DestroyWindow(m_overlay);
    if (m_child)
        DestroyWindow(m_child);
    m_overlay = m_child = nullptr;
}

double Player::Clock() const {
    double clock = m_startClock + (GetTickCount64() - m_startTick) / 1000.0;
    return std::min(clock, m_request.length);
}

void Player::Seek(double seconds) {
    m_startClock = std::clamp(Clock() + seconds, 0.0, m_request.length);
    m_startTick = GetTickCount64();
    PrintStatus(m_startClock);
    Repaint();
}

void Player::Tick() {
    if (m_parent && !IsWindow(m_parent)) {
        // Quelvox's pane is gone, and our window with it.
        m_end = PlayEnd::Quit;
        m_ended = true;
        return;
    }
    const double clock = Clock();
    FollowParent();
    PlaceOverlay();
    PrintStatus(clock);
    Repaint();
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
    WriteStdOut(line);
}

// Our window fills the parent's client area, whatever Quelvox does to the pane later.
void Player::FollowParent() {
    if (!m_child)
        return;
    RECT parent{}, own{};
    GetClientRect(m_parent, &parent);
    GetWindowRect(m_child, &own);
    MapWindowPoints(nullptr, m_parent, reinterpret_cast<POINT*>(&own), 2);
    if (!EqualRect(&parent, &own))
        SetWindowPos(m_child, nullptr, 0, 0, parent.right, parent.bottom,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void Player::PlaceOverlay() {
    if (!m_overlay)
        return;
    RECT target{};
    const bool shown = m_child && IsWindowVisible(m_child) &&
                       !IsIconic(GetAncestor(m_parent, GA_ROOT)) &&
                       GetWindowRect(m_child, &target) && !IsRectEmpty(&target);
    if (!shown) {
        if (IsWindowVisible(m_overlay))
            SetWindowPos(m_overlay, nullptr, 0, 0, 0, 0,
                         SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    RECT now{};
    GetWindowRect(m_overlay, &now);
    if (!IsWindowVisible(m_overlay) || !EqualRect(&now, &target))
        SetWindowPos(m_overlay, nullptr, target.left, target.top, target.right - target.left,
                     target.bottom - target.top,
                     SWP_SHOWWINDOW | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE);
}

void Player::Repaint() const {
    if (m_child)
        InvalidateRect(m_child, nullptr, FALSE);
    if (m_overlay && IsWindowVisible(m_overlay))
        InvalidateRect(m_overlay, nullptr, FALSE);
}

void Player::Paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client{};
    GetClientRect(window, &client);
    if (client.right > 0 && client.bottom > 0) {
        // Drawn off screen first, so the picture does not flicker.
        HDC memory = CreateCompatibleDC(dc);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
        HGDIOBJ old = SelectObject(memory, bitmap);
        DrawPicture(memory, client.right, client.bottom, Clock(), m_request.length);
        BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
    }
    EndPaint(window, &ps);
}

LRESULT CALLBACK Player::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(
            window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* player = reinterpret_cast<Player*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return player ? player->Handle(window, message, wParam, lParam)
                  : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Player::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CHAR:
        if (wParam == 'q') {
            m_end = PlayEnd::Quit;
            m_ended = true;
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_LEFT)
            Seek(-kSeekSeconds);
        else if (wParam == VK_RIGHT)
            Seek(kSeekSeconds);
        return 0;
    case WM_MOUSEACTIVATE:
        // The picture must never take activation from Quelvox.
        return MA_NOACTIVATE;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_CLOSE:
        m_end = PlayEnd::Quit;
        m_ended = true;
        return 0;
    case WM_DESTROY:
        // Destroyed with Quelvox's windows rather than by us: nothing is left to play in.
        if (window == m_overlay && !m_closing)
            m_overlay = nullptr;
        if (window == m_child && !m_closing) {
            m_child = nullptr;
            m_end = PlayEnd::Quit;
            m_ended = true;
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

PlayEnd Play(const PlayRequest& request) {
    Player player(request);
    return player.Run();
}
