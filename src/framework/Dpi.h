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
// The DPI the dialog's template is laid out at in effect, at the given DPI: its units grow with
// its font's cell, which does not grow quite in step with the DPI. What the code sizes in
// pixels inside the template (fonts, pictures, icons) is scaled to this, and so keeps to the
// template's rectangles.
UINT TemplateDpi(HWND dialog, UINT dpi);
// The system's menu font at the DPI.
LOGFONTW MenuFontAt(UINT dpi);
// Places a window where WM_DPICHANGED's lParam suggests, at the new monitor's DPI.
void MoveToSuggested(HWND window, LPARAM suggestedRect);
