// The splash's window region: one system call with a rectangle per run of opaque pixels,
// against a merge per pixel, on the splash picture itself. Both must give the same region.
#include "skin/Splash.h"
#include "resources/resource.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

template <typename F> double MedianMs(int runs, F&& work) {
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QueryPerformanceCounter(&a);
        work();
        QueryPerformanceCounter(&b);
        times.push_back(1000.0 * double(b.QuadPart - a.QuadPart) / double(f.QuadPart));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int wmain() {
    HBITMAP splash = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_SPLASH));
    CRegionCreator creator;
    HRGN fast = creator.RegionFromBitmap(splash), plain = creator.RegionFromBitmapByPixels(splash);
    const bool same = EqualRgn(fast, plain) != FALSE;
    DeleteObject(fast);
    DeleteObject(plain);

    const double perPixel =
        MedianMs(5, [&] { DeleteObject(creator.RegionFromBitmapByPixels(splash)); });
    const double runs = MedianMs(25, [&] { DeleteObject(creator.RegionFromBitmap(splash)); });
    std::printf("splash region (251 x 147), median of runs:\n");
    std::printf("  merge per pixel   %9.2f ms\n", perPixel);
    std::printf("  rectangle runs    %9.2f ms\n", runs);
    std::printf("  speed-up          %9.1f x   (identical region: %s)\n", perPixel / runs,
                same ? "yes" : "NO");
    DeleteObject(splash);
    return same ? 0 : 1;
}
