#include "MyBitmapButton.h"

#include <windowsx.h>

void CMyBitmapButton::DrawItem(DRAWITEMSTRUCT* item) {
    const UINT state = item->itemState;
    HBITMAP image = m_bitmap;
    if ((state & ODS_SELECTED) && m_bitmapSel.GetSafeHandle())
        image = m_bitmapSel;
    else if ((state & ODS_FOCUS) && m_bitmapFocus.GetSafeHandle())
        image = m_bitmapFocus;
    else if ((state & ODS_DISABLED) && m_bitmapDisabled.GetSafeHandle())
        image = m_bitmapDisabled;

    CMemoryDC memory(item->hDC);
    if (!image || !memory.Select(image))
        return;
    const RECT& rc = item->rcItem;
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (m_bKeyedBlit)
        ::TransparentBlt(item->hDC, rc.left, rc.top, w, h, memory, 0, 0, w, h, m_crKey);
    else
        ::BitBlt(item->hDC, rc.left, rc.top, w, h, memory, 0, 0, SRCCOPY);

    if (m_bShowCaption) {
        std::wstring text = GetWindowText();
        RECT box = rc;
        ::SetBkMode(item->hDC, TRANSPARENT);
        ::DrawTextW(item->hDC, text.c_str(), -1, &box,
                    DT_CENTER | DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    }
}

LRESULT CMyBitmapButton::OnMouseMove(WPARAM, LPARAM lParam) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    RECT client = GetClientRect();
    if (::PtInRect(&client, pt)) {
        if (::GetCapture() != m_hWnd) {
            ::SetCapture(m_hWnd);
            m_pFocusBeforeHover = ::SetFocus(m_hWnd);
        }
    } else {
        ::ReleaseCapture();
        GiveFocusBack();
    }
    return Default();
}

LRESULT CMyBitmapButton::OnLButtonUp(WPARAM, LPARAM) {
    LRESULT result = Default();
    ::ReleaseCapture();
    GiveFocusBack();
    return result;
}

void CMyBitmapButton::GiveFocusBack() {
    if (m_pFocusBeforeHover) {
        ::SetFocus(m_pFocusBeforeHover);
        m_pFocusBeforeHover = nullptr;
    }
}
