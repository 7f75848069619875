// CMyBitmapButton: a push button drawn from its bitmaps. The focus image doubles as the hover
// image, because the button takes the keyboard focus while the pointer is over it.
#pragma once

#include "framework/BitmapButton.h"

class CMyBitmapButton : public CBitmapButton {
public:
    void DrawItem(DRAWITEMSTRUCT* item) override;

    HWND m_pFocusBeforeHover = nullptr;
    bool m_bKeyedBlit = false; // image pixels of m_crKey are not drawn
    COLORREF m_crKey = RGB(255, 0, 255);
    bool m_bShowCaption = false; // the window text is drawn over the image

private:
    LRESULT OnMouseMove(WPARAM, LPARAM);
    LRESULT OnLButtonUp(WPARAM, LPARAM);
    LRESULT OnEraseBkgnd(WPARAM, LPARAM) { return Default(); }
    void GiveFocusBack();

    BEGIN_MSG_MAP(CMyBitmapButton, CBitmapButton)
        ON_MESSAGE(WM_MOUSEMOVE, OnMouseMove)
        ON_MESSAGE(WM_LBUTTONUP, OnLButtonUp)
        ON_MESSAGE(WM_ERASEBKGND, OnEraseBkgnd)
    END_MSG_MAP()
};
