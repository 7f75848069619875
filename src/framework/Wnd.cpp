#include "Wnd.h"

#include "Menu.h"
#include "Seam.h"

#include <exception>
#include <utility>

namespace {
// The framework object of a window is found through this window property.
constexpr const wchar_t* kObjectProperty = L"Quelvox.CWnd";
} // namespace

CWnd::~CWnd() {
    // Subclassed windows outlive their wrapper: hand them back to their own procedure, so no
    // message reaches a destroyed object.
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this)
        UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    return hWnd ? static_cast<CWnd*>(::GetPropW(hWnd, kObjectProperty)) : nullptr;
}

bool CWnd::Route(HWND hWnd, WNDPROC super) {
    m_hWnd = hWnd;
    m_pfnSuper = super;
    return ::SetPropW(hWnd, kObjectProperty, this) != FALSE;
}

bool CWnd::SubclassWindow(HWND hWnd) {
    if (!hWnd || FromHandlePermanent(hWnd))
        return false;
    m_hWnd = hWnd;
    PreSubclassWindow();
    auto super = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hWnd, GWLP_WNDPROC));
    if (!Route(hWnd, super))
        return false;
    ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FrameworkWndProc));
    return true;
}

bool CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    return SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

HWND CWnd::UnsubclassWindow() {
    HWND hWnd = m_hWnd;
    if (hWnd && m_pfnSuper) {
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        ::RemovePropW(hWnd, kObjectProperty);
    }
    m_pfnSuper = nullptr;
    m_hWnd = nullptr;
    return hWnd;
}

HWND CWnd::Detach() {
    return std::exchange(m_hWnd, nullptr);
}

std::wstring CWnd::GetWindowText() const {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(m_hWnd)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(::GetWindowTextW(m_hWnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

void CWnd::CenterWindow() const {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor))
        return;
    const RECT window = GetWindowRect(), area = monitor.rcWork;
    const int width = window.right - window.left, height = window.bottom - window.top;
    ::SetWindowPos(m_hWnd, nullptr, area.left + (area.right - area.left - width) / 2,
                   area.top + (area.bottom - area.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT CWnd::GetClientRect() const {
    RECT rc{};
    ::GetClientRect(m_hWnd, &rc);
    return rc;
}

RECT CWnd::GetWindowRect() const {
    RECT rc{};
    ::GetWindowRect(m_hWnd, &rc);
    return rc;
}

LRESULT CWnd::Default() {
    return DefWindowProc(m_current.msg, m_current.wParam, m_current.lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, msg, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, msg, wParam, lParam);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    return ProcessWindowMessage(WM_COMMAND, wParam, lParam, result);
}

HBRUSH CWnd::OnCtlColor(HDC dc, HWND child, UINT ctlColor) {
    if (CWnd* control = FromHandlePermanent(child))
        if (HBRUSH brush = control->CtlColor(dc, ctlColor))
            return brush;
    return reinterpret_cast<HBRUSH>(Default());
}

HBRUSH CWnd::CtlColor(HDC, UINT) {
    return nullptr;
}

void CWnd::DrawItem(DRAWITEMSTRUCT*) {}

void CWnd::MeasureItem(MEASUREITEMSTRUCT*) {}

template <typename Item>
bool CWnd::ReflectOwnerDraw(Item& item, CWnd* control, void (CMenu::*toMenu)(Item*),
                            void (CWnd::*toControl)(Item*), LRESULT& result) {
    if (item.CtlType == ODT_MENU) {
        CMenu* menu = OwnerDrawnMenu();
        if (!menu)
            return false;
        (menu->*toMenu)(&item);
    } else {
        if (!control)
            return false;
        (control->*toControl)(&item);
    }
    result = TRUE;
    return true;
}

bool CWnd::ProcessWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) {
        result = reinterpret_cast<LRESULT>(OnCtlColor(reinterpret_cast<HDC>(wParam),
                                                      reinterpret_cast<HWND>(lParam),
                                                      msg - WM_CTLCOLORMSGBOX));
        return true;
    }
    // Owner drawing goes back to the control that asked for it; menu items to the window's menu.
    if (msg == WM_DRAWITEM) {
        auto& item = *reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        CWnd* control = item.CtlType != ODT_MENU ? FromHandlePermanent(item.hwndItem) : nullptr;
        return ReflectOwnerDraw(item, control, &CMenu::DrawItem, &CWnd::DrawItem, result);
    }
    if (msg == WM_MEASUREITEM) {
        auto& item = *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        CWnd* control = item.CtlType != ODT_MENU
                            ? FromHandlePermanent(GetDlgItem(static_cast<int>(item.CtlID)))
                            : nullptr;
        return ReflectOwnerDraw(item, control, &CMenu::MeasureItem, &CWnd::MeasureItem, result);
    }
    return false;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) {
        if (OnCommand(wParam, lParam))
            return 0;
        return DefWindowProc(msg, wParam, lParam);
    }
    LRESULT result = 0;
    if (ProcessWindowMessage(msg, wParam, lParam, result))
        return result;
    return DefWindowProc(msg, wParam, lParam);
}

LRESULT CWnd::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
    Message saved = m_current;
    m_current = {msg, wParam, lParam};
    LRESULT result = 0;
    // Nothing may unwind through user32: the message counts as handled and the window goes on.
    try {
        result = WindowProc(msg, wParam, lParam);
    } catch (const std::exception& e) {
        wchar_t what[256] = L"";
        ::MultiByteToWideChar(CP_ACP, 0, e.what(), -1, what, 255);
        Seam().HandlerFailed(what);
    } catch (...) {
        Seam().HandlerFailed(L"an unknown exception");
    }
    m_current = saved;
    return result;
}

LRESULT CALLBACK CWnd::FrameworkWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = FromHandlePermanent(hWnd);
    if (!wnd)
        return ::DefWindowProcW(hWnd, msg, wParam, lParam);
    LRESULT result = wnd->Dispatch(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        // The window is gone: the object no longer stands for it.
        WNDPROC super = wnd->m_pfnSuper;
        ::RemovePropW(hWnd, kObjectProperty);
        if (super)
            ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(super));
        wnd->m_hWnd = nullptr;
        wnd->m_pfnSuper = nullptr;
    }
    return result;
}

void SendToOwnDescendants(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    struct Message {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    } message{msg, wParam, lParam};
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM param) {
            const auto* m = reinterpret_cast<const Message*>(param);
            if (::GetWindowThreadProcessId(child, nullptr) == ::GetCurrentThreadId())
                ::SendMessageW(child, m->msg, m->wParam, m->lParam);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&message));
}
