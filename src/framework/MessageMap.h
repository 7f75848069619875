// Message maps: a short list of the messages a window class handles, read top to bottom,
// chaining to the base class's map at the end.
//
//   BEGIN_MSG_MAP(CMyDlg, CDialog)
//       ON_MESSAGE(WM_TIMER, OnTimer)           // LRESULT OnTimer(WPARAM, LPARAM)
//       ON_COMMAND(IDC_GO, OnGo)                // void OnGo()
//       ON_COMMAND_RANGE(ID_A, ID_Z, OnAtoZ)    // void OnAtoZ(UINT id)
//       ON_CONTROL(IDC_KIND, CBN_SELCHANGE, OnKind) // void OnKind()
//       ON_NOTIFY(IDC_LIST, NM_DBLCLK, OnDbl)   // LRESULT OnDbl(NMHDR*)
//   END_MSG_MAP()
//
// A handled message gets no default processing unless its handler calls Default(). The map
// opens a protected section: put it at the end of the class.
#pragma once

#define BEGIN_MSG_MAP(theClass, baseClass)                                                         \
protected:                                                                                         \
    bool ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)           \
        override {                                                                                 \
        using MapBase = baseClass;                                                                 \
        (void)wParam;                                                                              \
        (void)lParam;                                                                              \
        (void)lResult;

#define ON_MESSAGE(msg, func)                                                                      \
    if (uMsg == (msg)) {                                                                           \
        lResult = func(wParam, lParam);                                                            \
        return true;                                                                               \
    }

// A click of a button or static (code 0 from the control), a menu item (0, no control) or an
// accelerator (1, no control) with this id; not a list's or combo box's selection change,
// whose code is 1 too.
#define ON_COMMAND(id, func)                                                                       \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) &&                                            \
        (HIWORD(wParam) == 0 || (HIWORD(wParam) == 1 && lParam == 0))) {                           \
        func();                                                                                    \
        return true;                                                                               \
    }

// The same for every id from first to last.
#define ON_COMMAND_RANGE(first, last, func)                                                        \
    if (uMsg == WM_COMMAND && UINT{LOWORD(wParam)} - (first) <= UINT{(last) - (first)} &&          \
        (HIWORD(wParam) == 0 || (HIWORD(wParam) == 1 && lParam == 0))) {                           \
        func(LOWORD(wParam));                                                                      \
        return true;                                                                               \
    }

// A control's notification by WM_COMMAND (a combo box's selection change...).
#define ON_CONTROL(id, notifyCode, func)                                                           \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == (notifyCode) &&          \
        lParam != 0) {                                                                             \
        func();                                                                                    \
        return true;                                                                               \
    }

#define ON_NOTIFY(id, notifyCode, func)                                                            \
    if (uMsg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->idFrom == (id) &&                   \
        reinterpret_cast<NMHDR*>(lParam)->code == static_cast<UINT>(notifyCode)) {                 \
        lResult = func(reinterpret_cast<NMHDR*>(lParam));                                          \
        return true;                                                                               \
    }

#define END_MSG_MAP()                                                                              \
    return MapBase::ProcessWindowMessage(uMsg, wParam, lParam, lResult);                           \
    }
