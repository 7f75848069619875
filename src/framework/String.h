// Strings are std::wstring; these load and format them.
#pragma once

#include <string>
#include <string_view>

// The string-table entry of the current resource module; empty when it has none.
std::wstring LoadResString(unsigned id);
// printf-style formatting with the Windows runtime's rules, where %s in a wide format takes a
// wide string (the string table's formats are written that way).
std::wstring FormatString(const wchar_t* format, ...);
// The text with every bare line feed made CR LF: a Windows multiline edit breaks lines only
// there (wine breaks them at a bare one too).
std::wstring WithCrLf(std::wstring_view text);
// The system's own words for an error code, on one line; the code in hexadecimal when it has
// none.
std::wstring SystemErrorText(unsigned long code);
