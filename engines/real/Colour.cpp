#include "Colour.h"

#include "common/Text.h"

#include <algorithm>
#include <cstdio>

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool Among(const std::string& text, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char* name) { return text == name; });
}

bool IsRgb(const MediaFacts& facts) {
    const std::string& format = facts.pixelFormat;
    return StartsWith(format, "rgb") || StartsWith(format, "bgr") || StartsWith(format, "gbr") ||
           StartsWith(format, "argb") || StartsWith(format, "abgr") || StartsWith(format, "0rgb") ||
           StartsWith(format, "0bgr") || format == "pal8";
}

bool FullRange(const MediaFacts& facts) {
    return facts.colourRange == "pc" || StartsWith(facts.pixelFormat, "yuvj");
}

bool WideGamut(const MediaFacts& facts) {
    return facts.colourPrimaries == "bt2020" || SourceMatrix(facts) == "bt2020";
}

// Reference white in linear light: PQ's 100 cd/m², HLG's 75 % signal (203 cd/m² on the
// 1000 cd/m² display HLG is mastered for).
constexpr double kPqWhite = 100, kHlgWhite = 203, kHlgPeak = 1000;
// Phones master PQ for displays of about 1000 cd/m²; a file that states no peak is taken so.
// Brighter peaks cost the shadows precision in the 16-bit linear light below.
constexpr double kPqPeak = 1000, kPqPeakMost = 4000;
// Mobius keeps the signal up to this share of reference white as it is and rolls off above it,
// reaching white at the peak (engines/README.md has the measurement behind it).
constexpr double kKnee = 0.6;

// zscale's names for the source's matrix and range, filled in where the file says nothing.
std::wstring ZscaleInput(const MediaFacts& facts) {
    const std::string matrix = SourceMatrix(facts) == "bt2020"  ? "bt2020nc"
                               : SourceMatrix(facts) == "bt709" ? "bt709"
                                                                : "smpte170m";
    return FromUtf8(":min=" + matrix + ":rin=" + (FullRange(facts) ? "pc" : "tv"));
}

std::wstring ZscalePrimaries(const MediaFacts& facts) {
    return Among(facts.colourPrimaries, {"bt709", "bt2020", "bt470bg", "smpte170m", "smpte240m"})
               ? FromUtf8(facts.colourPrimaries)
               : L"bt2020";
}

// A table for lutrgb: the same expression for the three components.
std::wstring Lut(const std::wstring& expression) {
    return L"lutrgb=r='" + expression + L"':g='" + expression + L"':b='" + expression + L"'";
}

// From PQ or HLG to SDR BT.709, gamma-encoded in 16-bit RGB. zimg evaluates a transfer
// function for every sample, which costs more than the whole encode of the picture; the two
// curves are tables of lutrgb instead, with zscale converting only matrices and tonemap mapping
// in linear light: mobius on the brightest of the three components, which keeps each colour's
// hue and saturation, up to the peak.
std::wstring ToneMap(const MediaFacts& facts) {
    const bool hlg = DynamicOf(facts) == Dynamic::Hlg;
    const double white = hlg ? kHlgWhite : kPqWhite;
    const double peak =
        hlg ? kHlgPeak
            : std::clamp(facts.peakNits > 0 ? facts.peakNits : kPqPeak, white * 2, kPqPeakMost);
    // Linear light in 16 bits, the peak at the top: HLG's inverse OETF with its system gamma
    // of 1.2, or PQ's EOTF.
    wchar_t linear[400];
    if (hlg)
        swprintf(linear, 400,
                 L"maxval*pow(if(lte(val/maxval\\,0.5)\\,pow(val/maxval\\,2)/3\\,"
                 L"(exp((val/maxval-0.55991073)/0.17883277)+0.28466892)/12)\\,1.2)");
    else
        swprintf(linear, 400,
                 L"maxval*min(pow(max(pow(val/maxval\\,1/78.84375)-0.8359375\\,0)/"
                 L"(18.8515625-18.6875*pow(val/maxval\\,1/78.84375))\\,1/0.1593017578125)*"
                 L"%g\\,1)",
                 10000 / peak);
    wchar_t mapping[200];
    swprintf(mapping, 200,
             L"tonemap=linear:param=%.4g:peak=1:desat=0,tonemap=mobius:param=%g:desat=0:"
             L"peak=%.4g",
             peak / white, kKnee, peak / white);
    return L"zscale=r=full" + ZscaleInput(facts) + L",format=gbrp16le," + Lut(linear) +
           L",zscale=tin=linear:pin=" + ZscalePrimaries(facts) +
           L":rin=full:t=linear:p=709:r=full,format=gbrpf32le," + mapping +
           L",zscale=tin=linear:pin=709:rin=full:t=linear:p=709:r=full,format=gbrp16le," +
           Lut(L"maxval*pow(val/maxval\\,1/2.4)");
}

} // namespace

Dynamic DynamicOf(const MediaFacts& facts) {
    if (facts.colourTransfer == "smpte2084")
        return Dynamic::Pq;
    if (facts.colourTransfer == "arib-std-b67")
        return Dynamic::Hlg;
    return Dynamic::Sdr;
}

bool OnlyDolbyVision(const MediaFacts& facts) {
    if (facts.dolbyVisionProfile >= 0)
        return facts.dolbyVisionProfile == 5 || facts.dolbyVisionCompatibility == 0;
    // ffmpeg 4.1 does not read Dolby Vision's configuration; its own sample entries say it, and
    // a picture other players show states its transfer.
    return Among(facts.videoFourcc, {"dvh1", "dvhe", "dav1", "dvav", "dva1"}) &&
           facts.colourTransfer.empty();
}

