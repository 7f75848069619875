#include "XButtonXP.h"

#include <windowsx.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The grey for each channel mean, made once; a grey icon keeps no pure white.
constexpr std::array<BYTE, 256> kGreyValues = [] {
    std::array<BYTE, 256> values{};
    for (int i = 0; i < 256; ++i)
        values[static_cast<size_t>(i)] = static_cast<BYTE>(i == 255 ? 254 : i);
    return values;
}();

constexpr UINT kRepaintNow = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;

} // namespace

CXButtonXP::~CXButtonXP() {
    CloseTheme();
    DropUnderlay();
}

void CXButtonXP::SetThemingOn(BOOL on) {
    m_bThemingOn = on;
    if (m_hWnd)
        Invalidate();
}

void CXButtonXP::SetFlatToolbar(BOOL flat) {
    // The flat look uses the "Toolbar" class: open it at the next paint.
    m_bFlatToolbar = flat;
    m_bNeedsSetup = TRUE;
    if (m_hWnd)
        Invalidate();
}

void CXButtonXP::SetIcon(HICON icon, bool owned) {
    // The same icon again must survive its own replacement.
    if (icon == m_iconOwned.Get())
        m_iconOwned.Detach();
    m_iconOwned.Attach(owned ? icon : nullptr);
    m_hIconNormal = icon;
    m_hIconGrey.Attach(MakeGreyIcon(icon));
    m_nIconSide = kIconLeft;
    if (m_hWnd)
        RedrawWindow(kRepaintNow);
}

HICON CXButtonXP::MakeGreyIcon(HICON icon) {
    if (!icon)
        return nullptr;
    const CClientDC screen(nullptr);
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info))
        return nullptr;
    HICON grey = nullptr;
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    if (info.hbmColor &&
        ::GetDIBits(screen, info.hbmColor, 0, 0, nullptr, &header, DIB_RGB_COLORS)) {
        // Room for a colour table, which a 32-bit read does not fill but may be given.
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD colours[256];
        } format{};
        format.header = header.bmiHeader;
        const int width = format.header.biWidth, height = std::abs(format.header.biHeight);
        format.header.biPlanes = 1;
        format.header.biBitCount = 32;
        format.header.biCompression = BI_RGB;
        format.header.biSizeImage = static_cast<DWORD>(width * height * 4);
        format.header.biClrUsed = 0;
        format.header.biClrImportant = 0;
        auto* asInfo = reinterpret_cast<BITMAPINFO*>(&format);
        std::vector<BYTE> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        if (width > 0 && height > 0 &&
            ::GetDIBits(screen, info.hbmColor, 0, static_cast<UINT>(height), pixels.data(), asInfo,
                        DIB_RGB_COLORS) == height) {
            for (size_t at = 0; at < pixels.size(); at += 4) {
                BYTE* px = &pixels[at]; // blue, green, red, alpha
                const int mean = (px[0] + px[1] + px[2]) / 3;
                if (px[3] == 0 && mean == 0)
                    continue; // transparent black stays what it is
                px[0] = px[1] = px[2] = kGreyValues[static_cast<size_t>(mean)];
            }
            HBITMAP colour = ::CreateCompatibleBitmap(screen, width, height);
            if (colour && ::SetDIBits(screen, colour, 0, static_cast<UINT>(height), pixels.data(),
                                      asInfo, DIB_RGB_COLORS) == height) {
                ICONINFO made{TRUE, 0, 0, info.hbmMask, colour};
                grey = ::CreateIconIndirect(&made);
            }
            if (colour)
                ::DeleteObject(colour);
        }
    }
    if (info.hbmColor)
        ::DeleteObject(info.hbmColor);
    if (info.hbmMask)
        ::DeleteObject(info.hbmMask);
    return grey;
}

void CXButtonXP::CloseTheme() {
    if (m_hThemeData && CXThemeHelper::IsReady())
        CXThemeHelper::CloseThemeData(m_hThemeData);
    m_hThemeData = nullptr;
}

void CXButtonXP::DropUnderlay() {
    m_dcUnder.reset(); // gives the bitmap back first
    m_bmUnder.DeleteObject();
}

