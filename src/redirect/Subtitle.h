// Which subtitle a movie gets (a file beside it, a text track inside it, or none), and which of
// its sound tracks it plays.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// A subtitle track as identification lists it (ID_SUBTITLE_ID and its ID_SID_N_ lines).
struct SubtitleTrack {
    int id = 0;
    std::wstring language; // as the file tags it: "kor", "ko", "eng"...
    bool text = true;      // false: pictures (PGS, VobSub), which are left alone
    bool isDefault = false;
};

// A sound track as identification lists it (ID_AUDIO_ID and its ID_AID_N_ lines).
struct AudioTrack {
    int id = 0;
    std::wstring language;
    bool isDefault = false;
};

struct Subtitle {
    enum class Kind { None, File, Track };
    Kind kind = Kind::None;
    std::wstring file; // Kind::File
    int track = -1;    // Kind::Track
    // A SAMI file beside the movie, or nothing: the encoder's classic options name the .smi.
    bool Classic() const;
};

// The first of movie.smi, .srt, .ass, .ssa, .vtt that exists beside the movie (its path up to
// its last full stop, whatever the case of the name on disk); else the text track marked
// default, else a text track in Korean; else none.
Subtitle ChooseSubtitle(const std::wstring& movie, const std::vector<SubtitleTrack>& tracks,
                        const std::function<bool(const std::wstring&)>& exists = {});
// The sound track of the subtitles' rule: the one marked default, else one in Korean, else the
// first. -1 when identification lists fewer than two: there is nothing to choose.
int ChooseAudioTrack(const std::vector<AudioTrack>& tracks);
