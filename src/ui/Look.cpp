#include "Look.h"

#include "framework/App.h"
#include "framework/Dpi.h"
#include "framework/Handle.h"
#include "framework/Seam.h"
#include "framework/String.h"

#include <cmath>
#include "resources/resource.h"

bool MakeUiFont(CFont& font, int height, const wchar_t* ownFace, UINT dpi) {
    const std::wstring named = LoadResString(IDS_FONT_FACE);
    return font.CreateFont(Scaled(height, dpi), 0, 0, 0, 900, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, named.empty() ? ownFace : named.c_str());
}

void ShowPicture(HWND control, CBitmap& picture, UINT id, UINT dpi, int minHeight, COLORREF fill) {
    CBitmap next;
    BITMAP info{};
    if (!next.LoadBitmap(id, dpi) || !next.GetBitmap(&info))
        return;
    if (info.bmHeight < minHeight)
        next.Attach(
            ScaledPicture(next, ::MulDiv(info.bmWidth, minHeight, info.bmHeight), minHeight));
    // The control takes the picture's size: a strip wider than the window is cut at its edge,
    // so that the control too lies inside the window.
    RECT room{};
    ::GetClientRect(::GetParent(control), &room);
    ::MapWindowPoints(::GetParent(control), control, reinterpret_cast<POINT*>(&room), 2);
    if (next.GetBitmap(&info) && room.right > 0 && info.bmWidth > room.right) {
        CBitmap cut;
        {
            const CClientDC screen(nullptr);
            cut.Attach(::CreateCompatibleBitmap(screen, room.right, info.bmHeight));
            CMemoryDC from(screen), to(screen);
            if (from.Select(next) && to.Select(cut))
                ::BitBlt(to, 0, 0, room.right, info.bmHeight, from, 0, 0, SRCCOPY);
        }
        next.Attach(cut.Detach());
    }
    if (fill != CLR_INVALID && next.GetBitmap(&info)) {
        CMemoryDC memory(nullptr);
        memory.Select(next);
        const RECT all{0, 0, info.bmWidth, info.bmHeight};
        HBRUSH brush = ::CreateSolidBrush(fill);
        ::FillRect(memory, &all, brush);
        ::DeleteObject(brush);
    }
    auto earlier = reinterpret_cast<HBITMAP>(::SendMessageW(
        control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(next.GetSafeHandle())));
    // The picture the control loaded from its template is given back to us to delete; ours goes
    // as `picture` takes the new one.
    if (earlier && earlier != picture.GetSafeHandle())
        ::DeleteObject(earlier);
    picture.Attach(next.Detach());
}

HICON IconAt(UINT id, int size, UINT dpi) {
    return static_cast<HICON>(::LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id), IMAGE_ICON,
                                           Scaled(size, dpi), Scaled(size, dpi), 0));
}

COLORREF SkinColour(COLORREF skin, int systemColour) {
    return Seam().HighContrast() ? ::GetSysColor(systemColour) : skin;
}