void CXButtonXP::DrawItem(DRAWITEMSTRUCT* item) {
    HDC screen = item->hDC;
    RECT r = item->rcItem;
    const int width = r.right - r.left, height = r.bottom - r.top;

    // Composed off screen, reaching the screen in one copy: no flicker. The bitmap outlives
    // the context it is selected into.
    CBitmap buffer;
    buffer.Attach(::CreateCompatibleBitmap(screen, width, height));
    CMemoryDC m(screen);
    if (!buffer.GetSafeHandle() || !m.Select(buffer))
        return;
    ::SetViewportOrgEx(m, -r.left, -r.top, nullptr); // draw in the item's coordinates
    ::BitBlt(m, r.left, r.top, width, height, screen, r.left, r.top, SRCCOPY);
    ::SetBkMode(m, TRANSPARENT);
    // The caption in the button's own font (a fresh context would have the system font).
    auto font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    CSelectObject useFont(m, font ? font : ::GetStockObject(DEFAULT_GUI_FONT));

    if (m_bNeedsSetup) {
        m_bNeedsSetup = FALSE;
        SetUpLook();
    }

    const std::wstring text = GetWindowText();
    const bool hasText = m_bCaptionDrawn && !text.empty();
    const UINT state = item->itemState;
    bool pressed = state & ODS_SELECTED;
    bool focused = state & ODS_FOCUS;
    const bool disabled = state & ODS_DISABLED;
    const bool showFocus = !(state & ODS_NOFOCUSRECT);
    bool isDefault = m_bShowsDefault;
    const bool customColours = m_crFace != kNoColour || m_crCaption != kNoColour;
    const bool themed =
        m_hThemeData && m_bThemingOn && CXThemeHelper::IsAppThemed() && !customColours;

    if (m_bLatchMode) // the latch flips on button-down; held outside, the old state shows
        pressed = (m_bMouseDown && !m_bHot) ? !m_bLatched : m_bLatched;
    if (m_bFlatToolbar) {
        if (m_dcUnder)
            ::BitBlt(m, r.left, r.top, m_rcInParent.right - m_rcInParent.left,
                     m_rcInParent.bottom - m_rcInParent.top, *m_dcUnder, 0, 0, SRCCOPY);
        focused = false;
        isDefault = false;
    }

    PaintFace(m, r, {pressed, focused, isDefault, themed, disabled, customColours});

    RECT t = item->rcItem;
    PaintIcon(m, r, t, hasText, pressed, themed, disabled);
    if (hasText)
        PaintCaption(m, t, text, pressed, themed, disabled);
    if (focused && showFocus) {
        RECT focus = r;
        ::InflateRect(&focus, -3, -3);
        ::DrawFocusRect(m, &focus);
    }

    ::BitBlt(screen, item->rcItem.left, item->rcItem.top, width, height, m, item->rcItem.left,
             item->rcItem.top, SRCCOPY);
}

void CXButtonXP::SetUpLook() {
    if (CXThemeHelper::IsReady()) {
        CloseTheme();
        m_hThemeData =
            CXThemeHelper::OpenThemeData(m_hWnd, m_bFlatToolbar ? L"Toolbar" : L"Button");
    }
    CaptureUnderlay();
}

