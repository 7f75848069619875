#include "Tracks.h"

#include "common/Text.h"

#include <algorithm>

bool IsTextSubtitleCodec(const std::string& codec) {
    static const char* const kText[] = {"subrip",     "srt",     "ass",      "ssa",  "mov_text",
                                        "webvtt",     "text",    "microdvd", "sami", "subviewer",
                                        "subviewer1", "jacosub", "realtext", "stl",  "pjs",
                                        "mpl2",       "vplayer"};
    return std::find(std::begin(kText), std::end(kText), codec) != std::end(kText);
}

std::string OneLine(std::string text) {
    std::erase_if(text, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    return text;
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
