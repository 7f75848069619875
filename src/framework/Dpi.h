// Per-monitor DPI. The program declares itself aware of each monitor's DPI, so Windows draws it
// sharp and leaves the scaling to it: templates scale by themselves, and every size the code
// gives in pixels goes through Scaled.
#pragma once

#include <windows.h>

constexpr UINT kBaseDpi = 96;

// The DPI the window is shown at (the screen's where the system cannot tell per window).
UINT DpiOf(HWND window);
// A size in pixels at 96 DPI, at the given DPI.
inline int Scaled(int pixels, UINT dpi) {
    return ::MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}
// How much larger the dialog's own units are than its template font's at 96 DPI: what the
// dialog manager scaled the template by. Text the code sizes in pixels, scaled by this rather
// than by the DPI, keeps to the template's rectangles (the font's cell does not grow in step
// with the DPI).
double TemplateScale(HWND dialog, UINT dpi);
// The system's menu font at the DPI.
LOGFONTW MenuFontAt(UINT dpi);
