// The figures scripts/bench prints for a converted movie, ours or Debian mencoder's alike:
//   encode_bench picture OUT SOURCE [FILTER]
//                                     bit rate, SSIM and PSNR against the source (brought to the
//                                     output's colours by FILTER, "colormatrix=bt709:bt601", as
//                                     the encoder did), frame types, frame count, empty index
//                                     entries, where the sound starts
//   encode_bench sound OUT STEP       loudness, loudness range, and the worst second's rise over
//                                     the level each part settles at (the source's level steps
//                                     at STEP seconds)
//   encode_bench chart FILE W H       writes the colour chart, W x H, as a PPM picture
//   encode_bench colours OUT CHART    the mean absolute error (0-1) of OUT's pictures, decoded as
//                                     players decode them, against the chart
// It reads the AVI itself and decodes with the ffmpeg.exe beside the engines (dist/bin).
#include "Description.h"
#include "Process.h"
#include "RealSupport.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

// The MPEG-4 VOP types in a chunk: I, P, B, S, or N for a VOP that codes nothing (a packed
// stream's placeholder is a few bytes).
std::string VopTypes(const std::string& chunk) {
    std::string types;
    for (size_t at = chunk.find(std::string("\0\0\x01\xB6", 4)); at != std::string::npos;) {
        const size_t next = chunk.find(std::string("\0\0\x01", 3), at + 4);
        const size_t length = (next == std::string::npos ? chunk.size() : next) - at;
        if (at + 4 < chunk.size())
            types += length < 10 ? 'N' : "IPBS"[static_cast<unsigned char>(chunk[at + 4]) >> 6];
        at = chunk.find(std::string("\0\0\x01\xB6", 4), at + 4);
    }
    return types;
}

// Reads raw frames or samples from an ffmpeg that decodes to its standard output.
class Decoder {
public:
    explicit Decoder(const std::wstring& args) {
        m_child.Start(QuoteArg(DistEngine(L"ffmpeg.exe")) +
                          L" -hide_banner -loglevel error -nostdin " + args,
                      L"", Child::kPipe, Child::kDiscard);
    }
    bool Read(std::vector<unsigned char>& into) {
        return m_child.ReadExactly(reinterpret_cast<char*>(into.data()), into.size());
    }

private:
    Child m_child;
};

// The whole of what ffmpeg prints for a job.
std::string Run(const std::wstring& args) {
    Child child;
    std::string text;
    if (!child.Start(QuoteArg(DistEngine(L"ffmpeg.exe")) + L" -hide_banner -nostdin " + args, L"",
                     Child::kPipe, Child::kPipe))
        return text;
    while (child.ReadAvailable(text))
        Sleep(20);
    return text;
}

struct Plane {
    const unsigned char* p;
    int w, h;
};

double SquaredError(Plane a, Plane b) {
    double sum = 0;
    for (int i = 0; i < a.w * a.h; ++i) {
        const int d = a.p[i] - b.p[i];
        sum += d * d;
    }
    return sum;
}

// SSIM over 8 x 8 windows four pixels apart, as ffmpeg's ssim filter computes it.
double Ssim(Plane a, Plane b) {
    const double c1 = .01 * .01 * 255 * 255 * 64, c2 = .03 * .03 * 255 * 255 * 64 * 63;
    double total = 0;
    int count = 0;
    for (int y = 0; y + 8 <= a.h; y += 4)
        for (int x = 0; x + 8 <= a.w; x += 4) {
            double s1 = 0, s2 = 0, ss = 0, s12 = 0;
            for (int j = 0; j < 8; ++j)
                for (int i = 0; i < 8; ++i) {
                    const int u = a.p[(y + j) * a.w + x + i], v = b.p[(y + j) * a.w + x + i];
                    s1 += u;
                    s2 += v;
                    ss += u * u + v * v;
                    s12 += u * v;
                }
            const double vars = ss * 64 - s1 * s1 - s2 * s2, covar = s12 * 64 - s1 * s2;
            total +=
                (2 * s1 * s2 + c1) * (2 * covar + c2) / ((s1 * s1 + s2 * s2 + c1) * (vars + c2));
            ++count;
        }
    return count ? total / count : 1;
}

std::vector<Plane> Planes(const std::vector<unsigned char>& frame, int w, int h) {
    return {{frame.data(), w, h},
            {frame.data() + w * h, w / 2, h / 2},
            {frame.data() + w * h * 5 / 4, w / 2, h / 2}};
}