void CXButtonXP::PaintFace(HDC m, RECT& r, const Face& f) const {
    if (f.themed) {
        const int look = f.disabled                   ? PBS_DISABLED
                         : f.pressed                  ? PBS_PRESSED
                         : m_bHot                     ? PBS_HOT
                         : (f.focused || f.isDefault) ? PBS_DEFAULTED
                                                      : PBS_NORMAL;
        HWND parent = GetParent();
        // What the parent shows under this button, where the style leaves it uncovered.
        if (CXThemeHelper::IsReady() && parent && ::IsWindow(parent))
            CXThemeHelper::DrawThemeParentBackground(m_hWnd, m, &r);
        if (CXThemeHelper::IsReady() && m_hThemeData)
            CXThemeHelper::DrawThemeBackground(m_hThemeData, m, BP_PUSHBUTTON, look, &r, nullptr);
    } else {
        CGdiObject<HBRUSH> face(
            ::CreateSolidBrush(m_crFace == kNoColour ? ::GetSysColor(COLOR_BTNFACE) : m_crFace));
        if (!m_bFlatToolbar || f.customColours) {
            RECT inner = r;
            ::InflateRect(&inner, -1, -1);
            ::FillRect(m, &inner, face);
        }
        if (f.focused || f.isDefault) {
            if (!(m_bLatchMode && f.pressed))
                ::FrameRect(m, &r, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
            ::InflateRect(&r, -1, -1);
        }
        if (f.pressed)
            ::DrawEdge(m, &r, EDGE_SUNKEN, BF_RECT);
        else if (!m_bFlatToolbar)
            ::DrawEdge(m, &r, EDGE_RAISED, BF_RECT);
    }
}

RECT CXButtonXP::LayoutIconRect(const RECT& r, RECT& t, bool hasText, bool pressed, bool themed,
                                int cx, int cy) const {
    RECT icon = r;
    if (hasText) {
        const int w = t.right - t.left;
        if (m_nIconSide == kIconRight) {
            t.right = w - cx / 2 - cx;
            t.left = cx / 2;
            icon.left = r.right - cx / 2 - cx;
        } else {
            t.right = w - cx / 2;
            icon.left = cx / 4;
            t.left = cx + 2 * (cx / 4);
        }
    } else {
        icon.left += (icon.right - icon.left - cx) / 2;
    }
    // Signed: an icon larger than the button is centred and clipped, not thrown away.
    icon.top += (icon.bottom - icon.top - cy) / 2;
    if (pressed && !themed)
        ::OffsetRect(&icon, 1, 1);
    return icon;
}

SIZE CXButtonXP::IconSize() const {
    SIZE size{32, 32};
    ICONINFO info{};
    if (m_hIconNormal && ::GetIconInfo(m_hIconNormal, &info)) {
        BITMAP bitmap{};
        if (info.hbmColor && ::GetObjectW(info.hbmColor, sizeof bitmap, &bitmap))
            size = {bitmap.bmWidth, bitmap.bmHeight};
        if (info.hbmColor)
            ::DeleteObject(info.hbmColor);
        if (info.hbmMask)
            ::DeleteObject(info.hbmMask);
    }
    return size;
}

RECT CXButtonXP::CaptionRect() const {
    const RECT r = GetClientRect();
    RECT t = r;
    if (m_hIconNormal) {
        const SIZE icon = IconSize();
        LayoutIconRect(r, t, true, false, false, icon.cx, icon.cy);
    }
    return t;
}

void CXButtonXP::PaintIcon(HDC dc, const RECT& r, RECT& t, bool hasText, bool pressed, bool themed,
                           bool disabled) const {
    if (!m_hIconNormal)
        return;
    const SIZE size = IconSize();
    const RECT place = LayoutIconRect(r, t, hasText, pressed, themed, size.cx, size.cy);

    HICON icon = m_hIconNormal;
    UINT look = DSS_NORMAL;
    if (disabled && m_hIconGrey)
        icon = m_hIconGrey;
    else if (disabled)
        look = DSS_DISABLED;
    ::DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon), 0, place.left, place.top,
                 place.right - place.left, place.bottom - place.top, DST_ICON | look);
}

void CXButtonXP::PaintCaption(HDC dc, const RECT& t, const std::wstring& text, bool pressed,
                              bool themed, bool disabled) const {
    RECT d = t;
    if (pressed && !themed)
        ::OffsetRect(&d, 1, 1);
    const UINT format = DT_VCENTER | (m_hIconNormal ? 0 : DT_CENTER) |
                        ((GetStyle() & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE);

    // The text block centred in D both ways.
    RECT e = d;
    ::DrawTextW(dc, text.c_str(), -1, &e, format | DT_CALCRECT);
    ::OffsetRect(&e, ((d.right - d.left) - (e.right - e.left)) / 2,
                 ((d.bottom - d.top) - (e.bottom - e.top)) / 2);

    if (!m_bFlatToolbar && themed) {
        CXThemeHelper::DrawThemeText(m_hThemeData, dc, disabled ? PBS_DISABLED : PBS_NORMAL,
                                     text.c_str(), format, &e);
        return;
    }
    if (disabled) { // engraved: a highlight below right, the shadow on top
        ::OffsetRect(&e, 1, 1);
        ::SetTextColor(dc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
        ::DrawTextW(dc, text.c_str(), -1, &e, format);
        ::OffsetRect(&e, -1, -1);
        ::SetTextColor(dc, ::GetSysColor(COLOR_BTNSHADOW));
        ::DrawTextW(dc, text.c_str(), -1, &e, format);
        return;
    }
    ::SetTextColor(dc, m_crCaption == kNoColour ? ::GetSysColor(COLOR_BTNTEXT) : m_crCaption);
    ::DrawTextW(dc, text.c_str(), -1, &e, format);
}

void CXButtonXP::CaptureUnderlay() {
    HWND parent = GetParent();
    if (!parent)
        return;
    m_rcInParent = GetWindowRect();
    const int width = m_rcInParent.right - m_rcInParent.left;
    const int height = m_rcInParent.bottom - m_rcInParent.top;
    RECT inClient = m_rcInParent;
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&inClient), 2);

    // Let the parent paint the area as if the button were not there.
    const bool visible = GetStyle() & WS_VISIBLE;
    ModifyStyle(WS_VISIBLE, 0);
    ::InvalidateRect(parent, &inClient, TRUE);
    ::UpdateWindow(parent);

    RECT parentRect{};
    ::GetWindowRect(parent, &parentRect);
    ::OffsetRect(&m_rcInParent, -parentRect.left, -parentRect.top);

    DropUnderlay();
    if (const CWindowDC windowDC(parent); windowDC) {
        m_dcUnder.emplace(windowDC);
        m_bmUnder.Attach(::CreateCompatibleBitmap(windowDC, width, height));
        if (m_dcUnder->Select(m_bmUnder))
            ::BitBlt(*m_dcUnder, 0, 0, width, height, windowDC, m_rcInParent.left, m_rcInParent.top,
                     SRCCOPY);
    }
    if (visible) {
        ModifyStyle(0, WS_VISIBLE);
        ::UpdateWindow(parent);
    }
}

