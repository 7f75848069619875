// The look the program gives its own controls beyond their templates: fonts, pictures and icons
// at the window's DPI, and colours that give way to the system's under a high-contrast theme.
#pragma once

#include "framework/Gdi.h"

// A bold font of the given cell height (in pixels at 96 DPI, drawn at dpi: for a dialog's
// controls its TemplateDpi) in the face the language library names for its texts, or in
// ownFace when it names none: Hangul needs a face every Windows has with Hangul in it (Verdana
// has none, and no font link), English keeps the program's own.
bool MakeUiFont(CFont& font, int height, const wchar_t* ownFace, UINT dpi);

// A picture of the current resource module, drawn at dpi and at least minHeight pixels high,
// for a control that shows a bitmap (SS_BITMAP): it takes the picture's size; filled with one
// colour instead, unless that is CLR_INVALID. The control's earlier picture goes.
void ShowPicture(HWND control, CBitmap& picture, UINT id, UINT dpi, int minHeight = 0,
                 COLORREF fill = CLR_INVALID);
// An icon of the current resource module at the size in pixels at 96 DPI, drawn at dpi; the
// caller owns it.
HICON IconAt(UINT id, int size, UINT dpi);

// The skin's colour, or the system's colour of that role while a high-contrast theme is on.
COLORREF SkinColour(COLORREF skin, int systemColour);
