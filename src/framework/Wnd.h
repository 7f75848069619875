// CWnd: a window wrapper that does not own its window unless it created it. Windows created
// or subclassed by the framework route their messages through the class's message map
// (MessageMap.h), chaining to the base class's map and ending in DefWindowProc.
#pragma once

class CMenu;

#include "MessageMap.h"

#include <windows.h>

#include <string>

// Sends the message to every window inside this one that belongs to this thread (a window of
// another thread or process, such as the player's, is none of ours to wait on).
void SendToOwnDescendants(HWND window, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

class CWnd {
public:
    CWnd() = default;
    explicit CWnd(HWND hWnd) : m_hWnd(hWnd) {}
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The framework object routing the window's messages, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Operations
    // Routes the window's messages through this object; the window keeps its own procedure
    // as the default processing.
    bool SubclassWindow(HWND hWnd);
    bool SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();
    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    HWND Detach();

    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, msg, wParam, lParam);
    }
    bool PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageW(m_hWnd, msg, wParam, lParam) != FALSE;
    }
    void SetWindowText(const wchar_t* text) const { ::SetWindowTextW(m_hWnd, text); }
    std::wstring GetWindowText() const;
    bool EnableWindow(bool enable = true) const { return ::EnableWindow(m_hWnd, enable) != FALSE; }
    bool IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd) != FALSE; }
    bool ShowWindow(int show) const { return ::ShowWindow(m_hWnd, show) != FALSE; }
    bool DestroyWindow() const { return m_hWnd && ::DestroyWindow(m_hWnd) != FALSE; }
    bool IsWindowVisible() const { return ::IsWindowVisible(m_hWnd) != FALSE; }
    bool SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags) const {
        return ::SetWindowPos(m_hWnd, after, x, y, cx, cy, flags) != FALSE;
    }
    bool MoveWindow(int x, int y, int cx, int cy, bool repaint = true) const {
        return ::MoveWindow(m_hWnd, x, y, cx, cy, repaint) != FALSE;
    }
    RECT GetClientRect() const;
    // Centres the window on the work area of its monitor.
    void CenterWindow() const;
    RECT GetWindowRect() const;
    void RedrawWindow(UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE) const {
        ::RedrawWindow(m_hWnd, nullptr, nullptr, flags);
    }
    void Invalidate(bool erase = true) const { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void SetFont(HFONT font, bool redraw = true) const {
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
    }
    UINT_PTR SetTimer(UINT_PTR id, UINT ms) const { return ::SetTimer(m_hWnd, id, ms, nullptr); }
    bool KillTimer(UINT_PTR id) const { return ::KillTimer(m_hWnd, id) != FALSE; }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const {
        return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE));
    }
    // Changes style bits in place; with swpFlags (e.g. SWP_FRAMECHANGED) the window is told
    // through SetWindowPos, otherwise nothing is redrawn. False when nothing changed.
    bool ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0) const {
        const DWORD style = GetStyle(), changed = (style & ~remove) | add;
        if (changed == style)
            return false;
        ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(changed));
        if (swpFlags)
            SetWindowPos(nullptr, 0, 0, 0, 0,
                         SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
        return true;
    }
    void SetFocus() const { ::SetFocus(m_hWnd); }

    // The message being handled, processed by the window's default procedure.
    LRESULT Default();

    // Overridables
    // Offered each queued message meant for this window or a window inside it before it is
    // dispatched (see CDialog's modal loop); true when the message was taken.
    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Command messages: the message map, after reflection of nothing.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // Colour request of a child; by default the child's own CtlColor answers when it gives a
    // brush, otherwise the default processing.
    virtual HBRUSH OnCtlColor(HDC dc, HWND child, UINT ctlColor);
    // Reflected to the control that asked.
    virtual HBRUSH CtlColor(HDC dc, UINT ctlColor);
    virtual void DrawItem(DRAWITEMSTRUCT* item);
    virtual void MeasureItem(MEASUREITEMSTRUCT* item);
    // The popup menu whose owner-drawn items this window measures and draws, if any.
    virtual CMenu* OwnerDrawnMenu() { return nullptr; }
    // Called before the window is routed through this object.
    virtual void PreSubclassWindow() {}

    HWND m_hWnd = nullptr;

protected:
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual bool ProcessWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Hands a draw or measure request to the menu or the control it is for.
    template <typename Item>
    bool ReflectOwnerDraw(Item& item, CWnd* control, void (CMenu::*toMenu)(Item*),
                          void (CWnd::*toControl)(Item*), LRESULT& result);
    // The window procedure of every framework window.
    static LRESULT CALLBACK FrameworkWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);
    bool Route(HWND hWnd, WNDPROC super);

    WNDPROC m_pfnSuper = nullptr;

private:
    struct Message {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    };
    Message m_current{};
};
