#include "Gdi.h"

#include "App.h"

#include <algorithm>

#include "Dpi.h"

#include <cmath>
#include <vector>

bool CBitmap::LoadBitmap(UINT id, UINT dpi) {
    HBITMAP loaded = ::LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id));
    BITMAP info{};
    if (loaded && dpi != kBaseDpi && ::GetObjectW(loaded, sizeof info, &info)) {
        HBITMAP scaled =
            ScaledPicture(loaded, Scaled(info.bmWidth, dpi), Scaled(info.bmHeight, dpi));
        if (scaled) {
            ::DeleteObject(loaded);
            loaded = scaled;
        }
    }
    Attach(loaded);
    return m_hObject != nullptr;
}

namespace {

BITMAPINFO TopDown32(int width, int height) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

// 32-bit top-down pixels of a bitmap, as 0x00RRGGBB.
bool ReadPixels(HBITMAP bitmap, int width, int height, std::vector<DWORD>& pixels) {
    BITMAPINFO bi = TopDown32(width, height);
    pixels.assign(static_cast<size_t>(width) * height, 0);
    HDC screen = ::GetDC(nullptr);
    const int lines = ::GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), pixels.data(), &bi,
                                  DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    return lines == height;
}

} // namespace

HBITMAP ScaledPicture(HBITMAP source, int width, int height, COLORREF key) {
    BITMAP info{};
    if (!source || width <= 0 || height <= 0 || !::GetObjectW(source, sizeof info, &info))
        return nullptr;
    const int sw = info.bmWidth, sh = info.bmHeight;
    std::vector<DWORD> from;
    if (!ReadPixels(source, sw, sh, from))
        return nullptr;
    const DWORD keyPixel = (GetRValue(key) << 16) | (GetGValue(key) << 8) | GetBValue(key);

    BITMAPINFO bi = TopDown32(width, height);
    void* bits = nullptr;
    HBITMAP result = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!result)
        return nullptr;
    auto* to = static_cast<DWORD*>(bits);
    for (int y = 0; y < height; ++y) {
        // The source point under the centre of the target pixel, and its four neighbours.
        const double fy = std::clamp((y + 0.5) * sh / height - 0.5, 0.0, sh - 1.0);
        const int y0 = static_cast<int>(fy), y1 = std::min(y0 + 1, sh - 1);
        const double wy = fy - y0;
        for (int x = 0; x < width; ++x) {
            const double fx = std::clamp((x + 0.5) * sw / width - 0.5, 0.0, sw - 1.0);
            const int x0 = static_cast<int>(fx), x1 = std::min(x0 + 1, sw - 1);
            const double wx = fx - x0;
            const struct {
                DWORD pixel;
                double weight;
            } taps[] = {{from[size_t(y0) * sw + x0], (1 - wx) * (1 - wy)},
                        {from[size_t(y0) * sw + x1], wx * (1 - wy)},
                        {from[size_t(y1) * sw + x0], (1 - wx) * wy},
                        {from[size_t(y1) * sw + x1], wx * wy}};
            double r = 0, g = 0, b = 0, weight = 0;
            for (const auto& tap : taps) {
                if ((tap.pixel & 0xFFFFFF) == keyPixel)
                    continue;
                r += ((tap.pixel >> 16) & 0xFF) * tap.weight;
                g += ((tap.pixel >> 8) & 0xFF) * tap.weight;
                b += (tap.pixel & 0xFF) * tap.weight;
                weight += tap.weight;
            }
            // Mostly key: key; else the blend of the picture's own pixels only.
            to[size_t(y) * width + x] = weight < 0.5 ? keyPixel
                                                     : (DWORD(std::lround(r / weight)) << 16) |
                                                           (DWORD(std::lround(g / weight)) << 8) |
                                                           DWORD(std::lround(b / weight));
        }
    }
    return result;
}
