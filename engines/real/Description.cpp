// Reading ffmpeg's description: one pass over its lines, each read by hand with bounded numbers.
// A file's tags come into this text as they are (a title or language of thousands of characters,
// brackets that never close), so nothing here backtracks or recurses: a line costs its length.
#include "Description.h"

#include "Process.h"
#include "common/AwakeClock.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

using std::string_view;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool StartsWith(string_view text, string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(string_view text, string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

string_view TrimLeft(string_view text) {
    const size_t at = text.find_first_not_of(" \t");
    return at == string_view::npos ? string_view() : text.substr(at);
}

string_view Trim(string_view text) {
    text = TrimLeft(text);
    return text.substr(0, text.find_last_not_of(" \t\r") + 1);
}

// The digits at the start of text: how many, and their value (held below 10^15, so that no tag
// of any length overflows it).
size_t Digits(string_view text, long long& value) {
    size_t n = 0;
    value = 0;
    for (; n < text.size() && IsDigit(text[n]); ++n)
        value = std::min(value * 10 + (text[n] - '0'), 999999999999999LL);
    return n;
}

int ToInt(long long value) {
    return static_cast<int>(std::min<long long>(value, INT_MAX));
}

// Digits and full stops at the start of text, as strtod reads them: how many, and the value.
size_t Decimal(string_view text, double& value) {
    size_t n = 0;
    while (n < text.size() && (IsDigit(text[n]) || text[n] == '.'))
        ++n;
    char copy[40] = "";
    text.substr(0, std::min<size_t>(n, sizeof copy - 1)).copy(copy, sizeof copy - 1);
    value = n ? std::strtod(copy, nullptr) : 0;
    return n;
}

// "N unit" as a whole field, or at its start when the rest may follow ("128 kb/s (default)").
bool NumberWith(string_view field, string_view unit, long long& value, bool restAllowed) {
    const size_t n = Digits(field, value);
    if (n == 0 || !StartsWith(field.substr(n), unit))
        return false;
    return restAllowed || field.size() == n + unit.size();
}

// "59.94 fps", "1k tbn": the rate of a field that is exactly number, optional k, and the unit.
bool RateWith(string_view field, string_view unit, double& value) {
    const size_t n = Decimal(field, value);
    if (n == 0)
        return false;
    string_view rest = field.substr(n);
    const bool thousands = StartsWith(rest, "k");
    if (thousands)
        rest.remove_prefix(1);
    if (rest != unit)
        return false;
    value *= thousands ? 1000 : 1;
    return true;
}

int Channels(string_view layout) {
    if (layout == "mono")
        return 1;
    if (layout == "stereo" || layout == "downmix")
        return 2;
    long long first = 0, second = 0;
    const size_t n = Digits(layout, first);
    if (n == 0)
        return 0;
    if (StartsWith(layout.substr(n), " channels"))
        return ToInt(first);
    if (layout.size() > n + 1 && layout[n] == '.' && Digits(layout.substr(n + 1), second) > 0)
        return ToInt(first + second);
    return 0;
}

// Top-level comma-separated fields; commas inside brackets belong to their field.
std::vector<string_view> Fields(string_view text) {
    std::vector<string_view> fields;
    int depth = 0;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : ',';
        if (c == '(' || c == '[')
            ++depth;
        if (c == ')' || c == ']')
            --depth;
        if (c == ',' && (depth == 0 || i == text.size())) {
            fields.push_back(Trim(text.substr(start, i - start)));
            start = i + 1;
        }
    }
    return fields;
}

// "(XVID / 0x44495658)": the four characters of the tag.
std::string Fourcc(string_view field) {
    for (size_t at = field.find(" / 0x"); at != string_view::npos;
         at = field.find(" / 0x", at + 1)) {
        size_t hex = at + 5;
        while (hex < field.size() && std::isxdigit(static_cast<unsigned char>(field[hex])))
            ++hex;
        if (at < 5 || field[at - 5] != '(' || hex == at + 5 || hex >= field.size() ||
            field[hex] != ')')
            continue;
        const string_view tag = field.substr(at - 4, 4);
        if (std::all_of(tag.begin(), tag.end(), [](char c) {
                return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
            }))
            return std::string(tag);
    }
    return {};
}

// One stream of the input as its line and the lines under it tell.
struct Stream {
    std::string kind;     // "Video", "Audio", "Subtitle", "Data", "Attachment"
    std::string language; // between the brackets of "Stream #0:1(kor):"
    std::string rest;     // the line after "Kind: "
    std::string title;    // the first "title : ..." of its metadata
    bool titled = false;
    double rotate = 0, displayRotation = 0; // "rotate : 90", "displaymatrix: rotation of -90"
    bool rotated = false, displayRotated = false;
    double maxLuminance = 0, maxCll = 0; // of the side data, in cd/m²
    int doviProfile = -1, doviCompatibility = -1;
};

constexpr string_view kKinds[] = {
    ": Video: ", ": Audio: ", ": Subtitle: ", ": Data: ", ": Attachment: "};

// "Stream #0:2[0x1201](kor): Subtitle: subrip (default)"; false for a line of no stream.
bool ReadStreamLine(string_view line, Stream& stream) {
    long long index = 0;
    const size_t digits = Digits(line, index);
    if (digits == 0)
        return false;
    size_t kindAt = string_view::npos;
    string_view marker;
    for (string_view kind : kKinds) {
        const size_t at = line.find(kind, digits);
        if (at < kindAt) {
            kindAt = at;
            marker = kind;
        }
    }
    if (kindAt == string_view::npos)
        return false;
    // Between the number and the kind: an id in square brackets, then the language in round ones.
    string_view between = line.substr(digits, kindAt - digits);
    if (StartsWith(between, "[")) {
        const size_t close = between.find(']');
        between.remove_prefix(close == string_view::npos ? between.size() : close + 1);
    }
    if (StartsWith(between, "(") && EndsWith(between, ")"))
        stream.language = std::string(between.substr(1, between.size() - 2));
    stream.kind = std::string(marker.substr(2, marker.size() - 4));
    stream.rest = std::string(Trim(line.substr(kindAt + marker.size())));
    return true;
}

// The number after the first "name" of text, when there is one.
void ReadAfter(string_view text, string_view name, double& value) {
    const size_t at = text.find(name);
    double read = 0;
    if (at != string_view::npos && Decimal(text.substr(at + name.size()), read) > 0)
        value = read;
}

// "yuv420p10le(tv, bt2020nc/bt2020/arib-std-b67, progressive)", "yuv420p(tv, bt709)": the
// format, and the range and colours when said. One name stands for all three when they agree.
void ReadPixelFormat(string_view field, MediaFacts& facts) {
    const size_t open = field.find('(');
    facts.pixelFormat = std::string(field.substr(0, open));
    if (open == string_view::npos || !EndsWith(field, ")"))
        return;
    string_view details = field.substr(open + 1, field.size() - open - 2);
    constexpr string_view kOneName[] = {"bt709", "bt470bg", "smpte170m", "smpte240m"};
    while (!details.empty()) {
        const size_t comma = details.find(", ");
        const string_view item = details.substr(0, comma);
        details.remove_prefix(comma == string_view::npos ? details.size() : comma + 2);
        const size_t slash = item.find('/'), second = item.find('/', slash + 1);
        auto named = [](string_view name) {
            return name == "unknown" || name == "reserved" ? std::string() : std::string(name);
        };
        if (item == "tv" || item == "pc") {
            facts.colourRange = std::string(item);
        } else if (slash != string_view::npos && second != string_view::npos) {
            facts.colourMatrix = named(item.substr(0, slash));
            facts.colourPrimaries = named(item.substr(slash + 1, second - slash - 1));
            facts.colourTransfer = named(item.substr(second + 1));
        } else if (std::find(std::begin(kOneName), std::end(kOneName), item) !=
                   std::end(kOneName)) {
            facts.colourMatrix = facts.colourPrimaries = facts.colourTransfer = std::string(item);
        }
    }
}

// A line of the metadata or side data under a stream.
void ReadStreamDetail(string_view line, Stream& stream) {
    const string_view text = TrimLeft(line);
    if (!stream.titled && text.size() < line.size() && StartsWith(text, "title") &&
        text.size() > 5 && (text[5] == ' ' || text[5] == '\t')) {
        string_view value = TrimLeft(text.substr(5));
        if (StartsWith(value, ":")) {
            value.remove_prefix(1);
            if (StartsWith(value, " "))
                value.remove_prefix(1);
            stream.title = std::string(value.substr(0, value.find_last_not_of('\r') + 1));
            stream.titled = true;
        }
    } else if (!stream.rotated && StartsWith(text, "rotate")) {
        string_view value = TrimLeft(text.substr(6));
        if (StartsWith(value, ":")) {
            value = TrimLeft(value.substr(1));
            const bool negative = StartsWith(value, "-");
            long long degrees = 0;
            if (Digits(value.substr(negative ? 1 : 0), degrees) > 0) {
                stream.rotate = negative ? -double(degrees) : double(degrees);
                stream.rotated = true;
            }
        }
    } else if (StartsWith(text, "Mastering Display Metadata")) {
        ReadAfter(text, "max_luminance=", stream.maxLuminance);
    } else if (StartsWith(text, "Content Light Level Metadata")) {
        ReadAfter(text, "MaxCLL=", stream.maxCll);
    } else if (StartsWith(text, "DOVI configuration record")) {
        double profile = -1, compatibility = -1;
        ReadAfter(text, "profile: ", profile);
        ReadAfter(text, "compatibility id: ", compatibility);
        stream.doviProfile = static_cast<int>(std::min(profile, 99.0));
        stream.doviCompatibility = static_cast<int>(std::min(compatibility, 99.0));
    } else if (!stream.displayRotated) {
        constexpr string_view kDisplay = "displaymatrix: rotation of ";
        const size_t at = text.find(kDisplay);
        if (at == string_view::npos)
            return;
        string_view value = text.substr(at + kDisplay.size());
        const bool negative = StartsWith(value, "-");
        double degrees = 0;
        const size_t n = Decimal(value.substr(negative ? 1 : 0), degrees);
        if (n > 0 && StartsWith(value.substr(n + (negative ? 1 : 0)), " degrees")) {
            stream.displayRotation = negative ? -degrees : degrees;
            stream.displayRotated = true;
        }
    }
}

// Quarter turns of the picture, by its metadata or else its side data.
int QuarterTurns(const Stream& stream) {
    const double degrees = stream.rotated          ? stream.rotate
                           : stream.displayRotated ? stream.displayRotation
                                                   : 0;
    const int turns = static_cast<int>(std::lround(std::fmod(degrees, 360) / 90)) % 4;
    return turns < 0 ? turns + 4 : turns;
}

// "Duration: 00:01:02.50, start: 0.000000, bitrate: 1455 kb/s"
void ReadDuration(string_view line, MediaFacts& facts, bool& timed, bool& rated) {
    long long hours = 0, minutes = 0;
    double seconds = 0;
    const size_t n = Digits(line, hours);
    const string_view rest = n > 0 && StartsWith(line.substr(n), ":") ? line.substr(n + 1) : "";
    const size_t m = Digits(rest, minutes);
    const string_view second = m > 0 && StartsWith(rest.substr(m), ":") ? rest.substr(m + 1) : "";
    if (!timed && !second.empty() && IsDigit(second[0])) {
        Decimal(second, seconds);
        facts.length = hours * 3600.0 + minutes * 60.0 + seconds;
        timed = true;
    }
    for (size_t at = line.find("bitrate: "); !rated && at != string_view::npos;
         at = line.find("bitrate: ", at + 1)) {
        long long kbits = 0;
        if (NumberWith(line.substr(at + 9), " kb/s", kbits, true)) {
            facts.bitrate = double(kbits);
            rated = true;
        }
    }
}

void ReadVideo(const Stream& stream, MediaFacts& facts) {
    const std::vector<string_view> fields = Fields(stream.rest);
    facts.video = true;
    facts.videoCodec = std::string(fields[0].substr(0, fields[0].find(' ')));
    facts.videoFourcc = Fourcc(fields[0]);
    if (fields.size() > 1 && !fields[1].empty() &&
        std::islower(static_cast<unsigned char>(fields[1][0])))
        ReadPixelFormat(fields[1], facts);
    facts.peakNits = stream.maxCll > 0 ? stream.maxCll : stream.maxLuminance;
    facts.dolbyVisionProfile = stream.doviProfile;
    facts.dolbyVisionCompatibility = stream.doviCompatibility;
    for (string_view f : fields) {
        long long width = 0, height = 0, value = 0;
        const size_t w = Digits(f, width);
        // "1280x720 [SAR 1:1 DAR 16:9]": at most five digits each.
        if (!facts.width && w > 0 && w <= 5 && w < f.size() && f[w] == 'x' &&
            Digits(f.substr(w + 1, 5), height) > 0) {
            facts.width = ToInt(width);
            facts.height = ToInt(height);
            const size_t dar = f.find("DAR ");
            long long across = 0, down = 0;
            const size_t a = dar == string_view::npos ? 0 : Digits(f.substr(dar + 4), across);
            if (a > 0 && dar + 4 + a < f.size() && f[dar + 4 + a] == ':' &&
                Digits(f.substr(dar + 5 + a), down) > 0 && down > 0)
                facts.aspect = double(across) / double(down);
        }
        if (NumberWith(f, " kb/s", value, true))
            facts.videoBitrate = ToInt(value);
        double rate = 0;
        if (RateWith(f, " fps", rate))
            facts.fps = rate;
        if (!facts.fps && RateWith(f, " tbr", rate))
            facts.fps = rate;
    }
    if (facts.fps > 0)
        facts.fps = ExactRate(facts.fps, &facts.fpsRational);
    if (!facts.aspect && facts.height)
        facts.aspect = static_cast<double>(facts.width) / facts.height;
    // ffmpeg turns a portrait phone movie upright as it decodes: the facts are of the picture as
    // shown.
    if (QuarterTurns(stream) % 2 != 0) {
        std::swap(facts.width, facts.height);
        if (facts.aspect > 0)
            facts.aspect = 1 / facts.aspect;
    }
}

// A sound track; the facts of the first are the file's.
void ReadAudio(const Stream& stream, MediaFacts& facts) {
    const std::vector<string_view> fields = Fields(stream.rest);
    AudioTrack track;
    track.codec = std::string(fields[0].substr(0, fields[0].find(' ')));
    track.language = stream.language == "und" ? "" : stream.language;
    track.title = OneLine(stream.title);
    track.isDefault = stream.rest.find("(default)") != std::string::npos;
    int rate = 0, bitrate = 0;
    for (size_t i = 1; i < fields.size(); ++i) {
        long long value = 0;
        if (NumberWith(fields[i], " Hz", value, false))
            rate = ToInt(value);
        else if (NumberWith(fields[i], " kb/s", value, true))
            bitrate = ToInt(value);
        else if (i == 2)
            track.channels = Channels(fields[i]);
    }
    if (!facts.audio) {
        facts.audio = true;
        facts.audioCodec = track.codec;
        facts.audioRate = rate;
        facts.audioBitrate = bitrate;
        facts.audioChannels = track.channels;
    }
    facts.audioTracks.push_back(std::move(track));
}

SubtitleTrack ReadSubtitle(const Stream& stream) {
    SubtitleTrack track;
    track.language = stream.language == "und" ? "" : stream.language;
    const string_view rest = stream.rest;
    size_t n = 0;
    while (n < rest.size() &&
           (std::isalnum(static_cast<unsigned char>(rest[n])) || rest[n] == '_' || rest[n] == '-'))
        ++n;
    track.codec = std::string(rest.substr(0, n));
    track.isDefault = rest.find("(default)") != string_view::npos;
    track.text = IsTextSubtitleCodec(track.codec);
    track.title = OneLine(stream.title);
    return track;
}

} // namespace

