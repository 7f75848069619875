#include "Gdi.h"

#include "App.h"

bool CBitmap::LoadBitmap(UINT id) {
    Attach(::LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id)));
    return m_hObject != nullptr;
}
