#include "Splash.h"

#include "framework/Dpi.h"

#include "resources/resource.h"

#include <algorithm>
#include <vector>

namespace {

constexpr COLORREF kCutAway = RGB(255, 0, 255);
constexpr int kFirstAlpha = 10;
constexpr int kLastAlpha = 250;
constexpr UINT kTickMs = 50;

// The bitmap's pixel bytes, rows top to bottom, blue-green-red first in each pixel; empty for
// a depth the region does not handle.
struct Pixels {
    int width = 0, height = 0, stride = 0, bytesPerPixel = 0;
    std::vector<BYTE> bytes;

    bool Opaque(int x, int y) const {
        const BYTE* p =
            &bytes[static_cast<size_t>(y) * stride + static_cast<size_t>(x) * bytesPerPixel];
        return !(p[0] == 255 && p[1] == 0 && p[2] == 255);
    }
};

Pixels ReadPixels(HBITMAP bitmap) {
    Pixels pixels;
    BITMAP info{};
    if (!bitmap || !::GetObjectW(bitmap, sizeof info, &info))
        return pixels;
    const int bytesPerPixel = info.bmBitsPixel / 8;
    if (bytesPerPixel != 3 && bytesPerPixel != 4)
        return pixels;
    pixels.bytes.resize(static_cast<size_t>(info.bmWidthBytes) * info.bmHeight);
    if (::GetBitmapBits(bitmap, static_cast<LONG>(pixels.bytes.size()), pixels.bytes.data()) == 0)
        return {};
    pixels.width = info.bmWidth;
    pixels.height = info.bmHeight;
    pixels.stride = info.bmWidthBytes;
    pixels.bytesPerPixel = bytesPerPixel;
    return pixels;
}

} // namespace

HRGN CRegionCreator::RegionFromBitmap(HBITMAP bitmap) const {
    const Pixels pixels = ReadPixels(bitmap);
    // One rectangle per run of opaque pixels in a row, handed to the system at once: the
    // same region as a merge per pixel, at a fraction of the cost.
    std::vector<RECT> runs;
    for (int y = 0; y < pixels.height; ++y)
        for (int x = 0; x < pixels.width;) {
            if (!pixels.Opaque(x, y)) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < pixels.width && pixels.Opaque(x, y))
                ++x;
            runs.push_back({start, y, x, y + 1});
        }
    if (runs.empty())
        return nullptr;

    std::vector<BYTE> data(sizeof(RGNDATAHEADER) + runs.size() * sizeof(RECT));
    auto* region = reinterpret_cast<RGNDATA*>(data.data());
    region->rdh.dwSize = sizeof(RGNDATAHEADER);
    region->rdh.iType = RDH_RECTANGLES;
    region->rdh.nCount = static_cast<DWORD>(runs.size());
    region->rdh.nRgnSize = static_cast<DWORD>(runs.size() * sizeof(RECT));
    region->rdh.rcBound = {0, 0, pixels.width, pixels.height};
    std::copy(runs.begin(), runs.end(), reinterpret_cast<RECT*>(region->Buffer));
    return ::ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), region);
}

HRGN CRegionCreator::RegionFromBitmapByPixels(HBITMAP bitmap) const {
    const Pixels pixels = ReadPixels(bitmap);
    HRGN region = nullptr;
    for (int y = 0; y < pixels.height; ++y)
        for (int x = 0; x < pixels.width; ++x) {
            if (!pixels.Opaque(x, y))
                continue;
            HRGN pixel = ::CreateRectRgn(x, y, x + 1, y + 1);
            if (!region) {
                region = pixel;
                continue;
            }
            ::CombineRgn(region, region, pixel, RGN_OR);
            ::DeleteObject(pixel);
        }
    return region;
}

ULONGLONG (*StartDialog::s_clock)() = ::GetTickCount64;
std::optional<ULONGLONG> StartDialog::s_shownAt;

StartDialog::StartDialog() : CDialog(IDD_SPLASH) {}

BOOL StartDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    m_bmSplash.LoadBitmap(IDB_SPLASH, DpiOf(m_hWnd));
    BITMAP info{};
    m_bmSplash.GetBitmap(&info);

    ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, ::GetWindowLongW(m_hWnd, GWL_EXSTYLE) | WS_EX_LAYERED);
    ::SetLayeredWindowAttributes(m_hWnd, kCutAway, 0, LWA_ALPHA);
    MoveWindow(0, 0, info.bmWidth, info.bmHeight, false);
    CenterWindow();
    // The window owns the region from here on.
    ::SetWindowRgn(m_hWnd, CRegionCreator().RegionFromBitmap(m_bmSplash), TRUE);
    if (!s_shownAt)
        s_shownAt = s_clock();
    SetTimer(kFadeTimer, kTickMs);
    return TRUE;
}

LRESULT StartDialog::OnPaint(WPARAM, LPARAM) {
    CPaintDC dc(m_hWnd);
    BITMAP info{};
    m_bmSplash.GetBitmap(&info);
    CMemoryDC memory(dc);
    memory.Select(m_bmSplash);
    ::BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
    return 0;
}

LRESULT StartDialog::OnTimer(WPARAM, LPARAM) {
    const ULONGLONG shown = s_clock() - *s_shownAt;
    if (shown >= kShownMs) {
        KillTimer(kFadeTimer);
        OnOK();
    } else {
        const auto alpha = static_cast<BYTE>(std::min<ULONGLONG>(
            kLastAlpha, kFirstAlpha + (kLastAlpha - kFirstAlpha) * shown / kFadeMs));
        ::SetLayeredWindowAttributes(m_hWnd, kCutAway, alpha, LWA_COLORKEY | LWA_ALPHA);
    }
    return Default();
}

std::unique_ptr<StartDialog> RunSplash() {
    auto splash = std::make_unique<StartDialog>();
    if (!splash->Create(IDD_SPLASH, nullptr))
        return nullptr;
    MSG msg;
    while (!splash->TimeUp() && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return splash;
}
