// The splash's region and fade, and the bitmap background of the dialog base.
#include "skin/BDialog.h"
#include "skin/Splash.h"
#include "app/QuelvoxApp.h"
#include "support/FakeSeam.h"
#include "support/TestSupport.h"
#include "ui/QuelvoxDlg.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <random>
#include <vector>

namespace {

// A device-dependent bitmap of the given depth from rows of colours (top row first).
HBITMAP MakeBitmap(int width, int height, int bitsPerPixel, const std::vector<COLORREF>& colours) {
    const int bytes = bitsPerPixel / 8;
    const int stride = (width * bytes + 1) & ~1; // rows of such bitmaps are WORD-aligned
    std::vector<BYTE> bits(static_cast<size_t>(stride) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const COLORREF c = colours[static_cast<size_t>(y) * width + x];
            BYTE* p = &bits[static_cast<size_t>(y) * stride + static_cast<size_t>(x) * bytes];
            if (bytes >= 3) {
                p[0] = GetBValue(c);
                p[1] = GetGValue(c);
                p[2] = GetRValue(c);
            }
        }
    return CreateBitmap(width, height, 1, bitsPerPixel, bits.data());
}

constexpr COLORREF kMagenta = RGB(255, 0, 255), kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255);

bool RegionIs(HRGN region, std::vector<RECT> rects) {
    HRGN expected = CreateRectRgn(0, 0, 0, 0);
    for (const RECT& r : rects) {
        HRGN part = CreateRectRgnIndirect(&r);
        CombineRgn(expected, expected, part, RGN_OR);
        DeleteObject(part);
    }
    const bool same = EqualRgn(region, expected) != FALSE;
    DeleteObject(expected);
    return same;
}

} // namespace

TEST(RegionFromBitmap, OnlyExactMagentaIsCutAway) {
    CRegionCreator creator;
    for (int depth : {24, 32}) {
        HBITMAP one = MakeBitmap(3, 1, depth, {kMagenta, kRed, kMagenta});
        HRGN region = creator.RegionFromBitmap(one);
        ASSERT_NE(region, nullptr) << depth;
        EXPECT_TRUE(RegionIs(region, {{1, 0, 2, 1}})) << depth;
        DeleteObject(region);
        DeleteObject(one);

        HBITMAP nearMagenta = MakeBitmap(2, 1, depth, {RGB(254, 0, 255), kMagenta});
        region = creator.RegionFromBitmap(nearMagenta);
        EXPECT_TRUE(RegionIs(region, {{0, 0, 1, 1}})) << depth;
        DeleteObject(region);
        DeleteObject(nearMagenta);

        HBITMAP none = MakeBitmap(4, 2, depth, std::vector<COLORREF>(8, kMagenta));
        EXPECT_EQ(creator.RegionFromBitmap(none), nullptr) << depth;
        EXPECT_EQ(creator.RegionFromBitmapByPixels(none), nullptr) << depth;
        DeleteObject(none);
    }
    HBITMAP sixteen = MakeBitmap(3, 1, 16, {kRed, kRed, kRed});
    EXPECT_EQ(creator.RegionFromBitmap(sixteen), nullptr);
    EXPECT_EQ(creator.RegionFromBitmap(nullptr), nullptr);
    DeleteObject(sixteen);
}

// The region of the pixels that are not magenta, one rectangle a pixel: built from the colours
// alone, sharing nothing with the code under test.
HRGN ExpectedRegion(int width, int height, const std::function<COLORREF(int, int)>& colourAt) {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (colourAt(x, y) != kMagenta) {
                HRGN pixel = CreateRectRgn(x, y, x + 1, y + 1);
                CombineRgn(region, region, pixel, RGN_OR);
                DeleteObject(pixel);
            }
    return region;
}

TEST(RegionFromBitmap, RunsGiveThePixelByPixelRegion) {
    CRegionCreator creator;
    std::mt19937 random(7);
    for (int depth : {24, 32})
        for (int round = 0; round < 4; ++round) {
            const int width = 17 + round * 5, height = 9 + round * 3;
            std::vector<COLORREF> colours(static_cast<size_t>(width) * height);
            for (COLORREF& c : colours)
                c = random() % 3 == 0 ? kMagenta : RGB(random() % 256, random() % 2, 255);
            HBITMAP bitmap = MakeBitmap(width, height, depth, colours);
            HRGN expected = ExpectedRegion(width, height, [&](int x, int y) {
                return colours[static_cast<size_t>(y) * width + x];
            });
            HRGN fast = creator.RegionFromBitmap(bitmap),
                 plain = creator.RegionFromBitmapByPixels(bitmap);
            ASSERT_NE(fast, nullptr);
            EXPECT_TRUE(EqualRgn(fast, expected)) << depth << " " << round;
            EXPECT_TRUE(EqualRgn(plain, expected)) << depth << " " << round;
            DeleteObject(expected);
            DeleteObject(fast);
            DeleteObject(plain);
            DeleteObject(bitmap);
        }
    // And on the splash picture itself, read back pixel by pixel.
    HBITMAP splash = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_SPLASH));
    BITMAP info{};
    GetObjectW(splash, sizeof info, &info);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, splash);
    HRGN expected = ExpectedRegion(info.bmWidth, info.bmHeight,
                                   [&](int x, int y) { return GetPixel(dc, x, y); });
    SelectObject(dc, old);
    DeleteDC(dc);
    HRGN fast = creator.RegionFromBitmap(splash);
    EXPECT_TRUE(EqualRgn(fast, expected));
    RECT box{};
    GetRgnBox(fast, &box);
    EXPECT_EQ(box.right - box.left, 251);
    EXPECT_EQ(box.bottom - box.top, 147);
    DeleteObject(expected);
    DeleteObject(fast);
    DeleteObject(splash);
}

