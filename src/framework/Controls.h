// The common controls the program uses, each a thin wrapper of its messages.
//   CButton, CStatic, CEdit, CComboBox, CListCtrl, CSliderCtrl, CProgressCtrl, CToolTips
#pragma once

#include "Wnd.h"

#include <commctrl.h>

#include <string>

class CButton : public CWnd {
public:
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int state) const { SendMessage(BM_SETCHECK, static_cast<WPARAM>(state)); }
    UINT GetButtonStyle() const { return GetStyle() & 0xFFFF; }
};

class CStatic : public CWnd {};

class CEdit : public CWnd {
public:
    void SetSel(int start, int end) const {
        SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end);
    }
    void ReplaceSel(const wchar_t* text, bool canUndo = false) const {
        SendMessage(EM_REPLACESEL, canUndo, reinterpret_cast<LPARAM>(text));
    }
    void LineScroll(int lines, int chars = 0) const {
        SendMessage(EM_LINESCROLL, static_cast<WPARAM>(chars), lines);
    }
    // 0: as much as memory allows. Past the limit (about 30,000 characters unless set)
    // EM_REPLACESEL drops text without a word.
    void SetLimitText(UINT limit) const { SendMessage(EM_SETLIMITTEXT, limit); }
};

class CComboBox : public CWnd {
public:
    int AddString(const wchar_t* text) const {
        return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    void SetCurSel(int index) const { SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index)); }
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
};

class CListCtrl : public CWnd {
public:
    int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
    int InsertColumn(int column, const wchar_t* heading, int format, int width) const;
    int InsertItem(int index, const wchar_t* text) const;
    std::wstring GetItemText(int index, int subItem) const;
    bool SetItemState(int index, UINT state, UINT mask) const;
    UINT GetItemState(int index, UINT mask) const {
        return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(index), mask));
    }
    bool GetCheck(int index) const {
        return ((GetItemState(index, LVIS_STATEIMAGEMASK) >> 12) - 1) == 1;
    }
    bool SetCheck(int index, bool check) const {
        return SetItemState(index, INDEXTOSTATEIMAGEMASK(check ? 2 : 1), LVIS_STATEIMAGEMASK);
    }
    int GetNextItem(int start, UINT flags) const {
        return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(start), flags));
    }
    bool DeleteItem(int index) const {
        return SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(index)) != 0;
    }
    bool DeleteAllItems() const { return SendMessage(LVM_DELETEALLITEMS) != 0; }
    void SetExtendedStyle(DWORD style) const {
        SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style);
    }
};

class CSliderCtrl : public CWnd {
public:
    void SetRange(int min, int max, bool redraw = false) const {
        SendMessage(TBM_SETRANGEMIN, false, min);
        SendMessage(TBM_SETRANGEMAX, redraw, max);
    }
    int GetRangeMax() const { return static_cast<int>(SendMessage(TBM_GETRANGEMAX)); }
    void SetPos(int pos) const { SendMessage(TBM_SETPOS, TRUE, pos); }
    int GetPos() const { return static_cast<int>(SendMessage(TBM_GETPOS)); }
};

class CProgressCtrl : public CWnd {
public:
    void SetRange(int low, int high) const { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(low, high)); }
    void SetPos(int pos) const { SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos)); }
    int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
};

// The tips a window's controls show when the pointer rests on them: each its own window text,
// which is also the name a screen reader speaks.
class CToolTips : public CWnd {
public:
    ~CToolTips() override;
    // Made for the owner's controls; nothing happens when it cannot be.
    bool Create(HWND owner);
    // Adds the control, or gives it its current text again.
    void Add(HWND control) const;
    // Adds every push button inside the window (its pages' too).
    void AddButtons(HWND window) const;
    // The tip's text for the control; empty when it has none.
    std::wstring TextOf(HWND control) const;
};
