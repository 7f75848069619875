#include "XThemeHelper.h"

#include <cwchar>

namespace {

template <typename Fn> bool Resolve(HMODULE module, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    return fn != nullptr;
}

} // namespace

HMODULE CXThemeHelper::s_hUxLib = nullptr;
BOOL CXThemeHelper::s_bUxReady = FALSE;
int CXThemeHelper::s_nUxUsers = 0;
CXThemeHelper::EntryPoints CXThemeHelper::s_ux{};

CXThemeHelper g_xpStyle;

CXThemeHelper::CXThemeHelper() {
    ++s_nUxUsers;
    if (s_bUxReady)
        return;
    s_hUxLib = ::LoadLibraryW(L"UXTHEME.DLL");
    if (!s_hUxLib)
        return;
    const bool all =
        Resolve(s_hUxLib, "CloseThemeData", s_ux.closeThemeData) &&
        Resolve(s_hUxLib, "DrawThemeBackground", s_ux.drawThemeBackground) &&
        Resolve(s_hUxLib, "DrawThemeParentBackground", s_ux.drawThemeParentBackground) &&
        Resolve(s_hUxLib, "DrawThemeText", s_ux.drawThemeText) &&
        Resolve(s_hUxLib, "GetThemeBackgroundContentRect", s_ux.getThemeBackgroundContentRect) &&
        Resolve(s_hUxLib, "IsAppThemed", s_ux.isAppThemed) &&
        Resolve(s_hUxLib, "IsThemeActive", s_ux.isThemeActive) &&
        Resolve(s_hUxLib, "OpenThemeData", s_ux.openThemeData);
    if (all) {
        s_bUxReady = TRUE;
    } else {
        ::FreeLibrary(s_hUxLib);
        s_hUxLib = nullptr;
        s_ux = {};
    }
}

CXThemeHelper::~CXThemeHelper() {
    if (s_nUxUsers > 0)
        --s_nUxUsers;
    if (s_nUxUsers == 0) {
        if (s_hUxLib)
            ::FreeLibrary(s_hUxLib);
        s_hUxLib = nullptr;
        s_bUxReady = FALSE;
        s_ux = {};
    }
}

HTHEME CXThemeHelper::OpenThemeData(HWND window, const wchar_t* classList) {
    return s_ux.openThemeData(window, classList);
}

BOOL CXThemeHelper::CloseThemeData(HTHEME theme) {
    return theme && SUCCEEDED(s_ux.closeThemeData(theme));
}

BOOL CXThemeHelper::IsAppThemed() {
    return s_bUxReady && s_ux.isAppThemed();
}

HRESULT CXThemeHelper::DrawThemeParentBackground(HWND child, HDC dc, const RECT* rect) {
    // The library's declaration takes a non-const rectangle it does not change.
    RECT copy = *rect;
    return s_ux.drawThemeParentBackground(child, dc, &copy);
}

HRESULT CXThemeHelper::DrawThemeBackground(HTHEME theme, HDC dc, int part, int state,
                                           const RECT* rect, const RECT* clip) {
    return s_ux.drawThemeBackground(theme, dc, part, state, rect, clip);
}

BOOL CXThemeHelper::DrawThemeText(HTHEME theme, HDC dc, int state, const wchar_t* text,
                                  DWORD format, const RECT* rect) {
    return theme &&
           SUCCEEDED(s_ux.drawThemeText(theme, dc, BP_PUSHBUTTON, state, text,
                                        static_cast<int>(std::wcslen(text)), format, 0, rect));
}
