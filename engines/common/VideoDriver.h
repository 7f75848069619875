// The video output named after -vo, as both players report it in their "VO: [...]" line.
#pragma once

#include <string>

// The driver's name without its options ("gl:yuv=2") or fallbacks ("direct3d,gl"); the
// player's default, directx, when none is named.
std::string VideoDriverName(const std::string& vo);