std::string SourceMatrix(const MediaFacts& facts) {
    const std::string& matrix = facts.colourMatrix;
    if (Among(matrix, {"bt709", "smpte240m"}))
        return "bt709";
    if (Among(matrix, {"bt470bg", "smpte170m", "fcc"}))
        return "bt601";
    if (Among(matrix, {"bt2020nc", "bt2020c"}))
        return "bt2020";
    // Untagged: what players assume, BT.709 from HD sizes on.
    return facts.width >= 1280 || facts.height > 576 ? "bt709" : "bt601";
}

std::string OutputMatrix(const MediaFacts& source, bool mp4) {
    if (!mp4)
        return "bt601";
    return DynamicOf(source) == Dynamic::Sdr && SourceMatrix(source) == "bt601" ? "bt601" : "bt709";
}

std::wstring PictureFilters(const MediaFacts& source, const std::wstring& size,
                            const std::string& matrix) {
    const std::wstring sized = size.empty() ? L"" : size + L",";
    const std::wstring out = std::wstring(L":t=709:p=709:m=") +
                             (matrix == "bt709" ? L"709" : L"170m") +
                             L":r=tv:d=ordered,format=yuv420p";
    if (DynamicOf(source) != Dynamic::Sdr)
        return sized + ToneMap(source) + L",zscale=tin=709:pin=709:rin=full" + out;
    if (WideGamut(source))
        return sized + L"zscale=tin=709" + ZscaleInput(source) + L":pin=" +
               ZscalePrimaries(source) + out;
    // Everything else swscale scales, dithering what has more than 8 bits and bringing a full
    // range to TV's; RGB it turns into the output's matrix itself. A matrix of YCbCr it converts
    // through 8-bit RGB, 2 % too dark: colormatrix does that exactly.
    std::wstring options;
    if (IsRgb(source) && matrix != "bt601")
        options += L":out_color_matrix=" + FromUtf8(matrix);
    if (FullRange(source) && !IsRgb(source))
        options += L":in_range=pc:out_range=tv";
    std::wstring filters = options.empty() ? size
                           : size.empty()  ? L"scale=" + options.substr(1)
                                           : size + options;
    const std::string from = SourceMatrix(source);
    if (!IsRgb(source) && from != matrix)
        filters += (filters.empty() ? L"" : L",") + std::wstring(L"colormatrix=") + FromUtf8(from) +
                   L":" + FromUtf8(matrix);
    return filters;
}

std::wstring PreviewFilters(const MediaFacts& source, const std::wstring& size) {
    if (DynamicOf(source) != Dynamic::Sdr)
        return size + L"," + ToneMap(source);
    if (WideGamut(source))
        return size + L",zscale=tin=709" + ZscaleInput(source) + L":pin=" +
               ZscalePrimaries(source) + L":t=709:p=709:r=full,format=gbrp";
    if (IsRgb(source))
        return size;
    return size + L":in_color_matrix=" + FromUtf8(SourceMatrix(source)) +
           (FullRange(source) ? L":in_range=pc" : L":in_range=tv");
}

std::wstring PreviewFiltersUnknown(int maxWidth, int maxHeight) {
    // DecodeSize's: the picture's own size, else the largest of its shape within the bounds;
    // even.
    const std::wstring w = std::to_wstring(maxWidth), h = std::to_wstring(maxHeight);
    const std::wstring larger = L"gt(iw\\," + w + L")+gt(ih\\," + h + L")",
                       wide = L"gt(" + w + L"/dar\\," + h + L")";
    // Untagged HD is BT.709 to us and BT.601 to swscale: colormatrix brings it (and tagged
    // BT.709, which it then tags BT.601) over at the picture's own size, as the AVI's filters do.
    return L"colormatrix=bt709:bt601:enable='gte(w\\,1280)+gt(h\\,576)',scale=w='2*trunc(round("
           L"if(" +
           larger + L"\\,if(" + wide + L"\\," + h + L"*dar\\," + w +
           L")\\,iw))/2)':h='2*trunc(round(if(" + larger + L"\\,if(" + wide + L"\\," + h + L"\\," +
           w + L"/dar)\\,ih))/2)':in_color_matrix=auto:in_range=auto";
}

bool PreviewFiltersUnknownFit(const MediaFacts& source) {
    if (DynamicOf(source) != Dynamic::Sdr || WideGamut(source))
        return false;
    if (IsRgb(source))
        return true;
    // HD goes through colormatrix as BT.709; SD's stated matrix is read by swscale as ours.
    const bool hd = source.width >= 1280 || source.height > 576;
    return source.colourMatrix.empty() || source.colourMatrix == "bt709" ||
           (!hd && Among(source.colourMatrix, {"bt470bg", "smpte170m"}));
}

std::vector<std::wstring> ColourTags(const std::string& matrix, const MediaFacts& source) {
    if (!source.video)
        return {};
    if (matrix == "bt709")
        return {L"-color_primaries", L"bt709", L"-color_trc",   L"bt709",
                L"-colorspace",      L"bt709", L"-color_range", L"tv"};
    // SD as broadcast defines it: PAL's primaries when the source has them, else NTSC's.
    const std::wstring primaries = source.colourPrimaries == "bt470bg" ? L"bt470bg" : L"smpte170m";
    return {L"-color_primaries", primaries,    L"-color_trc",   L"smpte170m",
            L"-colorspace",      L"smpte170m", L"-color_range", L"tv"};
}
