// The language menu's title bar, measured and drawn into a memory context.
#include "skin/TitleMenu.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A 32-bit picture to draw into, filled with one colour.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill) : m_width(width), m_height(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height; // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits),
                                    nullptr, 0);
        m_old = SelectObject(m_dc, m_bitmap);
        RECT all{0, 0, width, height};
        HBRUSH brush = CreateSolidBrush(fill);
        FillRect(m_dc, &all, brush);
        DeleteObject(brush);
    }
    ~Canvas() {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    HDC Dc() const { return m_dc; }
    COLORREF At(int x, int y) const {
        GdiFlush();
        const DWORD p = m_bits[y * m_width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    int m_width, m_height;
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
    DWORD* m_bits = nullptr;
};

DRAWITEMSTRUCT Item(const Canvas& canvas) {
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_MENU;
    item.hDC = canvas.Dc();
    item.rcItem = {0, 0, canvas.Width(), canvas.Height()};
    return item;
}

constexpr COLORREF kGreen = RGB(0, 255, 0);

std::vector<TRIVERTEX> g_vertices;
BOOL WINAPI RecordingGradient(HDC, PTRIVERTEX vertices, ULONG count, PVOID, ULONG, ULONG) {
    g_vertices.assign(vertices, vertices + count);
    return TRUE;
}

} // namespace

TEST(TitleMenu, GradientRunsFromStartToEndAndLeavesTheLastPixel) {
    CTitleMenu menu;
    ASSERT_TRUE(menu.m_bGradientReady);
    menu.m_crStart = RGB(255, 0, 0);
    menu.m_crEnd = RGB(0, 0, 255);
    Canvas canvas(120, 20, kGreen);
    DRAWITEMSTRUCT item = Item(canvas);
    menu.DrawItem(&item);
    const COLORREF left = canvas.At(0, 5), right = canvas.At(118, 5);
    EXPECT_GT(GetRValue(left), 200);
    EXPECT_LT(GetBValue(left), 50);
    EXPECT_GT(GetBValue(right), 200);
    EXPECT_LT(GetRValue(right), 50);
    // One pixel of the item is left at the right and at the bottom.
    EXPECT_EQ(canvas.At(119, 5), kGreen);
    EXPECT_EQ(canvas.At(5, 19), kGreen);
}

TEST(TitleMenu, VerticesCarryTheColoursInTheirHighBytes) {
    CTitleMenu menu;
    menu.m_crStart = RGB(255, 0, 0);
    menu.m_crEnd = RGB(0, 0x80, 0);
    menu.m_pfnGradient = RecordingGradient;
    Canvas canvas(100, 18, kGreen);
    DRAWITEMSTRUCT item = Item(canvas);
    menu.DrawItem(&item);
    ASSERT_EQ(g_vertices.size(), 2u);
    EXPECT_EQ(g_vertices[0].Red, 0xFF00);
    EXPECT_EQ(g_vertices[0].Green, 0);
    EXPECT_EQ(g_vertices[0].Blue, 0);
    EXPECT_EQ(g_vertices[1].Green, 0x8000);
    EXPECT_EQ(g_vertices[1].x, 99);
    EXPECT_EQ(g_vertices[1].y, 17);
}

TEST(TitleMenu, SolidFillCoversTheWholeItem) {
    for (bool gradientLibrary : {true, false}) {
        CTitleMenu menu;
        menu.m_crStart = RGB(10, 20, 30);
        menu.m_crEnd = gradientLibrary ? RGB(10, 20, 30) : RGB(200, 200, 200);
        menu.m_bGradientReady = gradientLibrary;
        Canvas canvas(60, 16, kGreen);
        DRAWITEMSTRUCT item = Item(canvas);
        menu.DrawItem(&item);
        EXPECT_EQ(canvas.At(59, 15), RGB(10, 20, 30)) << gradientLibrary;
        EXPECT_EQ(canvas.At(0, 0), RGB(10, 20, 30)) << gradientLibrary;
    }
}

TEST(TitleMenu, CaptionIsInsetAndMeasured) {
    CTitleMenu menu;
    menu.m_crStart = menu.m_crEnd = RGB(0, 0, 0);
    menu.m_crCaptionText = RGB(255, 255, 255);
    menu.m_sCaption = L"Language select";
    Canvas canvas(200, 20, kGreen);
    DRAWITEMSTRUCT item = Item(canvas);
    menu.DrawItem(&item);
    int first = -1, top = -1, bottom = -1;
    for (int x = 0; x < 200; ++x)
        for (int y = 0; y < 20; ++y)
            if (GetRValue(canvas.At(x, y)) > 128) {
                if (first < 0)
                    first = x;
                top = top < 0 ? y : std::min(top, y);
                bottom = std::max(bottom, y);
            }
    const int inset = GetSystemMetrics(SM_CXMENUCHECK) + 8;
    EXPECT_GE(first, inset);
    EXPECT_LE(first, inset + 3);
    // Centred in the height.
    EXPECT_LE(std::abs(top - (19 - bottom)), 3);

    MEASUREITEMSTRUCT measure{};
    menu.MeasureItem(&measure);
    EXPECT_GT(measure.itemWidth, static_cast<UINT>(GetSystemMetrics(SM_CXMENUCHECK) + 10 + 40));
    menu.m_sCaption.clear();
    MEASUREITEMSTRUCT empty{};
    menu.MeasureItem(&empty);
    EXPECT_EQ(empty.itemWidth, static_cast<UINT>(GetSystemMetrics(SM_CXMENUCHECK) + 10));
    TEXTMETRICW metrics{};
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, menu.m_fontCaption);
    GetTextMetricsW(screen, &metrics);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(empty.itemHeight, static_cast<UINT>(metrics.tmHeight + 2));
}

TEST(TitleMenu, CaptionItemIsOwnerDrawnAndDisabledAtTheTop) {
    CTitleMenu menu;
    menu.Attach(CreatePopupMenu());
    AppendMenuW(menu, MF_STRING, 1, L"one");
    menu.InsertCaption(L"Title");
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID;
    ASSERT_TRUE(GetMenuItemInfoW(menu, 0, TRUE, &info));
    EXPECT_TRUE(info.fType & MFT_OWNERDRAW);
    EXPECT_TRUE(info.fState & MFS_DISABLED);
    EXPECT_EQ(info.wID, 0u);
    EXPECT_EQ(GetMenuItemCount(menu), 2);
    EXPECT_EQ(menu.m_sCaption, L"Title");
}
