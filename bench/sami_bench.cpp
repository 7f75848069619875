// How fast a large SAMI file becomes cues: a generated file of the size of a whole season's
// Korean subtitles, decoded and parsed as the engines do before ffmpeg starts.
#include "Subtitles.h"
#include "common/Text.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

std::string MakeSami(int cues) {
    std::wstring text = L"<SAMI><HEAD><TITLE>bench</TITLE></HEAD><BODY>\r\n"
                        L"<SYNC Start=0><P>&nbsp;\r\n";
    for (int i = 0; i < cues; ++i) {
        const std::wstring start = std::to_wstring(1000 + i * 1500);
        text += L"<SYNC Start=" + start + L"><P Class=KRCC>\uD55C\uAD6D\uC5B4 \uC790\uB9C9 " +
                std::to_wstring(i) +
                L"<br>\uB450 \uBC88\uC9F8 \uC904 &amp; <font color=\"#ffff00\">"
                L"\uC0C9</font> \uC785\uB2C8\uB2E4\r\n<P Class=ENCC>English line " +
                std::to_wstring(i) + L"\r\n";
        text += L"<SYNC Start=" + std::to_wstring(2200 + i * 1500) + L"><P Class=KRCC>&nbsp;\r\n";
    }
    return ToUtf8(text + L"</BODY></SAMI>\r\n");
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / frequency.QuadPart;
}

} // namespace

int wmain() {
    const std::string bytes = MakeSami(30000);
    double best = 1e9;
    size_t cues = 0;
    for (int run = 0; run < 5; ++run) {
        LARGE_INTEGER t0, t1;
        QueryPerformanceCounter(&t0);
        cues = ParseSami(DecodeText(bytes, 949)).size();
        QueryPerformanceCounter(&t1);
        best = std::min(best, Seconds(t0, t1));
    }
    const double megabytes = bytes.size() / 1e6;
    std::printf("SAMI: %.1f MB, %zu cues: parsed in %.3f s, %.1f MB/s (best of 5)\n", megabytes,
                cues, best, megabytes / best);
    return 0;
}
