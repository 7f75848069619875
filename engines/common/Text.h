// Conversions between the engines' UTF-16 command lines and the bytes they print and read.
#pragma once

#include <string>
#include <string_view>

// UTF-16 text in a code page (CP_UTF8, CP_ACP, 949, ...), and back.
std::string Narrow(std::wstring_view text, unsigned codePage);
std::wstring Widen(std::string_view bytes, unsigned codePage);

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);
// Text as Quelvox reads our output: in the system's ANSI code page.
std::string ToAnsi(std::wstring_view text);
// Text the user gave (a path, a name) as Quelvox reads it in our output: in the ANSI code page,
// with the two texts by which Quelvox knows a failed conversion ("Sorry," and "Cannot open
// demuxer.") broken, so that echoing a name never reads as a failure.
std::string UserText(std::wstring_view text);