// Timers tick at the system's granularity: the fade and the splash's time follow the clock,
// however late or early the ticks come.
TEST(Splash, FadesInByTheClockAndGoesAfterOneAndAHalfSeconds) {
    static ULONGLONG s_now = 1000;
    StartDialog::s_clock = [] { return s_now; };
    StartDialog::s_shownAt.reset();
    StartDialog splash;
    ASSERT_TRUE(splash.Create(IDD_SPLASH, nullptr));
    splash.KillTimer(StartDialog::kFadeTimer);
    BYTE alpha = 0;
    COLORREF key = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(splash, &key, &alpha, &flags));
    EXPECT_EQ(alpha, 0);
    const RECT window = splash.GetWindowRect();
    EXPECT_EQ(window.right - window.left, 251);
    EXPECT_EQ(window.bottom - window.top, 147);

    // Milliseconds since it appeared, and the alpha it shows then (0: its time is up).
    const struct {
        ULONGLONG at;
        int alpha;
    } steps[] = {{50, 20}, {62, 22}, {600, 130}, {1200, 250}, {1250, 250}, {1499, 250}, {1500, 0}};
    for (const auto& step : steps) {
        s_now = 1000 + step.at;
        splash.SendMessage(WM_TIMER, StartDialog::kFadeTimer);
        GetLayeredWindowAttributes(splash, &key, &alpha, &flags);
        EXPECT_EQ(splash.TimeUp(), step.alpha == 0) << step.at;
        if (step.alpha) {
            EXPECT_EQ(alpha, step.alpha) << step.at;
        }
    }
    EXPECT_EQ(key, kMagenta);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY | LWA_ALPHA));
    // It stays until the next window is up.
    EXPECT_TRUE(splash.IsWindowVisible());

    // The time is the process's: a second splash goes at its first tick.
    StartDialog second;
    ASSERT_TRUE(second.Create(IDD_SPLASH, nullptr));
    second.SendMessage(WM_TIMER, StartDialog::kFadeTimer);
    EXPECT_TRUE(second.TimeUp());
    StartDialog::s_clock = GetTickCount64;
}

// Destroying the program's only window would hand the foreground to another program: the
// splash stays until the main window is up.
TEST(Splash, GoesOnlyOnceTheMainWindowIsUp) {
    FakeSeam seam;
    StartDialog::s_shownAt = GetTickCount64() - StartDialog::kShownMs; // up at the first tick
    std::unique_ptr<StartDialog> splash = RunSplash();
    ASSERT_TRUE(splash && splash->IsWindowVisible());
    CQuelvoxDlg dialog(&TheApp());
    static HWND s_main = nullptr;
    static bool s_mainUp = false;
    SetWindowSubclass(
        *splash,
        [](HWND window, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) -> LRESULT {
            if (msg == WM_DESTROY)
                s_mainUp = s_main && IsWindowVisible(s_main);
            return DefSubclassProc(window, msg, wParam, lParam);
        },
        1, 0);
    const HWND shown = *splash;
    dialog.SetStartUp({std::move(splash), false, {}});
    ASSERT_TRUE(dialog.Create(IDD_QUELVOX_DIALOG, nullptr));
    s_main = dialog;
    dialog.ShowWindow(SW_SHOW);
    EXPECT_TRUE(PumpDialogUntil([&] { return !IsWindow(shown); }, 10000));
    EXPECT_TRUE(s_mainUp);
}

