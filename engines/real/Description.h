// Reading ffmpeg's description of its input (what "ffmpeg -i FILE" prints).
#pragma once

#include "Tracks.h"

#include <string>
#include <vector>

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
    bool audio = false;
    std::string audioCodec;
    int audioRate = 0, audioChannels = 0, audioBitrate = 0;
    std::vector<SubtitleTrack> subtitles;
};

// Reads ffmpeg's description of its input; a text of any size or content is read in one pass.
MediaFacts ParseProbe(const std::string& text);
// Runs "ffmpeg -i FILE" and reads what it prints.
MediaFacts Probe(const std::wstring& path);
// 23.98 -> 24000/1001 and the like: ffmpeg prints rates rounded to two decimals.
double ExactRate(double printed, std::string* rational = nullptr);