double ExactRate(double printed, std::string* rational) {
    for (int base : {24, 30, 48, 60, 120, 12, 15}) {
        const double ntsc = base * 1000.0 / 1001.0;
        if (std::fabs(printed - ntsc) < 0.006) {
            if (rational)
                *rational = std::to_string(base * 1000) + "/1001";
            return ntsc;
        }
    }
    if (rational) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", printed);
        *rational = text;
    }
    return printed;
}

MediaFacts ParseProbe(const std::string& text) {
    MediaFacts facts;
    std::vector<Stream> streams;
    bool timed = false, rated = false;
    for (size_t from = 0; from < text.size();) {
        const size_t end = std::min(text.find_first_of("\r\n", from), text.size());
        const string_view line = string_view(text).substr(from, end - from);
        from = end + 1;
        const string_view trimmed = TrimLeft(line);
        if (!facts.readable) {
            // "Input #0, matroska,webm, from 'movie.mkv':"
            if (!StartsWith(trimmed, "Input #0, "))
                continue;
            const string_view after = trimmed.substr(10);
            const size_t name = after.find_first_of(", \t");
            if (name == 0 || after.find("from ", name) == string_view::npos)
                continue;
            facts.readable = true;
            facts.demuxer = std::string(after.substr(0, name));
            continue;
        }
        // What follows the first input's description is not the source's.
        if (StartsWith(trimmed, "Input #") || StartsWith(trimmed, "Output #") ||
            StartsWith(trimmed, "Stream mapping:"))
            break;
        if (StartsWith(trimmed, "Duration: ")) {
            ReadDuration(trimmed.substr(10), facts, timed, rated);
            continue;
        }
        Stream stream;
        if (StartsWith(trimmed, "Stream #0:") && ReadStreamLine(trimmed.substr(10), stream)) {
            streams.push_back(std::move(stream));
            continue;
        }
        // Metadata and side data belong to the stream above them, up to the next stream.
        if (!streams.empty() && !StartsWith(trimmed, "Stream #"))
            ReadStreamDetail(line, streams.back());
        else if (!streams.empty())
            streams.push_back(Stream{}); // a stream of a kind we do not know ends the one above
    }
    for (const Stream& stream : streams) {
        if (stream.kind == "Video" && !facts.video &&
            stream.rest.find("(attached pic)") == std::string::npos)
            ReadVideo(stream, facts);
        else if (stream.kind == "Audio")
            ReadAudio(stream, facts);
        else if (stream.kind == "Subtitle")
            facts.subtitles.push_back(ReadSubtitle(stream));
    }
    return facts;
}

MediaFacts Probe(const std::wstring& path) {
    Child ffmpeg;
    std::wstring line =
        JoinArgs({FFmpegPath(), L"-hide_banner", L"-nostdin", L"-i", PathForFFmpeg(path)});
    std::string text;
    if (!ffmpeg.Start(line, L"", Child::kPipe, Child::kPipe))
        return {};
    // A probe that hangs (a stalled network share, a broken file) is given up: unreadable.
    const StallWatch giveUp(StallLimitMs());
    while (ffmpeg.ReadAvailable(text)) {
        if (giveUp.Stalled())
            return {};
        Sleep(5);
    }
    ffmpeg.Wait(5000);
    return ParseProbe(text);
}
