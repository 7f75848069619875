// Strings are std::wstring; these load and format them.
#pragma once

#include <string>

// The string-table entry of the current resource module; empty when it has none.
std::wstring LoadResString(unsigned id);
// printf-style formatting with the Windows runtime's rules, where %s in a wide format takes a
// wide string (the string table's formats are written that way).
std::wstring FormatString(const wchar_t* format, ...);
