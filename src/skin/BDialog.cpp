#include "BDialog.h"

#include <algorithm>

LRESULT CBDialog::OnEraseBkgnd(WPARAM wParam, LPARAM) {
    Default();
    if (!m_bmBackdrop)
        return TRUE;
    HDC dc = reinterpret_cast<HDC>(wParam);
    const RECT client = GetClientRect();
    const int width = client.right - client.left, height = client.bottom - client.top;
    CMemoryDC memory(dc);
    memory.Select(m_bmBackdrop);
    BITMAP info{};
    m_bmBackdrop.GetBitmap(&info);
    const int bw = info.bmWidth, bh = info.bmHeight;

    switch (m_nBackdropMode) {
    case kTile:
        // Each copy carries only the bitmap's own pixels.
        if (bw > 0 && bh > 0)
            for (int y = 0; y < height; y += bh)
                for (int x = 0; x < width; x += bw)
                    ::BitBlt(dc, x, y, bw, bh, memory, 0, 0, SRCCOPY);
        break;
    case kCentre:
        ::BitBlt(dc, bw < width ? (width - bw) / 2 : 0, bh < height ? (height - bh) / 2 : 0,
                 std::min(bw, width), std::min(bh, height), memory, 0, 0, SRCCOPY);
        break;
    case kStretch:
        ::StretchBlt(dc, 0, 0, width, height, memory, 0, 0, bw, bh, SRCCOPY);
        break;
    default:
        break;
    }
    return TRUE;
}
