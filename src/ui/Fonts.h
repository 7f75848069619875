// The fonts the program makes for its own controls (the templates' fonts aside).
#pragma once

#include "framework/Gdi.h"

// A bold font of the given cell height in the face the language library names for its texts,
// or in ownFace when it names none: Hangul needs a face every Windows has with Hangul in it
// (Verdana has none, and no font link), English keeps the program's own.
bool MakeUiFont(CFont& font, int height, const wchar_t* ownFace);
