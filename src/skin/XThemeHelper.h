// CXThemeHelper: the visual-style library "UXTHEME.DLL", loaded at run time because it may be
// missing. The library and its entry points are shared by the whole process and stay loaded
// while any helper object lives; the program keeps one for its whole run (g_xpStyle). Every
// call below may be made only while IsReady().
#pragma once

#include <windows.h>

#include <uxtheme.h>
#include <vssym32.h>

class CXThemeHelper {
public:
    CXThemeHelper();
    virtual ~CXThemeHelper();
    CXThemeHelper(const CXThemeHelper&) = delete;
    CXThemeHelper& operator=(const CXThemeHelper&) = delete;

    // True while the library and all eight of its entry points are at hand.
    static bool IsReady() { return s_bUxReady != FALSE; }

    static HTHEME OpenThemeData(HWND window, const wchar_t* classList);
    // True when the handle was set and is closed now.
    static BOOL CloseThemeData(HTHEME theme);
    // False when the service is not ready.
    static BOOL IsAppThemed();
    static HRESULT DrawThemeParentBackground(HWND child, HDC dc, const RECT* rect);
    static HRESULT DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect,
                                       const RECT* clip);
    // The whole text as a push button's (part BP_PUSHBUTTON) in the given state.
    static BOOL DrawThemeText(HTHEME theme, HDC dc, int state, const wchar_t* text, DWORD format,
                              const RECT* rect);

    static HMODULE s_hUxLib;
    static BOOL s_bUxReady;
    static int s_nUxUsers;
    // The library's entry points, resolved by name in this order.
    static struct EntryPoints {
        decltype(&::CloseThemeData) closeThemeData;
        decltype(&::DrawThemeBackground) drawThemeBackground;
        decltype(&::DrawThemeParentBackground) drawThemeParentBackground;
        decltype(&::DrawThemeText) drawThemeText;
        decltype(&::GetThemeBackgroundContentRect) getThemeBackgroundContentRect;
        decltype(&::IsAppThemed) isAppThemed;
        decltype(&::IsThemeActive) isThemeActive;
        decltype(&::OpenThemeData) openThemeData;
    } s_ux;
};

extern CXThemeHelper g_xpStyle;
