// Per-monitor DPI. The program declares itself aware of each monitor's DPI, so Windows draws it
// sharp and leaves the scaling to it: templates scale by themselves, and every size the code
// gives in pixels goes through Scaled.
//
// Who scales what when a window moves to a monitor of another DPI (WM_DPICHANGED): the
// program, alone, so that nothing is scaled twice and Wine (which never sends the message and
// has no dialog rescaling) runs the same path as Windows.
// - Windows' dialog manager would rescale a top-level dialog's own controls and font, but not
//   the controls of the dialogs inside it (the pages) nor anything the code sized. It is
//   turned off for every dialog the framework makes (SetDialogDpiChangeBehavior,
//   DDC_DISABLE_ALL), so its controls are left alone too.
// - CDialog (Dialog.cpp) instead makes the template's font at the new DPI, lays every control
//   of its template out again from its dialog units at that font, as the dialog manager does
//   at creation, and does the same for each dialog inside it; it answers WM_GETDPISCALEDSIZE
//   with the template's size at the new DPI and goes to the rectangle WM_DPICHANGED suggests.
//   A control the code places itself (PlacedByCode) keeps its place.
// - Then each dialog's ApplyDpi, inner ones first, redoes what its code sizes in pixels:
//   fonts, pictures, icons, the title bar, the pages' place, the preview pane.
#pragma once

#include <windows.h>

#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4 // Windows 10 1703; the headers give it only for WINVER 0x0605
#endif

constexpr UINT kBaseDpi = 96;

// The DPI the window is shown at (the screen's where the system cannot tell per window).
UINT DpiOf(HWND window);
// A size in pixels at 96 DPI, at the given DPI.
inline int Scaled(int pixels, UINT dpi) {
    return ::MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}
// The system's menu font at the DPI.
LOGFONTW MenuFontAt(UINT dpi);
// Places a window where WM_DPICHANGED's lParam suggests, at the new monitor's DPI.
void MoveToSuggested(HWND window, LPARAM suggestedRect);
// A system metric (GetSystemMetrics' index) at the DPI, not the primary monitor's.
int SystemMetricAt(int index, UINT dpi);
// The size of a window whose client area has the size, at the DPI.
SIZE WindowSizeAt(SIZE client, DWORD style, DWORD exStyle, UINT dpi);
// Turns Windows' own rescaling of the dialog at a DPI change off (see above).
void TurnOffDialogRescaling(HWND dialog);
