#include "PictureWindows.h"

namespace {

// Quelvox finds the player's window inside its pane by this class name and title.
constexpr const wchar_t* kPlayerClass = L"MPlayer - The Movie Player";
// Wine only: a top-level copy of the picture, under a name Quelvox never looks for.
constexpr const wchar_t* kOverlayClass = L"Quelvox player picture";

} // namespace

bool UnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

bool PictureWindows::Open(HWND parent, PictureEvents events) {
    m_events = std::move(events);
    m_parent = parent;
    if (!m_parent || !IsWindow(m_parent)) {
        m_parent = nullptr;
        return false;
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
    return m_child != nullptr;
}

void PictureWindows::Close() {
    m_closing = true;
    if (m_overlay)
        DestroyWindow(m_overlay);
    if (m_child)
        DestroyWindow(m_child);
    m_overlay = m_child = nullptr;
}

void PictureWindows::Follow() {
    if (!m_child)
        return;
    // Our window fills the parent's client area, whatever Quelvox does to the pane later.
    RECT parent{}, own{};
    GetClientRect(m_parent, &parent);
    GetWindowRect(m_child, &own);
    MapWindowPoints(nullptr, m_parent, reinterpret_cast<POINT*>(&own), 2);
    if (!EqualRect(&parent, &own))
        SetWindowPos(m_child, nullptr, 0, 0, parent.right, parent.bottom,
                     SWP_NOZORDER | SWP_NOACTIVATE);

    if (!m_overlay)
        return;
    RECT target{};
    const bool shown = IsWindowVisible(m_child) && !IsIconic(GetAncestor(m_parent, GA_ROOT)) &&
                       GetWindowRect(m_child, &target) && !IsRectEmpty(&target);
    if (!shown) {
        if (IsWindowVisible(m_overlay))
            SetWindowPos(m_overlay, nullptr, 0, 0, 0, 0,
                         SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    RECT now{};
    GetWindowRect(m_overlay, &now);
    if (IsWindowVisible(m_overlay) && EqualRect(&now, &target))
        return;
    SetWindowPos(m_overlay, nullptr, target.left, target.top, target.right - target.left,
                 target.bottom - target.top,
                 SWP_SHOWWINDOW | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE);
    // Drawn at once, not after the messages ahead of its paint.
    UpdateWindow(m_overlay);
}

bool PictureWindows::Over() const {
    if (!m_child || !IsWindowVisible(m_child) || (m_overlay && !IsWindowVisible(m_overlay)))
        return false;
    RECT parent{}, own{};
    GetClientRect(m_parent, &parent);
    GetClientRect(m_child, &own);
    return EqualRect(&parent, &own) != FALSE;
}

void PictureWindows::Repaint() const {
    if (m_child && !m_overlay)
        InvalidateRect(m_child, nullptr, FALSE);
    if (m_overlay && IsWindowVisible(m_overlay))
        InvalidateRect(m_overlay, nullptr, FALSE);
}

void PictureWindows::Paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client{};
    GetClientRect(window, &client);
    // Under wine only the copy reaches the screen.
    const bool drawn = window == m_overlay || !m_overlay;
    if (drawn && client.right > 0 && client.bottom > 0 && m_events.paint) {
        // Drawn off screen first, so the picture does not flicker.
        HDC memory = CreateCompatibleDC(dc);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
        HGDIOBJ old = SelectObject(memory, bitmap);
        m_events.paint(memory, client.right, client.bottom);
        BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
    }
    EndPaint(window, &ps);
}

LRESULT CALLBACK PictureWindows::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(
            window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<PictureWindows*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->Handle(window, message, wParam, lParam)
                : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT PictureWindows::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CHAR:
        if (wParam == 'q' && m_events.quit)
            m_events.quit();
        return 0;
    case WM_KEYDOWN:
        if ((wParam == VK_LEFT || wParam == VK_RIGHT) && m_events.seek)
            m_events.seek(wParam == VK_LEFT ? -1 : 1);
        return 0;
    case WM_MOUSEWHEEL:
        // Windows sends the wheel to the window under the pointer, this one: Quelvox, whose
        // window this lies in (or, for the copy, is owned by), seeks with it as over its list.
        // Posted: a send would hold this thread until Quelvox's has answered.
        PostMessageW(GetAncestor(window, GA_ROOTOWNER), message, wParam, lParam);
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
        if (m_events.quit)
            m_events.quit();
        return 0;
    case WM_DESTROY:
        // Destroyed with Quelvox's windows rather than by us: nothing is left to play in.
        if (window == m_overlay && !m_closing)
            m_overlay = nullptr;
        if (window == m_child && !m_closing) {
            m_child = nullptr;
            if (m_events.quit)
                m_events.quit();
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
