#include "Dpi.h"

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

void MoveToSuggested(HWND window, LPARAM suggestedRect) {
    const auto* r = reinterpret_cast<const RECT*>(suggestedRect);
    ::SetWindowPos(window, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

int SystemMetricAt(int index, UINT dpi) {
    static const auto forDpi = User32<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
    return forDpi ? forDpi(index, dpi)
                  : ::MulDiv(::GetSystemMetrics(index), static_cast<int>(dpi),
                             static_cast<int>(ScreenDpi()));
}

SIZE WindowSizeAt(SIZE client, DWORD style, DWORD exStyle, UINT dpi) {
    static const auto forDpi =
        User32<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    RECT rect{0, 0, client.cx, client.cy};
    if (!forDpi || !forDpi(&rect, style, FALSE, exStyle, dpi))
        ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

void TurnOffDialogRescaling(HWND dialog) {
    // Windows 10 1703 and later; older systems and wine rescale nothing of their own.
    static const auto behaviour =
        User32<BOOL(WINAPI*)(HWND, DIALOG_DPI_CHANGE_BEHAVIORS, DIALOG_DPI_CHANGE_BEHAVIORS)>(
            "SetDialogDpiChangeBehavior");
    if (behaviour)
        behaviour(dialog, DDC_DISABLE_ALL, DDC_DISABLE_ALL);
}
