#include "Fonts.h"

#include "framework/String.h"
#include "resources/resource.h"

bool MakeUiFont(CFont& font, int height, const wchar_t* ownFace) {
    const std::wstring named = LoadResString(IDS_FONT_FACE);
    return font.CreateFont(height, 0, 0, 0, 900, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, named.empty() ? ownFace : named.c_str());
}
