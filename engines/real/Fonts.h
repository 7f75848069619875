// The font subtitles are drawn in: which file, its family name, and the characters it draws.
#pragma once

#include <string>
#include <utility>
#include <vector>

// Family name of a TrueType or OpenType file (the first face of a collection); empty when the
// file is no font.
std::wstring FontFamily(const std::wstring& path);
// The font file to draw with: the one asked for when it is a font, else an installed one with
// Hangul.
std::wstring SubtitleFontFile(const std::wstring& requested);

// Ranges of the code points a font draws, from its character map, in order.
using CharacterRanges = std::vector<std::pair<char32_t, char32_t>>;
struct FontFace {
    std::wstring family;
    CharacterRanges characters;
};
// The first face of a font file; an empty family when the file is no font.
FontFace ReadFontFace(const std::wstring& path);
