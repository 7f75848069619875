#include "TitleMenu.h"

#include "framework/Dpi.h"
#include "framework/Handle.h"

namespace {

// The system's menu font in bold: a real face, linked to Hangul on every Windows (the stock
// ANSI_VAR_FONT is a bitmap font without it).
HFONT MakeBoldMenuFont(UINT dpi) {
    LOGFONTW font = MenuFontAt(dpi);
    font.lfWeight = FW_BOLD;
    return ::CreateFontIndirectW(&font);
}

// A vertex channel holds the 8-bit colour in its high byte.
COLOR16 Channel(BYTE value) {
    return static_cast<COLOR16>(value << 8);
}

} // namespace

CTitleMenu::CTitleMenu() : m_nDpi(DpiOf(nullptr)) {
    ReadColours();
    m_fontCaption.Attach(MakeBoldMenuFont(m_nDpi));
    m_hGradientLib = ::LoadLibraryW(L"msimg32.dll");
    if (m_hGradientLib)
        m_pfnGradient = reinterpret_cast<decltype(&::GradientFill)>(
            reinterpret_cast<void*>(::GetProcAddress(m_hGradientLib, "GradientFill")));
    m_bGradientReady = m_pfnGradient != nullptr;
}

void CTitleMenu::SetDpi(UINT dpi) {
    m_nDpi = dpi;
    m_fontCaption.Attach(MakeBoldMenuFont(dpi));
    // Windows keeps an owner-drawn item's measure until the item changes: the title is set
    // again, so that it is measured anew at this DPI.
    if (m_hMenu && (::GetMenuState(m_hMenu, 0, MF_BYPOSITION) & MF_OWNERDRAW))
        ::ModifyMenuW(m_hMenu, 0, MF_BYPOSITION | MF_OWNERDRAW | MF_DISABLED, 0, nullptr);
}

void CTitleMenu::ReadColours() {
    m_crEnd = ::GetSysColor(COLOR_GRADIENTACTIVECAPTION);
    m_crStart = ::GetSysColor(COLOR_ACTIVECAPTION);
    m_crCaptionText = ::GetSysColor(COLOR_CAPTIONTEXT);
}

CTitleMenu::~CTitleMenu() {
    m_fontCaption.DeleteObject();
    if (m_hGradientLib)
        ::FreeLibrary(m_hGradientLib);
}

void CTitleMenu::InsertCaption(const std::wstring& caption) {
    m_sCaption = caption;
    ::InsertMenuW(m_hMenu, 0, MF_BYPOSITION | MF_OWNERDRAW | MF_DISABLED, 0, nullptr);
}

void CTitleMenu::MeasureItem(MEASUREITEMSTRUCT* item) {
    const CClientDC screen(nullptr);
    HGDIOBJ old = m_fontCaption ? ::SelectObject(screen, m_fontCaption) : nullptr;
    SIZE size{};
    ::GetTextExtentPoint32W(screen, m_sCaption.c_str(), static_cast<int>(m_sCaption.size()), &size);
    // Some systems measure an empty text as zero high; the bar keeps the font's height.
    TEXTMETRICW metrics{};
    if (m_sCaption.empty() && ::GetTextMetricsW(screen, &metrics))
        size.cy = metrics.tmHeight;
    if (old)
        ::SelectObject(screen, old);
    // The check mark's room at the menu's DPI: the primary monitor's may be another.
    item->itemWidth = static_cast<UINT>(size.cx + SystemMetricAt(SM_CXMENUCHECK, m_nDpi) + 10);
    item->itemHeight = static_cast<UINT>(size.cy + 2);
}

void CTitleMenu::DrawItem(DRAWITEMSTRUCT* item) {
    HDC dc = item->hDC;
    RECT& rc = item->rcItem;
    const COLORREF oldBack = ::SetBkColor(dc, m_crStart);
    if (m_bGradientReady && m_crStart != m_crEnd) {
        --rc.right;
        --rc.bottom;
        TRIVERTEX vertices[2] = {{rc.left, rc.top, Channel(GetRValue(m_crStart)),
                                  Channel(GetGValue(m_crStart)), Channel(GetBValue(m_crStart)), 0},
                                 {rc.right, rc.bottom, Channel(GetRValue(m_crEnd)),
                                  Channel(GetGValue(m_crEnd)), Channel(GetBValue(m_crEnd)), 0}};
        GRADIENT_RECT rect{0, 1};
        m_pfnGradient(dc, vertices, 2, &rect, 1, GRADIENT_FILL_RECT_H);
    } else {
        ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    }
    if (m_bEdged)
        ::DrawEdge(dc, &rc, m_nEdgeKind, BF_RECT);

    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldText = ::SetTextColor(dc, m_crCaptionText);
    HGDIOBJ oldFont = m_fontCaption ? ::SelectObject(dc, m_fontCaption) : nullptr;
    rc.left += SystemMetricAt(SM_CXMENUCHECK, m_nDpi) + 8;
    ::DrawTextW(dc, m_sCaption.c_str(), -1, &rc, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    if (oldFont)
        ::SelectObject(dc, oldFont);
    ::SetBkMode(dc, oldMode);
    ::SetBkColor(dc, oldBack);
    ::SetTextColor(dc, oldText);
}