LRESULT CXButtonXP::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_GETDLGCODE: {
        // Every key but Tab, which still moves the focus on.
        const auto* queued = reinterpret_cast<const MSG*>(lParam);
        if (queued && queued->message == WM_KEYDOWN && queued->wParam == VK_TAB)
            return 0;
        return DLGC_WANTALLKEYS;
    }
    case WM_KEYDOWN:
        if (lParam & 0x40000000) // auto-repeat: the key is already down
            return 0;
        if (wParam == VK_SPACE || wParam == VK_RETURN)
            SendMessage(WM_LBUTTONDOWN, 0, MAKELPARAM(1, 1));
        break;
    case WM_KEYUP:
        if (wParam == VK_SPACE || wParam == VK_RETURN)
            SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
        break;
    case WM_LBUTTONDOWN:
        m_bMouseDown = TRUE;
        if (m_bLatchMode) {
            m_bLatched = !m_bLatched;
            Invalidate();
        }
        break;
    case WM_LBUTTONUP:
        m_bMouseDown = FALSE;
        if (m_bDblClickPending) {
            SendMessage(BM_SETSTATE, FALSE);
            m_bDblClickPending = FALSE;
            if (HWND parent = GetParent())
                ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), BN_CLICKED),
                               reinterpret_cast<LPARAM>(m_hWnd));
        }
        if (m_bLatchMode) { // released outside: the latch goes back
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ::ClientToScreen(m_hWnd, &pt);
            RECT window = GetWindowRect();
            if (!::PtInRect(&window, pt)) {
                m_bLatched = !m_bLatched;
                Invalidate();
            }
        }
        break;
    case WM_LBUTTONDBLCLK:
        if (m_bLatchMode) {
            SendMessage(BM_SETSTATE, static_cast<WPARAM>(m_bLatched));
        } else {
            SendMessage(BM_SETSTATE, TRUE);
            m_bDblClickPending = TRUE;
        }
        return 0;
    case WM_THEMECHANGED:
        // Whatever the change (on, off, another style), open the theme afresh at the next
        // paint: a button first drawn without a theme must pick one up when it comes.
        CloseTheme();
        m_bNeedsSetup = TRUE;
        break;
    default:
        break;
    }
    return COddButton::DefWindowProc(msg, wParam, lParam);
}

LRESULT CXButtonXP::OnMouseMove(WPARAM, LPARAM lParam) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ClientToScreen(m_hWnd, &pt);
    RECT window = GetWindowRect();
    const BOOL hot = ::PtInRect(&window, pt);
    if (hot != m_bHot) {
        m_bHot = hot;
        Invalidate();
        if (hot) { // hot until the pointer leaves
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, m_hWnd, 0};
            ::_TrackMouseEvent(&track);
        }
    }
    return Default();
}

LRESULT CXButtonXP::OnMouseLeave(WPARAM, LPARAM) {
    m_bHot = FALSE;
    RedrawWindow(kRepaintNow);
    return 0;
}
