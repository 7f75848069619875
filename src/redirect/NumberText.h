// Number readers with the C runtime's lenient rules, so that parsing child output does not
// depend on the runtime's locale or version.
#pragma once

#include <string_view>

// Like _wtoi: leading white space, an optional sign, decimal digits up to the first other
// character; 0 when there are none. Saturates instead of overflowing.
int ReadInt(std::wstring_view text);

// Like _wtof: leading white space, then the longest prefix in decimal notation (sign, digits,
// optional fraction, optional exponent); 0.0 when there is none.
double ReadDouble(std::wstring_view text);
