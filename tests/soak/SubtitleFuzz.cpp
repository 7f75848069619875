// A fuzz of the subtitle readers through the real encoder: SubRip, ASS and WebVTT files, each a
// good Korean file mutated at random, found beside a short clip by mencoder.exe run as Quelvox
// runs it. No run may crash or hang; reading a file must take time in proportion to its size,
// and no run may take longer than the files that fill every bound the engines set on what is
// shown at once.
//
//   subtitle_fuzz.exe [--files N] [--seed S]
//
// Prints the calibration, a line for each file that goes wrong (kept in fuzz-failures\ beside
// the program) and the figures; exits with 1 when a file went wrong.
#include "Process.h"
#include "RealSupport.h"
#include "Subtitles.h"
#include "common/Text.h"
#include "framework/Paths.h"
#include "support/TestSupport.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

double Now() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return double(count.QuadPart) / frequency.QuadPart;
}

const std::wstring kCue = L"\uD55C\uAD6D\uC5B4 \uC790\uB9C9";

// The good files the mutations start from, each with cues inside the clip's two seconds.
struct Seed {
    const wchar_t* extension;
    std::wstring text;
};
std::vector<Seed> Seeds() {
    return {
        {L".srt", L"1\r\n00:00:00,100 --> 00:00:01,000\r\n<i>" + kCue +
                      L"</i> &amp; <font color=\"#ffff00\">one</font>\r\n\r\n2\r\n"
                      L"00:00:01,000 --> 00:00:01,900\r\n{\\an8}" +
                      kCue + L"\r\ntwo lines\r\n\r\n"},
        {L".ass", L"[Script Info]\r\nPlayResX: 384\r\nPlayResY: 288\r\n\r\n[V4+ Styles]\r\n"
                  L"Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, "
                  L"OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, "
                  L"ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, "
                  L"MarginR, MarginV, Encoding\r\nStyle: Top,Arial,28,&H0000FFFF,&H0000FFFF,"
                  L"&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,2,0,8,10,10,10,1\r\n\r\n"
                  L"[Events]\r\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, "
                  L"MarginV, Effect, Text\r\nDialogue: 0,0:00:00.10,0:00:01.90,Top,,0,0,0,,"
                  L"{\\pos(192,40)\\fnArial\\b1}" +
                      kCue + L"\\N{\\i1}two{\\i0}\r\n"},
        {L".vtt", L"WEBVTT\r\n\r\nNOTE a note\r\n\r\ncue-1\r\n00:00.100 --> 00:01.900 line:0\r\n"
                  L"<v Someone><c.yellow>" +
                      kCue + L"</c></v>\r\n<b>two</b> &lt;3\r\n\r\n"},
    };
}

// The seed's text in one of the encodings Korean files come in.
std::string Encoded(const std::wstring& text, int encoding) {
    auto utf16 = [&](bool big) {
        std::string bytes;
        for (wchar_t c : text) {
            bytes += static_cast<char>(big ? c >> 8 : c & 0xFF);
            bytes += static_cast<char>(big ? c & 0xFF : c >> 8);
        }
        return bytes;
    };
    switch (encoding) {
    case 0:
        return Narrow(text, 949);
    case 1:
        return "\xEF\xBB\xBF" + ToUtf8(text);
    case 2:
        return "\xFF\xFE" + utf16(false);
    case 3:
        return utf16(false);
    case 4:
        return utf16(true);
    default:
        return ToUtf8(text);
    }
}

constexpr size_t kMaxFile = 1500000;

