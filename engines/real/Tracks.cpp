#include "Tracks.h"

#include "common/Text.h"

#include <algorithm>
#include <regex>

namespace {

// ffmpeg's decoders of text subtitles; every other track is a picture, or unknown to us.
bool IsTextCodec(const std::string& codec) {
    static const char* const kText[] = {"subrip",     "srt",     "ass",      "ssa",  "mov_text",
                                        "webvtt",     "text",    "microdvd", "sami", "subviewer",
                                        "subviewer1", "jacosub", "realtext", "stl",  "pjs",
                                        "mpl2",       "vplayer"};
    return std::find(std::begin(kText), std::end(kText), codec) != std::end(kText);
}

// A title on one line of our own: a line end in it would start a key of its own.
std::string OneLine(std::string text) {
    std::erase_if(text, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    return text;
}

} // namespace

std::vector<SubtitleTrack> ParseSubtitleTracks(const std::string& probe) {
    std::vector<SubtitleTrack> tracks;
    // "Stream #0:2(kor): Subtitle: subrip (default)", "Stream #0:3[0x1201](kor): Subtitle: ..."
    const std::regex stream(
        R"(Stream #0:\d+(?:\[[^\]]*\])?(?:\(([^)]*)\))?: Subtitle: ([\w-]+)([^\r\n]*))");
    const std::regex title(R"(\n\s+title\s+:\s?([^\r\n]*))");
    for (auto it = std::sregex_iterator(probe.begin(), probe.end(), stream);
         it != std::sregex_iterator(); ++it) {
        SubtitleTrack track;
        track.language = (*it)[1] == "und" ? "" : (*it)[1].str();
        track.codec = (*it)[2];
        track.isDefault = (*it)[3].str().find("(default)") != std::string::npos;
        track.text = IsTextCodec(track.codec);
        // The stream's metadata follows its line, up to the next stream.
        const size_t block = it->position() + it->length();
        const size_t next = probe.find("Stream #", block);
        const std::string metadata =
            probe.substr(block, next == std::string::npos ? std::string::npos : next - block);
        std::smatch m;
        if (std::regex_search(metadata, m, title))
            track.title = OneLine(m[1]);
        tracks.push_back(std::move(track));
    }
    return tracks;
}

std::string SubtitleTrackLines(const std::vector<SubtitleTrack>& tracks) {
    std::string out;
    for (size_t i = 0; i < tracks.size(); ++i) {
        const std::string n = std::to_string(i), key = "ID_SID_" + n + "_";
        out += "ID_SUBTITLE_ID=" + n + "\r\n";
        if (!tracks[i].language.empty())
            out += key + "LANG=" + OneLine(tracks[i].language) + "\r\n";
        if (!tracks[i].title.empty())
            out += key + "NAME=" + ToAnsi(FromUtf8(tracks[i].title)) + "\r\n";
        out += key + (tracks[i].text ? "TYPE=text\r\n" : "TYPE=image\r\n");
        if (tracks[i].isDefault)
            out += key + "DEFAULT=1\r\n";
    }
    return out;
}

std::vector<std::wstring> TrackCopyArgs(const SubtitleTrack& track, int n, std::wstring& file) {
    // Copied as they are where a format of their own takes them, so that their bytes meet our
    // encoding detection; the others decoded into SubRip.
    const std::string& codec = track.codec;
    std::vector<std::wstring> args = {L"-map", L"0:s:" + std::to_wstring(n), L"-c:s"};
    if (codec == "subrip" || codec == "srt") {
        file = L"track.srt";
        args.insert(args.end(), {L"copy", L"-f", L"srt"});
    } else if (codec == "ass" || codec == "ssa") {
        file = L"track.ass";
        args.insert(args.end(), {codec == "ass" ? L"copy" : L"ass", L"-f", L"ass"});
    } else if (codec == "webvtt") {
        file = L"track.vtt";
        args.insert(args.end(), {L"copy", L"-f", L"webvtt"});
    } else {
        file = L"track.srt";
        args.insert(args.end(), {L"srt", L"-f", L"srt"});
    }
    args.push_back(file);
    return args;
}
