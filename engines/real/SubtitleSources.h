// Where a movie's subtitles may come from, in the order the engines try them, the way MPlayer's
// programs find the files named like the movie by themselves.
#pragma once

#include "Options.h"
#include "Tracks.h"

#include <string>
#include <vector>

// What a command line asks to burn, and how it is read.
struct SubtitleChoice {
    std::wstring file;                // -sub: a SAMI, SubRip, ASS/SSA or WebVTT file
    int track = -1;                   // -sid: among the movie's subtitle tracks, counted from 0
    bool filesByName = true;          // off with -noautosub
    std::wstring codePage = L"cp949"; // -subcp
    std::wstring font = {};           // -font
};
// A -sid that is no number chooses no track.
SubtitleChoice ChosenSubtitles(const Options& options);

// One place to take subtitles from: a file, or a text track of the movie.
struct SubtitleSource {
    std::wstring file;
    int track = -1;
    // The line the engines print once it is burnt in.
    std::string Note() const;
};

// The file of -sub; the files beside the movie named like it (.smi, .srt, .ass, .ssa, .vtt,
// whatever the case of the name on disk) that exist; text track -sid; the text track marked
// default; a text track in Korean. Each once, files before tracks.
std::vector<SubtitleSource> SubtitleCandidates(const SubtitleChoice& choice,
                                               const std::wstring& movie,
                                               const std::vector<SubtitleTrack>& tracks);
