#include "Dpi.h"

#include <cstdlib>

namespace {

// Windows 10 1607 and later; looked up, so that older systems still run the program.
template <typename Function> Function User32(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

UINT ScreenDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

} // namespace

UINT DpiOf(HWND window) {
    static const auto forWindow = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    const UINT dpi = forWindow && window ? forWindow(window) : 0;
    return dpi ? dpi : ScreenDpi();
}

LOGFONTW MenuFontAt(UINT dpi) {
    static const auto forDpi =
        User32<BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT)>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
        return metrics.lfMenuFont;
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    metrics.lfMenuFont.lfHeight =
        ::MulDiv(metrics.lfMenuFont.lfHeight, static_cast<int>(dpi), static_cast<int>(ScreenDpi()));
    return metrics.lfMenuFont;
}

UINT TemplateDpi(HWND dialog, UINT dpi) {
    auto font = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0));
    LOGFONTW logical{};
    if (dpi == kBaseDpi || !font || !::GetObjectW(font, sizeof logical, &logical))
        return dpi;
    // The cell height of the template's font at the DPI, and as it would be at 96. The dialog's
    // font is made for the DPI the window is at.
    const UINT fontDpi = DpiOf(dialog);
    auto cell = [](const LOGFONTW& face) {
        HFONT made = ::CreateFontIndirectW(&face);
        HDC screen = ::GetDC(nullptr);
        HGDIOBJ old = ::SelectObject(screen, made);
        TEXTMETRICW metrics{};
        ::GetTextMetricsW(screen, &metrics);
        ::SelectObject(screen, old);
        ::ReleaseDC(nullptr, screen);
        ::DeleteObject(made);
        return metrics.tmHeight;
    };
    // Templates give their fonts in points: the height at 96 DPI comes from those, as the
    // dialog manager makes it, not from the height at another DPI scaled back.
    const int points = ::MulDiv(std::abs(logical.lfHeight), 72, static_cast<int>(fontDpi));
    logical.lfHeight = -::MulDiv(points, static_cast<int>(dpi), 72);
    const int now = cell(logical);
    logical.lfHeight = -::MulDiv(points, static_cast<int>(kBaseDpi), 72);
    const int base = cell(logical);
    return base > 0 && now > 0 ? static_cast<UINT>(::MulDiv(now, kBaseDpi, base)) : dpi;
}

void MoveToSuggested(HWND window, LPARAM suggestedRect) {
    const auto* r = reinterpret_cast<const RECT*>(suggestedRect);
    ::SetWindowPos(window, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}
