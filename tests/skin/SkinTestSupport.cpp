#include "SkinTestSupport.h"

#include <algorithm>
#include <vector>

namespace {
BITMAPINFO TopDown32(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    return info;
}
} // namespace

COLORREF Sys(int index) {
    return GetSysColor(index);
}

Canvas::Canvas(int width, int height, COLORREF fill)
    : m_width(width), m_height(height), m_hDC(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info = TopDown32(width, height);
    void* bits = nullptr;
    m_hBitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_pBits = static_cast<DWORD*>(bits);
    m_hOld = SelectObject(m_hDC, m_hBitmap);
    HBRUSH brush = CreateSolidBrush(fill);
    RECT all{0, 0, width, height};
    FillRect(m_hDC, &all, brush);
    DeleteObject(brush);
}

Canvas::~Canvas() {
    SelectObject(m_hDC, m_hOld);
    DeleteObject(m_hBitmap);
    DeleteDC(m_hDC);
}

COLORREF Canvas::At(int x, int y) const {
    GdiFlush();
    const DWORD px = m_pBits[y * m_width + x];
    return RGB((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF);
}

bool Canvas::SameAs(const Canvas& other) const {
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x)
            if (At(x, y) != other.At(x, y))
                return false;
    return true;
}

RECT Canvas::Where(const std::function<bool(COLORREF)>& match, RECT area) const {
    if (IsRectEmpty(&area))
        area = {0, 0, m_width, m_height};
    RECT found{area.right, area.bottom, area.left, area.top};
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (match(At(x, y)))
                found = {std::min<LONG>(found.left, x), std::min<LONG>(found.top, y),
                         std::max<LONG>(found.right, x + 1), std::max<LONG>(found.bottom, y + 1)};
    return found.left < found.right ? found : RECT{};
}

TestHost::TestHost()
    : m_hFont(CreateFontW(-13, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, 0, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH, L"Tahoma")) {
    SubclassWindow(CreateWindowExW(WS_EX_CONTROLPARENT, L"#32770", L"skin", WS_POPUP | WS_VISIBLE,
                                   60, 60, 360, 240, nullptr, nullptr, nullptr, nullptr));
    SetForegroundWindow(m_hWnd);
}

TestHost::~TestHost() {
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
    DeleteObject(m_hFont);
}

HWND TestHost::AddControl(const wchar_t* windowClass, const wchar_t* text, DWORD style, int id,
                          int x, int y, int width, int height) {
    HWND control =
        CreateWindowExW(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                        m_hWnd, reinterpret_cast<HMENU>(INT_PTR{id}), nullptr, nullptr);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_hFont), FALSE);
    return control;
}

int TestHost::Clicks(int id) const {
    return m_clicks.count(id) ? m_clicks.at(id) : 0;
}

BOOL TestHost::OnCommand(WPARAM wParam, LPARAM) {
    if (HIWORD(wParam) == BN_CLICKED)
        ++m_clicks[LOWORD(wParam)];
    return TRUE;
}

void DrawControl(CWnd& control, const Canvas& canvas, UINT state) {
    DRAWITEMSTRUCT item{ODT_BUTTON, static_cast<UINT>(control.GetDlgCtrlID()),
                        0,          ODA_DRAWENTIRE,
                        state,      control,
                        canvas,     control.GetClientRect(),
                        0};
    control.DrawItem(&item);
}

void PrintClient(HWND control, const Canvas& canvas) {
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(static_cast<HDC>(canvas)),
                 PRF_CLIENT);
}

HICON IconFromPixels(int width, int height, const DWORD* bgra) {
    BITMAPINFO info = TopDown32(width, height);
    void* bits = nullptr;
    HBITMAP colour = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::copy(bgra, bgra + width * height, static_cast<DWORD*>(bits));
    std::vector<BYTE> opaque(static_cast<size_t>((width + 15) / 16 * 2 * height), 0);
    HBITMAP mask = CreateBitmap(width, height, 1, 1, opaque.data());
    ICONINFO made{TRUE, 0, 0, mask, colour};
    HICON icon = CreateIconIndirect(&made);
    DeleteObject(colour);
    DeleteObject(mask);
    return icon;
}

HICON SolidIcon(int size, COLORREF colour) {
    std::vector<DWORD> pixels(static_cast<size_t>(size * size),
                              0xFF000000u | (GetRValue(colour) << 16) | (GetGValue(colour) << 8) |
                                  GetBValue(colour));
    return IconFromPixels(size, size, pixels.data());
}

void PressKey(HWND host, HWND control, UINT message, WPARAM key, bool repeat) {
    LPARAM lParam =
        1 | (static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC)) << 16);
    if (repeat || message == WM_KEYUP)
        lParam |= 1L << 30; // the key was down before
    if (message == WM_KEYUP)
        lParam |= static_cast<LPARAM>(1u << 31);
    MSG msg{control, message, key, lParam, GetTickCount(), {}};
    if (!IsDialogMessageW(host, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void ButtonTest::Make(const wchar_t* text, DWORD style, int width, int height) {
    if (m_button)
        DestroyWindow(m_button->m_hWnd);
    m_button.emplace();
    m_button->SubclassWindow(
        m_host.AddControl(L"Button", text, style | WS_TABSTOP, kId, 10, 10, width, height));
}

std::unique_ptr<Canvas> ButtonTest::Draw(UINT state, int width, int height) {
    auto c = std::make_unique<Canvas>(width, height);
    DrawControl(*m_button, *c, state);
    return c;
}

bool ButtonTest::LooksClassic(const Canvas& c, COLORREF face) const {
    const int y = c.m_height / 2, right = c.m_width - 1;
    return c.At(0, y) == Sys(COLOR_3DLIGHT) && c.At(1, y) == Sys(COLOR_BTNHIGHLIGHT) &&
           c.At(right, y) == Sys(COLOR_3DDKSHADOW) && c.At(right - 1, y) == Sys(COLOR_BTNSHADOW) &&
           c.At(c.m_width / 2, c.m_height - 1) == Sys(COLOR_3DDKSHADOW) && c.At(6, 6) == face;
}
