// Reading ffmpeg's description of its input (what "ffmpeg -i FILE" prints).
#pragma once

#include "Tracks.h"

#include <string>
#include <vector>

// A sound track inside a movie, numbered from 0 in the file's order (ffmpeg's 0:a:N, -aid N).
struct AudioTrack {
    std::string codec;
    std::string language; // the container's tag ("kor"); empty when none or "und"
    std::string title;    // UTF-8
    bool isDefault = false;
    int channels = 0; // 0 when ffmpeg names a layout we do not count
};

// What ffmpeg tells of a file.
struct MediaFacts {
    bool readable = false; // ffmpeg opened it
    std::string demuxer;   // "avi", "mov", ...
    double length = 0;     // seconds, 0 when unknown
    double bitrate = 0;    // kbit/s of the whole file
    bool video = false;
    std::string videoCodec, videoFourcc;
    int width = 0, height = 0;
    double fps = 0;
    std::string fpsRational; // "30000/1001" for the usual NTSC rates, else the number
    int videoBitrate = 0;    // kbit/s
    double aspect = 0;
    // The picture's colours as ffmpeg names them ("yuv420p10le", "tv", "bt2020nc", "bt2020",
    // "arib-std-b67"); empty when the file does not say.
    std::string pixelFormat, colourRange, colourMatrix, colourPrimaries, colourTransfer;
    double peakNits = 0; // the brightest the picture gets: MaxCLL, else the mastering display's
    // Dolby Vision's configuration (newer ffmpeg prints it): profile and the id of the picture
    // other players show (1 HDR10, 2 SDR, 4 HLG, 0 none); -1 when not said.
    int dolbyVisionProfile = -1, dolbyVisionCompatibility = -1;
    bool audio = false;
    std::string audioCodec;
    int audioRate = 0, audioChannels = 0, audioBitrate = 0; // of the first sound track
    std::vector<AudioTrack> audioTracks;
    std::vector<SubtitleTrack> subtitles;
};

// Reads ffmpeg's description of its input; a text of any size or content is read in one pass.
MediaFacts ParseProbe(const std::string& text);
// Runs "ffmpeg -i FILE" and reads what it prints.
MediaFacts Probe(const std::wstring& path);
// 23.98 -> 24000/1001 and the like: ffmpeg prints rates rounded to two decimals.
double ExactRate(double printed, std::string* rational = nullptr);