// One to four mutations of the bytes; what they were, for the report.
std::string Mutate(std::string& bytes, std::mt19937& random, const std::vector<Seed>& seeds) {
    using namespace std::literals;
    // What markup starts and never ends, and the rest: line ends, section names, timings.
    static const std::string_view kMarkup[] = {"&"sv,   "<"sv,      "{\\"sv,   "&#x"sv,
                                               "<p "sv, "<sync "sv, "{\\fn"sv, "<c."sv};
    static const std::string_view kOthers[] = {">"sv,
                                               "{"sv,
                                               "}"sv,
                                               "["sv,
                                               ","sv,
                                               ":"sv,
                                               "\n"sv,
                                               "\r"sv,
                                               "\0"sv,
                                               "\xFF"sv,
                                               "-->"sv,
                                               "0"sv,
                                               " "sv,
                                               "[Events]"sv,
                                               "Dialogue: "sv,
                                               "\r\n\r\n"sv,
                                               "00:00:01,000 --> "sv};
    auto pick = [&](size_t n) {
        return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(random);
    };
    std::string what;
    for (size_t count = 1 + pick(4); count > 0; --count) {
        // Half the time at the end of a line, where a cue's text is as often as not: what
        // is put there meets the markup readers, not only the search for timing lines.
        size_t at = pick(bytes.size() + 1);
        if (pick(2) == 0)
            at = std::min(bytes.find('\n', at), bytes.size());
        // Runs of one character or word, the likeliest way to a reader that is not linear,
        // come five times as often as the others, repeats twice.
        static const int kKinds[] = {0, 1, 2, 3, 3, 4, 4, 4, 4, 4, 5, 6, 7, 8};
        switch (kKinds[pick(std::size(kKinds))]) {
        case 0:
            for (size_t k = 1 + pick(20); k > 0 && !bytes.empty(); --k)
                bytes[pick(bytes.size())] = static_cast<char>(pick(256));
            what += "flip ";
            break;
        case 1: {
            std::string noise(1 + pick(64), '\0');
            for (char& c : noise)
                c = static_cast<char>(pick(256));
            bytes.insert(at, noise);
            what += "noise ";
            break;
        }
        case 2:
            bytes.erase(at, pick(bytes.size() - at + 1));
            what += "delete ";
            break;
        case 3: {
            const std::string range = bytes.substr(at, 1 + pick(2048));
            std::string copies;
            for (size_t times = 2 + pick(3000); times > 0 && copies.size() < kMaxFile; --times)
                copies += range;
            bytes.insert(at, copies);
            what += "repeat ";
            break;
        }
        case 4: {
            const std::string_view unit = pick(2) == 0 ? kMarkup[pick(std::size(kMarkup))]
                                                       : kOthers[pick(std::size(kOthers))];
            std::string run;
            for (size_t times = 1 + pick(300000); times > 0 && run.size() < kMaxFile; --times)
                run += unit;
            bytes.insert(at, run);
            what += "run ";
            break;
        }
        case 5:
            bytes.resize(at);
            what += "cut ";
            break;
        case 6: {
            // Line ends as LF only, as CR only, or none at all.
            const size_t way = pick(3);
            std::string changed;
            for (char c : bytes)
                if (c != '\r' && (c != '\n' || way != 2))
                    changed += c == '\n' && way == 1 ? '\r' : c;
            bytes = std::move(changed);
            what += "ends ";
            break;
        }
        case 7:
            bytes.insert(at, Encoded(seeds[pick(seeds.size())].text, static_cast<int>(pick(6))));
            what += "splice ";
            break;
        default:
            for (size_t i = at; i < bytes.size(); ++i)
                if (bytes[i] >= '0' && bytes[i] <= '9') {
                    bytes.insert(i, std::string(1 + pick(30), '9'));
                    break;
                }
            what += "digits ";
            break;
        }
        if (bytes.size() > kMaxFile)
            bytes.resize(kMaxFile);
    }
    return what;
}

struct Run {
    double seconds = 0;
    DWORD code = 0;
    bool hung = false;
    std::string output;
};