int Picture(const std::wstring& out, const std::wstring& source, const std::wstring& colours) {
    const AviFacts avi = ReadAvi(out);
    if (!avi.riff || avi.scale == 0) {
        std::printf("  no AVI video in the output\n");
        return 1;
    }
    int types[5] = {}, empty = 0;
    long long videoBytes = 0;
    for (const std::string& chunk : avi.videoChunks) {
        empty += chunk.empty();
        videoBytes += chunk.size();
        for (char t : VopTypes(chunk))
            ++types[std::string("IPBSN").find(t)];
    }
    const double fps = double(avi.rate) / avi.scale;
    const double length = avi.videoChunks.size() / fps;

    // The picture: each output frame against the source frame within one output frame of its
    // time that it is closest to, so a frame shown early or late counts by its picture alone.
    const MediaFacts info = ParseProbe(Run(L"-i " + QuoteArg(out)));
    const int w = info.width, h = info.height;
    const MediaFacts sourceInfo = ParseProbe(Run(L"-i " + QuoteArg(source)));
    const double sourceFps = sourceInfo.fps > 0 ? sourceInfo.fps : fps;
    const std::wstring raw = L" -f rawvideo -pix_fmt yuv420p -";
    Decoder decoded(L"-i " + QuoteArg(out) + L" -map 0:v:0 -vsync passthrough" + raw);
    Decoder reference(L"-i " + QuoteArg(source) + L" -map 0:v:0 -vsync passthrough -vf scale=" +
                      std::to_wstring(w) + L":" + std::to_wstring(h) + L":flags=bicubic" +
                      (colours.empty() ? L"" : L"," + colours) + raw);
    const size_t frameSize = size_t(w) * h * 3 / 2;
    const int reach = static_cast<int>(std::ceil(sourceFps / fps - 1e-6));
    std::deque<std::vector<unsigned char>> window;
    long long first = 0; // source index of window.front()
    bool sourceLeft = true;
    std::vector<unsigned char> frame(frameSize);
    double mse[3] = {}, ssim = 0, lumaSsim = 0;
    long long frames = 0;
    for (; decoded.Read(frame); ++frames) {
        const long long centre = std::llround(frames * sourceFps / fps);
        while (sourceLeft && first + static_cast<long long>(window.size()) <= centre + reach) {
            std::vector<unsigned char> next(frameSize);
            if (!(sourceLeft = reference.Read(next)))
                break;
            window.push_back(std::move(next));
        }
        while (!window.empty() && first < centre - reach) {
            window.pop_front();
            ++first;
        }
        if (window.empty())
            break;
        const auto mine = Planes(frame, w, h);
        size_t best = 0;
        double bestError = 1e300;
        for (size_t i = 0; i < window.size(); ++i) {
            const auto theirs = Planes(window[i], w, h);
            const double error = SquaredError(mine[0], theirs[0]);
            if (error < bestError) {
                bestError = error;
                best = i;
            }
        }
        const auto theirs = Planes(window[best], w, h);
        double frameSsim = 0;
        for (int p = 0; p < 3; ++p) {
            mse[p] += SquaredError(mine[p], theirs[p]) / (mine[p].w * mine[p].h);
            const double planeSsim = Ssim(mine[p], theirs[p]);
            frameSsim += planeSsim * (p == 0 ? 4 : 1) / 6;
            if (p == 0)
                lumaSsim += planeSsim;
        }
        ssim += frameSsim;
    }
    const double meanMse = frames ? (4 * mse[0] + mse[1] + mse[2]) / 6 / frames : 0;
    const double lumaMse = frames ? mse[0] / frames : 0;
    std::fprintf(stderr, "  luma: SSIM %.4f  PSNR %.2f dB\n", frames ? lumaSsim / frames : 0,
                 lumaMse > 0 ? 10 * std::log10(255.0 * 255 / lumaMse) : 99);
    std::printf("  %7.0f kbit/s  SSIM %.4f  PSNR %.2f dB  frames I %d / P %d / B %d%s  "
                "index %zu (%d empty) for %.2f s  sound starts at %+.0f ms  %dx%d\n",
                length > 0 ? videoBytes * 8 / length / 1000 : 0, frames ? ssim / frames : 0,
                meanMse > 0 ? 10 * std::log10(255.0 * 255 / meanMse) : 99, types[0], types[1],
                types[2], types[4] ? (" / N " + std::to_string(types[4])).c_str() : "",
                avi.videoChunks.size(), empty, length, avi.audioStart * 1000, w, h);
    return 0;
}

// The number after a name in ebur128's summary ("I:         -16.3 LUFS").
double After(const std::string& text, const char* name) {
    const size_t at = text.find(name);
    return at == std::string::npos ? 0
                                   : std::strtod(text.c_str() + at + std::strlen(name), nullptr);
}