namespace {

// A dialog of the given client size painted into a memory picture by its erase handler.
class Backdrop {
public:
    Backdrop(int width, int height) : m_width(width), m_height(height), m_dialog(IDD_SPLASH) {
        m_dialog.Create(IDD_SPLASH, nullptr);
        m_dialog.ShowWindow(SW_HIDE);
        RECT rc{0, 0, width, height};
        AdjustWindowRectEx(&rc, m_dialog.GetStyle(), FALSE, m_dialog.GetExStyle());
        m_dialog.SetWindowPos(nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                              SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    }
    ~Backdrop() { DestroyWindow(m_dialog); }
    // A picture whose pixels at x < markWidth are kRed and the rest kBlue, so that where it
    // starts and how far it is stretched both show.
    void Picture(int width, int height, int markWidth) {
        std::vector<COLORREF> colours(static_cast<size_t>(width) * height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                colours[static_cast<size_t>(y) * width + x] = x < markWidth ? kRed : kBlue;
        m_dialog.m_bmBackdrop.DeleteObject();
        m_dialog.m_bmBackdrop.Attach(MakeBitmap(width, height, 32, colours));
    }
    // The colours after an erase over a green canvas.
    std::vector<COLORREF> Erase(int mode) {
        m_dialog.m_nBackdropMode = mode;
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP canvas = CreateCompatibleBitmap(screen, m_width, m_height);
        ReleaseDC(nullptr, screen);
        HGDIOBJ old = SelectObject(dc, canvas);
        RECT all{0, 0, m_width, m_height};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        m_result = m_dialog.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc));
        std::vector<COLORREF> pixels;
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x)
                pixels.push_back(GetPixel(dc, x, y));
        SelectObject(dc, old);
        DeleteObject(canvas);
        DeleteDC(dc);
        return pixels;
    }
    COLORREF At(const std::vector<COLORREF>& pixels, int x, int y) const {
        return pixels[y * m_width + x];
    }
    LRESULT Result() const { return m_result; }

private:
    int m_width, m_height;
    CBDialog m_dialog;
    LRESULT m_result = 0;
};

} // namespace

TEST(BitmapDialog, TilesCentresAndStretches) {
    // Tiled: the marked first column repeats every 10 pixels, unscaled.
    Backdrop tile(25, 12);
    tile.Picture(10, 10, 1);
    std::vector<COLORREF> p = tile.Erase(CBDialog::kTile);
    EXPECT_EQ(tile.Result(), TRUE);
    for (int y : {0, 9, 10, 11}) {
        for (int x : {0, 10, 20})
            EXPECT_EQ(tile.At(p, x, y), kRed) << x << "," << y;
        for (int x : {1, 9, 11, 19, 21, 24})
            EXPECT_EQ(tile.At(p, x, y), kBlue) << x << "," << y;
    }

    // Centred: a 10 x 4 picture in 25 x 12 at (7, 4), unscaled; the dialog's own background
    // around it.
    Backdrop centre(25, 12);
    centre.Picture(10, 4, 1);
    p = centre.Erase(CBDialog::kCentre);
    const COLORREF around = centre.At(p, 0, 0);
    EXPECT_NE(around, kBlue);
    EXPECT_NE(around, kRed);
    EXPECT_EQ(centre.At(p, 7, 4), kRed);
    EXPECT_EQ(centre.At(p, 8, 4), kBlue);
    EXPECT_EQ(centre.At(p, 16, 7), kBlue);
    EXPECT_EQ(centre.At(p, 6, 4), around);
    EXPECT_EQ(centre.At(p, 17, 8), around);
    EXPECT_EQ(centre.At(p, 7, 3), around);
    // Wider than the client: its left part from x = 0, still centred in the height.
    centre.Picture(40, 4, 1);
    p = centre.Erase(CBDialog::kCentre);
    EXPECT_EQ(centre.At(p, 0, 4), kRed);
    EXPECT_EQ(centre.At(p, 1, 4), kBlue);
    EXPECT_EQ(centre.At(p, 24, 7), kBlue);
    EXPECT_EQ(centre.At(p, 0, 3), around);

    // Stretched over the whole client, the aspect given up: the red half of a 10 x 4 picture
    // covers the left half of 25 x 12.
    centre.Picture(10, 4, 5);
    p = centre.Erase(CBDialog::kStretch);
    for (int y : {0, 5, 11}) {
        EXPECT_EQ(centre.At(p, 0, y), kRed) << y;
        EXPECT_EQ(centre.At(p, 11, y), kRed) << y;
        EXPECT_EQ(centre.At(p, 14, y), kBlue) << y;
        EXPECT_EQ(centre.At(p, 24, y), kBlue) << y;
    }
    // Nothing but the background for other modes.
    for (int mode : {3, -1}) {
        p = centre.Erase(mode);
        for (int x : {0, 7, 12, 24})
            EXPECT_EQ(centre.At(p, x, 6), around) << mode;
        EXPECT_EQ(centre.Result(), TRUE);
    }
}

TEST(BitmapDialog, WithoutPictureOnlyTheDialogBackground) {
    // The canvas is black before the erase: every pixel must have been painted, alike.
    Backdrop plain(8, 8);
    std::vector<COLORREF> p = plain.Erase(CBDialog::kTile);
    EXPECT_EQ(plain.Result(), TRUE);
    EXPECT_NE(p[0], RGB(0, 0, 0));
    EXPECT_EQ(std::count(p.begin(), p.end(), p[0]), static_cast<long>(p.size()));
}