// The encoder as Quelvox runs it for the clip, which names the SAMI file of the movie's name
// whether or not there is one; the engine finds the others by the name.
Run Convert(const std::wstring& folder) {
    const std::wstring line =
        L"\"" + EnginePath(L"mencoder") + L"\" \"" + folder + L"\\movie.avi\" -o \"" + folder +
        L"\\QV_movie.avi\" -ofps   23.976 -ovc xvid -xvidencopts "
        L"max_key_interval=120:bitrate=800:threads=2 -ffourcc XVID -mc 0 -audio-preload 0.0 "
        L"-noodml -oac mp3lame -lameopts vbr=0 -lameopts br=128 -af volnorm -font "
        L"\"C:\\windows\\Fonts\\gulim.ttc\" -subcp cp949 -subfont-text-scale 4 -subfont-blur 2 "
        L"-subfont-outline 2 -sub \"" +
        folder + L"\\movie.smi\"";
    Run run;
    Child encoder;
    const double start = Now();
    if (!encoder.Start(line, folder, Child::kPipe, Child::kPipe)) {
        run.code = 0xFFFFFFFF;
        return run;
    }
    // Only a hang is guarded against, generously: a run is judged by its figures below.
    constexpr double kHangSeconds = 300;
    while (encoder.ReadAvailable(run.output)) {
        if (Now() - start > kHangSeconds) {
            run.hung = true;
            encoder.Terminate();
            break;
        }
        Sleep(20);
    }
    run.code = static_cast<DWORD>(encoder.Wait(10000));
    run.seconds = Now() - start;
    return run;
}

// Decoding and parsing as the engines do before ffmpeg starts, in seconds.
double ParseSeconds(const std::string& bytes) {
    SubtitleStyle style;
    style.width = 320;
    style.height = 180;
    const double start = Now();
    ScriptFor(DecodeText(bytes, 949), style);
    return Now() - start;
}

