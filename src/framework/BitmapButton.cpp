#include "BitmapButton.h"

bool CBitmapButton::LoadBitmaps(UINT normal, UINT selected, UINT focus, UINT disabled) {
    m_bitmap.LoadBitmap(normal);
    selected ? (void)m_bitmapSel.LoadBitmap(selected) : m_bitmapSel.DeleteObject();
    focus ? (void)m_bitmapFocus.LoadBitmap(focus) : m_bitmapFocus.DeleteObject();
    disabled ? (void)m_bitmapDisabled.LoadBitmap(disabled) : m_bitmapDisabled.DeleteObject();
    return m_bitmap.GetSafeHandle() != nullptr;
}

void CBitmapButton::SizeToContent() const {
    BITMAP info{};
    if (m_bitmap.GetBitmap(&info))
        SetWindowPos(nullptr, 0, 0, info.bmWidth, info.bmHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
