#include "BitmapButton.h"

bool CBitmapButton::LoadBitmaps(UINT normal, UINT selected, UINT focus, UINT disabled, UINT dpi) {
    m_bitmap.LoadBitmap(normal, dpi);
    selected ? (void)m_bitmapSel.LoadBitmap(selected, dpi) : m_bitmapSel.DeleteObject();
    focus ? (void)m_bitmapFocus.LoadBitmap(focus, dpi) : m_bitmapFocus.DeleteObject();
    disabled ? (void)m_bitmapDisabled.LoadBitmap(disabled, dpi) : m_bitmapDisabled.DeleteObject();
    return m_bitmap.GetSafeHandle() != nullptr;
}

void CBitmapButton::SizeToContent() const {
    BITMAP info{};
    if (m_bitmap.GetBitmap(&info))
        SetWindowPos(nullptr, 0, 0, info.bmWidth, info.bmHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
