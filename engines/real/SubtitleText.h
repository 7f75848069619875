// A subtitle file's bytes as text, whatever encoding it came in, and the few line helpers the
// readers of each format share.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// "cp949" -> 949, names of UTF-8 -> 65001, "enca:ko:cp949" -> 949; a name the system has no code
// page for -> 949, never the ANSI code page, which loses Hangul on most machines.
unsigned CodePageOf(const std::wstring& name);
// A byte-order mark (UTF-8, UTF-16) decides, and so do the zero bytes of UTF-16 without one.
// Otherwise each line on its own: UTF-8 when it is valid UTF-8, else the code page when it is
// valid there; a line broken in both is UTF-8 (its bad bytes U+FFFD) when its UTF-8 sequences
// outnumber its bad bytes, else the code page.
std::wstring DecodeText(const std::string& bytes, unsigned codePage);

namespace subtitle_text {

std::wstring Lower(std::wstring text);
std::wstring Trim(std::wstring_view text);
bool IsBlank(std::wstring_view line);
// Lines ended by CR LF, LF or CR.
std::vector<std::wstring_view> Lines(std::wstring_view text);
// Whether text[at] starts with prefix, in any case (prefix in lower case).
bool StartsWithNoCase(std::wstring_view text, size_t at, std::wstring_view prefix);

} // namespace subtitle_text