int Arg(int argc, wchar_t** argv, const wchar_t* name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::wstring(argv[i]) == name)
            return _wtoi(argv[i + 1]);
    return fallback;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int files = Arg(argc, argv, L"--files", 150);
    const unsigned seed = static_cast<unsigned>(Arg(argc, argv, L"--seed", 1));
    ScratchDir dir;
    const std::wstring folder = dir.Path();
    if (!MakeClip(folder + L"\\movie.avi", 320, 180, L"24000/1001", 2)) {
        std::printf("the clip could not be made\n");
        return 1;
    }
    const std::vector<Seed> seeds = Seeds();
    auto place = [&](const std::wstring& extension, const std::string& bytes) {
        for (const Seed& s : seeds)
            DeleteFileW((folder + L"\\movie" + s.extension).c_str());
        dir.Write(std::wstring(L"movie") + extension, bytes);
    };

    // What a run costs here and now: the seeds, and files that fill every bound on what shows
    // at once (as many cues and characters as are let through, for the whole clip).
    std::vector<double> plain;
    for (const Seed& s : seeds) {
        place(s.extension, ToUtf8(s.text));
        plain.push_back(Convert(folder).seconds);
    }
    // Hangul in bold, outlined and blurred is what costs libass most a character.
    std::wstring fullSubRip, fullAss = L"[Events]\r\n";
    for (int i = 0; i < 16; ++i)
        fullSubRip += L"00:00:00,000 --> 00:00:02,000\r\n<b>" + std::wstring(118, L'\uD55C') +
                      L"</b>\r\n\r\n";
    for (int i = 0; i < 256; ++i)
        fullAss += L"Dialogue: 0,0:00:00.00,0:00:02.00,Default,,0,0,0,,{\\b1}" +
                   std::wstring(25, L'\uD55C') + L"\r\n";
    double full = 0;
    for (const auto& [extension, text] :
         {std::pair{L".srt", fullSubRip}, std::pair{L".ass", fullAss}}) {
        place(extension, ToUtf8(text));
        full = std::max(full, Convert(folder).seconds);
    }
    // The parse rate of a plain file of a megabyte.
    std::wstring large;
    for (int i = 0; large.size() < 1000000; ++i)
        large += std::to_wstring(i) + L"\r\n00:" + std::to_wstring(10 + i / 600 % 50) + L":" +
                 std::to_wstring(10 + i / 10 % 50) + L",000 --> 00:00:59,000\r\n" + kCue +
                 L" &amp; <i>" + std::to_wstring(i) + L"</i>\r\n\r\n";
    const std::string largeBytes = ToUtf8(large);
    double best = 1e9;
    for (int i = 0; i < 3; ++i)
        best = std::min(best, ParseSeconds(largeBytes));
    const double perByte = best / largeBytes.size();
    std::printf("calibration: the seeds convert in %.2f s (median), files at every bound in "
                "%.2f s; plain text parses at %.1f MB/s\n",
                Median(plain), full, 1e-6 / perByte);

    // Each file must parse within twenty times the plain rate (a parse that is not linear takes
    // seconds on the largest), and convert within twice the time of the fullest file plus that:
    // whatever a file holds, what libass is given for each picture is bounded.
    std::mt19937 random(seed);
    int failed = 0, burnt = 0;
    size_t largest = 0;
    double worstParse = 0, worstRun = 0;
    std::vector<double> runs;
    const std::wstring kept = GetModuleDirectory() + L"fuzz-failures";
    for (int i = 0; i < files; ++i) {
        const Seed& s = seeds[i % seeds.size()];
        std::string bytes = Encoded(s.text, static_cast<int>(random() % 6));
        const std::string what = Mutate(bytes, random, seeds);
        const double allowed = 20 * perByte * bytes.size() + 0.05;
        const double bound = 2 * full + allowed;
        place(s.extension, bytes);
        double parse = ParseSeconds(bytes);
        Run run = Convert(folder);
        // A run over its bound is timed again, twice at most: the other work on the machine
        // comes and goes, a slow reader stays slow.
        for (int again = 0; again < 2 && (parse > allowed || run.seconds > bound); ++again) {
            parse = std::min(parse, ParseSeconds(bytes));
            if (run.seconds > bound && !run.hung)
                run.seconds = std::min(run.seconds, Convert(folder).seconds);
        }
        const bool converted = run.output.find("Video stream:") != std::string::npos;
        largest = std::max(largest, bytes.size());
        worstParse = std::max(worstParse, parse / allowed);
        worstRun = std::max(worstRun, run.seconds / bound);
        runs.push_back(run.seconds);
        burnt += run.output.find("SUB: ") != std::string::npos;
        std::string fault = run.hung                 ? "hung"
                            : run.code >= 0xC0000000 ? "crashed"
                            : !converted             ? "did not convert"
                            : parse > allowed        ? "parsed too slowly"
                            : run.seconds > bound    ? "converted too slowly"
                                                     : "";
        if (fault.empty())
            continue;
        ++failed;
        CreateDirectoryW(kept.c_str(), nullptr);
        const std::wstring name =
            kept + L"\\" + std::to_wstring(seed) + L"-" + std::to_wstring(i) + s.extension;
        WriteFileBytes(name, bytes);
        std::printf(
            "file %d (%s%s, %zu bytes): %s; parse %.3f s (allowed %.3f), run %.2f s "
            "(allowed %.2f), exit 0x%lX; kept as %s\n%s\n",
            i, what.c_str(), ToUtf8(s.extension).c_str(), bytes.size(), fault.c_str(), parse,
            allowed, run.seconds, bound, run.code, ToUtf8(name).c_str(),
            run.output.substr(run.output.size() > 600 ? run.output.size() - 600 : 0).c_str());
    }
    std::printf(
        "%d files (seed %u), up to %zu bytes: %d went wrong; %d burnt a subtitle; runs %.2f s "
        "median, %.2f s longest; worst parse %.0f %% of its allowance, worst run %.0f %% "
        "of its bound\n",
        files, seed, largest, failed, burnt, Median(runs),
        runs.empty() ? 0 : *std::max_element(runs.begin(), runs.end()), worstParse * 100,
        worstRun * 100);
    return failed == 0 ? 0 : 1;
}
