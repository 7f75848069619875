// CMyBitmapButton: a push button drawn from its bitmaps. The focus image doubles as the hover
// image: shown while the pointer is over the button, which takes nothing for it (a key meant
// for the list must not press a button the pointer rests on).
#pragma once

#include "framework/BitmapButton.h"

class CMyBitmapButton : public CBitmapButton {
public:
    void DrawItem(DRAWITEMSTRUCT* item) override;

    bool m_bHover = false;
    bool m_bKeyedBlit = false; // image pixels of m_crKey are not drawn
    COLORREF m_crKey = RGB(255, 0, 255);
    bool m_bShowCaption = false; // the window text is drawn over the image

private:
    LRESULT OnMouseMove(WPARAM, LPARAM);
    LRESULT OnMouseLeave(WPARAM, LPARAM);
    LRESULT OnEraseBkgnd(WPARAM, LPARAM) { return Default(); }

    BEGIN_MSG_MAP(CMyBitmapButton, CBitmapButton)
        ON_MESSAGE(WM_MOUSEMOVE, OnMouseMove)
        ON_MESSAGE(WM_MOUSELEAVE, OnMouseLeave)
        ON_MESSAGE(WM_ERASEBKGND, OnEraseBkgnd)
    END_MSG_MAP()
};