int Sound(const std::wstring& out, double step) {
    const std::string scan = Run(L"-i " + QuoteArg(out) + L" -map 0:a:0 -af ebur128 -f null -");
    const size_t summary = scan.rfind("Summary:");
    const std::string tail = summary == std::string::npos ? "" : scan.substr(summary);
    const double integrated = After(tail, "I:"), range = After(tail, "LRA:");
    // Each second's level, in dBFS of its RMS.
    Decoder pcm(L"-i " + QuoteArg(out) + L" -map 0:a:0 -ac 1 -ar 44100 -f f32le -");
    std::vector<unsigned char> second(44100 * 4);
    std::vector<double> levels;
    while (pcm.Read(second)) {
        const float* s = reinterpret_cast<const float*>(second.data());
        double power = 0;
        for (int i = 0; i < 44100; ++i)
            power += double(s[i]) * s[i];
        levels.push_back(10 * std::log10(power / 44100 + 1e-12));
    }
    // The level each part settles at: its last two seconds.
    double worst = -99;
    const int split = static_cast<int>(step);
    for (auto [from, to] : {std::pair{0, split}, std::pair{split, int(levels.size())}}) {
        if (to - from < 3)
            continue;
        const double settled =
            10 *
            std::log10((std::pow(10, levels[to - 1] / 10) + std::pow(10, levels[to - 2] / 10)) / 2);
        for (int i = from; i < to; ++i)
            worst = std::max(worst, levels[i] - settled);
    }
    std::printf("  %.1f LUFS  range %.1f LU  worst second %+.1f dB over its settled level  "
                "levels:",
                integrated, range, worst);
    for (double level : levels)
        std::printf(" %.0f", level);
    std::printf("\n");
    return 0;
}

// The chart: bars at 75 % and at 100 %, a grey ramp, then skin, sky, grass and darks; all of it
// within the range of SDR BT.709, as RGB with full range.
int Chart(const std::wstring& path, int w, int h) {
    struct Rgb {
        unsigned char r, g, b;
    };
    const std::vector<Rgb> bars75 = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                                     {191, 0, 191},   {191, 0, 0},   {0, 0, 191}},
                           bars100 = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                      {255, 0, 255},   {255, 0, 0},   {0, 0, 255}},
                           last = {{224, 172, 140}, {141, 85, 36},  {255, 219, 172},
                                   {135, 206, 235}, {86, 130, 3},   {16, 16, 16},
                                   {64, 64, 64},    {128, 128, 128}};
    std::string picture = "P6 " + std::to_string(w) + " " + std::to_string(h) + " 255\n";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int band = y * 6 / h; // two of bars, two of bars, one of ramp, one of the rest
            Rgb c;
            if (band < 2)
                c = bars75[x * 7 / w];
            else if (band < 4)
                c = bars100[x * 7 / w];
            else if (band < 5)
                c.r = c.g = c.b = static_cast<unsigned char>((x * 255 + (w - 1) / 2) / (w - 1));
            else
                c = last[x * 8 / w];
            picture += {char(c.r), char(c.g), char(c.b)};
        }
    WriteFileBytes(path, picture);
    return 0;
}

int Colours(const std::wstring& out, const std::wstring& chart) {
    const MediaFacts info = ParseProbe(Run(L"-i " + QuoteArg(out)));
    const int w = info.width, h = info.height;
    if (w <= 0 || h <= 0) {
        std::printf("  no picture in the output\n");
        return 1;
    }
    const size_t size = size_t(w) * h * 3;
    // As players decode it: the matrix its stream states, BT.601 when it states none.
    Decoder decoded(L"-i " + QuoteArg(out) + L" -map 0:v:0 -f rawvideo -pix_fmt rgb24 -");
    Decoder reference(L"-i " + QuoteArg(chart) + L" -vf scale=" + std::to_wstring(w) + L":" +
                      std::to_wstring(h) + L":flags=bicubic -f rawvideo -pix_fmt rgb24 -");
    std::vector<unsigned char> frame(size), truth(size);
    if (!reference.Read(truth))
        return 1;
    std::vector<unsigned long long> sums(size);
    long long frames = 0;
    for (; decoded.Read(frame); ++frames)
        for (size_t i = 0; i < size; ++i)
            sums[i] += frame[i];
    double error = 0;
    for (size_t i = 0; frames > 0 && i < size; ++i)
        error += std::fabs(double(sums[i]) / frames - truth[i]);
    std::printf("  mean absolute error against the chart %.4f (the mean of %lld pictures, %dx%d)\n",
                error / size / 255, frames, w, h);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring what = argc > 1 ? argv[1] : L"";
    if (what == L"picture" && (argc == 4 || argc == 5))
        return Picture(argv[2], argv[3], argc == 5 ? argv[4] : L"");
    if (what == L"sound" && argc == 4)
        return Sound(argv[2], _wtof(argv[3]));
    if (what == L"chart" && argc == 5)
        return Chart(argv[2], _wtoi(argv[3]), _wtoi(argv[4]));
    if (what == L"colours" && argc == 4)
        return Colours(argv[2], argv[3]);
    std::printf(
        "encode_bench picture OUT SOURCE [FILTER] | sound OUT STEP_SECONDS | chart FILE W H | "
        "colours OUT CHART\n");
    return 2;
}
