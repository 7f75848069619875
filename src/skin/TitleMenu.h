// CTitleMenu: a popup menu whose first item is a title bar, drawn like a small window caption:
// the title in bold on a gradient of the active caption's colours.
#pragma once

#include "framework/Gdi.h"
#include "framework/Menu.h"

#include <string>

class CTitleMenu : public CMenu {
public:
    CTitleMenu();
    ~CTitleMenu() override;

    // The title's font and sizes at the DPI of the window that shows the menu.
    void SetDpi(UINT dpi);
    // Takes the caption's colours as the system has them now: called as the menu opens, as
    // they change with the theme and a high-contrast scheme.
    void ReadColours();
    // Keeps the text and inserts the owner-drawn, disabled title item at the top.
    void InsertCaption(const std::wstring& caption);
    void MeasureItem(MEASUREITEMSTRUCT* item) override;
    void DrawItem(DRAWITEMSTRUCT* item) override;

    CFont m_fontCaption; // may be empty: the context's font is used then
    std::wstring m_sCaption;
    decltype(&::GradientFill) m_pfnGradient = nullptr;
    HMODULE m_hGradientLib = nullptr;
    COLORREF m_crEnd;
    COLORREF m_crStart;
    COLORREF m_crCaptionText;
    bool m_bEdged = false;
    UINT m_nEdgeKind = BDR_SUNKENINNER;
    bool m_bGradientReady = false;
    UINT m_nDpi;
};
