#include "MyBitmapButton.h"

void CMyBitmapButton::DrawItem(DRAWITEMSTRUCT* item) {
    const UINT state = item->itemState;
    HBITMAP image = m_bitmap;
    if ((state & ODS_SELECTED) && m_bitmapSel.GetSafeHandle())
        image = m_bitmapSel;
    else if ((m_bHover || (state & ODS_FOCUS)) && m_bitmapFocus.GetSafeHandle())
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

LRESULT CMyBitmapButton::OnMouseMove(WPARAM, LPARAM) {
    if (!m_bHover) {
        m_bHover = true;
        // Told when the pointer leaves, without capturing the mouse.
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, m_hWnd, 0};
        ::TrackMouseEvent(&track);
        Invalidate(false);
    }
    return Default();
}

LRESULT CMyBitmapButton::OnMouseLeave(WPARAM, LPARAM) {
    m_bHover = false;
    Invalidate(false);
    return Default();
}
