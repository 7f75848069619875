// What the skin tests draw into and on: a 32-bit canvas whose pixels can be read, a dialog
// window of the framework that counts clicks, a themed push button on it, and icons of known
// colours.
#pragma once

#include "framework/Wnd.h"
#include "skin/XButtonXP.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>

// A top-down 32-bit picture selected into a memory context.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill = RGB(255, 0, 255));
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    operator HDC() const { return m_hDC; }
    COLORREF At(int x, int y) const;
    bool SameAs(const Canvas& other) const;
    // The smallest rectangle inside `area` (everywhere when empty) holding the pixels that
    // match; empty when none does.
    RECT Where(const std::function<bool(COLORREF)>& match, RECT area = {}) const;
    RECT Bounds(COLORREF colour) const {
        return Where([colour](COLORREF px) { return px == colour; });
    }
    // Pixels that are neither of two colours.
    RECT InkBounds(RECT area, COLORREF skip, COLORREF skipToo) const {
        return Where([=](COLORREF px) { return px != skip && px != skipToo; }, area);
    }

    const int m_width, m_height;

private:
    HDC m_hDC;
    HBITMAP m_hBitmap;
    HGDIOBJ m_hOld;
    DWORD* m_pBits = nullptr;
};

// A window of the system's dialog class, so the dialog manager works on it, routed through
// the framework, which hands owner drawing and colours to its controls; counts clicks.
class TestHost : public CWnd {
public:
    TestHost();
    ~TestHost() override;
    HWND AddControl(const wchar_t* windowClass, const wchar_t* text, DWORD style, int id, int x,
                    int y, int width, int height);
    int Clicks(int id) const;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    std::map<int, int> m_clicks;
    HFONT m_hFont; // bold, not smoothed: text pixels are exact
};

// Owner drawing of a control into a canvas, as the system asks for it.
void DrawControl(CWnd& control, const Canvas& canvas, UINT state);
// What a control paints of itself through its own painting (WM_PRINTCLIENT).
void PrintClient(HWND control, const Canvas& canvas);

// An icon of the given BGRA pixels (top-down), opaque by its mask; or of one opaque colour.
HICON IconFromPixels(int width, int height, const DWORD* bgra);
HICON SolidIcon(int size, COLORREF colour);

// A key message offered to the host's dialog manager, as the program's message loop does.
void PressKey(HWND host, HWND control, UINT message, WPARAM key, bool repeat = false);

COLORREF Sys(int index);

// A themed push button 120 x 40 on a host.
class ButtonTest : public testing::Test {
protected:
    static constexpr int kId = 100, kWidth = 120, kHeight = 40;
    static constexpr COLORREF kRed = RGB(255, 0, 0);

    // A fresh button object on a fresh control.
    void Make(const wchar_t* text, DWORD style = BS_PUSHBUTTON, int width = kWidth,
              int height = kHeight);
    std::unique_ptr<Canvas> Draw(UINT state, int width = kWidth, int height = kHeight);
    // The classic look's raised edge around a face of this colour.
    bool LooksClassic(const Canvas& c, COLORREF face) const;

    TestHost m_host;
    std::optional<CXButtonXP> m_button;
};
