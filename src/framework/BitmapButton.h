// CBitmapButton: an owner-drawn button holding up to four bitmaps (normal, pressed, focus,
// disabled) from the current resource module. How they are drawn is left to the subclass.
#pragma once

#include "Controls.h"
#include "Gdi.h"

class CBitmapButton : public CButton {
public:
    // Ids of 0 leave that image empty; the normal image must load. The pictures are drawn at
    // the DPI.
    bool LoadBitmaps(UINT normal, UINT selected = 0, UINT focus = 0, UINT disabled = 0,
                     UINT dpi = 96);
    // Sizes the button to its normal bitmap.
    void SizeToContent() const;

    CBitmap m_bitmap;
    CBitmap m_bitmapSel;
    CBitmap m_bitmapFocus;
    CBitmap m_bitmapDisabled;
};
