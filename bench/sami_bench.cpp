// How fast subtitle files become a script: a generated SAMI file of the size of a whole season's
// Korean subtitles, decoded and parsed as the engines do before ffmpeg starts, against files of
// about the same size made of what once cost the square of their size.
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

// A style sheet and syncs of a class each, then a cue of '&', '<' and '{' without their ends.
std::string MakeHostileSami(size_t bytes) {
    std::string rules, syncs;
    for (int i = 0; rules.size() + syncs.size() < bytes / 2; ++i) {
        rules += ".C" + std::to_string(i) + " { Name: Class" + std::to_string(i) + "; }\r\n";
        syncs += "<SYNC Start=" + std::to_string(i * 10) + "><P Class=C" + std::to_string(i) +
                 ">x<p\r\n";
    }
    std::string cue = "<SYNC Start=99999999><P>";
    while (cue.size() < bytes / 2)
        cue += "&&&&<<<<{{{{&#x";
    return "<SAMI><HEAD><STYLE><!--\r\n" + rules + "--></STYLE></HEAD><BODY>\r\n" + syncs + cue;
}

// SubRip of one cue of unended tags, and ASS whose Format line has a field per byte.
std::string MakeHostileSubRip(size_t bytes) {
    std::string text = "1\r\n00:00:01,000 --> 00:00:02,000\r\n";
    while (text.size() < bytes)
        text += "<{\\&<font color=";
    return text;
}

std::string MakeHostileAss(size_t bytes) {
    std::string format = "[Script Info]\r\n[Events]junk\r\nFormat: Start, End, Style";
    while (format.size() < bytes / 2)
        format += ", X";
    std::string text = format + ", Text\r\n";
    while (text.size() < bytes)
        text += "Dialogue: 0:00:01.00,0:00:02.00,Default,{\\fn{\\fn&\r\n";
    return text;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / frequency.QuadPart;
}

// The best of five decodings and parses into a script, in MB/s.
double Rate(const std::string& bytes) {
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        LARGE_INTEGER t0, t1;
        QueryPerformanceCounter(&t0);
        ScriptFor(DecodeText(bytes, 949), SubtitleStyle{});
        QueryPerformanceCounter(&t1);
        best = std::min(best, Seconds(t0, t1));
    }
    return bytes.size() / 1e6 / best;
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
    // Each against the plain file made into a script the same way: a rate that falls with the
    // size is a parse that is not linear.
    const double plain = Rate(bytes);
    std::printf("  into a script: %.1f MB/s\n", plain);
    const struct {
        const char* what;
        std::string (*make)(size_t);
    } hostile[] = {
        {"SAMI of a class for each sync, unended <p and a cue of & < { &#x", MakeHostileSami},
        {"SubRip of one cue of unended <, {\\ and &", MakeHostileSubRip},
        {"ASS whose Format line has a field for every 3 bytes", MakeHostileAss},
    };
    for (const auto& h : hostile)
        for (size_t size : {bytes.size() / 4, bytes.size()}) {
            const std::string file = h.make(size);
            const double rate = Rate(file);
            std::printf("  %s, %.1f MB: %.1f MB/s (x%.2f of the plain file's)\n", h.what,
                        file.size() / 1e6, rate, rate / plain);
        }
    return 0;
}
