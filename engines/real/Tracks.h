// The subtitle tracks inside a movie, as ffmpeg describes them and the player's identification
// lists them.
#pragma once

#include <string>
#include <vector>

struct SubtitleTrack {
    std::string codec;    // ffmpeg's name: "subrip", "ass", "mov_text", "hdmv_pgs_subtitle", ...
    std::string language; // the container's tag ("kor"); empty when none or "und"
    std::string title;    // UTF-8
    bool isDefault = false;
    bool text = false; // drawn from text, which we burn; pictures (PGS, VobSub) we leave alone
};

// ffmpeg's decoders of text subtitles; every other track is a picture, or unknown to us.
bool IsTextSubtitleCodec(const std::string& codec);
// A tag on one line of our own: a line end in it would start a key of its own.
std::string OneLine(std::string text);
// ID_SUBTITLE_ID, ID_SID_N_LANG and ID_SID_N_NAME as MPlayer prints them, and two keys of ours:
// ID_SID_N_TYPE (text or image) and ID_SID_N_DEFAULT=1 for a track marked default.
std::string SubtitleTrackLines(const std::vector<SubtitleTrack>& tracks);
// ffmpeg's arguments after its input that write text track n into a file of the current
// folder, and that file's name.
std::vector<std::wstring> TrackCopyArgs(const SubtitleTrack& track, int n, std::wstring& file);
