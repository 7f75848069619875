// The moment the program was built, as the compiler gives it: "Dec  9 2026" and "01:02:03".
#pragma once

extern const wchar_t* const kBuildDate;
extern const wchar_t* const kBuildTime;
