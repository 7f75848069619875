// Which subtitle a movie gets (a file beside it, a text track inside it, or none), and which of
// its sound tracks it plays.
#pragma once

#include "resources/WindowIds.h"
#include "framework/Worker.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
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
// its last full stop, whatever the case of the name on disk); empty when none does. It looks
// at the disk: off the window's thread.
std::wstring SubtitleFileBeside(const std::wstring& movie,
                                const std::function<bool(const std::wstring&)>& exists = {});
// The file beside the movie (SubtitleFileBeside's), else the text track marked default, else a
// text track in Korean; else none.
Subtitle ChooseSubtitleAmong(const std::wstring& fileBeside,
                             const std::vector<SubtitleTrack>& tracks);
// Both in one, for what may wait on the disk.
Subtitle ChooseSubtitle(const std::wstring& movie, const std::vector<SubtitleTrack>& tracks,
                        const std::function<bool(const std::wstring&)>& exists = {});
// The sound track of the subtitles' rule: the one marked default, else one in Korean, else the
// first. -1 when identification lists fewer than two: there is nothing to choose.
int ChooseAudioTrack(const std::vector<AudioTrack>& tracks);

// What tells one version of a file from another: a movie changed or replaced differs in one of
// these; one that is gone has none.
struct FileStamp {
    bool found = false;
    ULONGLONG size = 0, written = 0, created = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const std::wstring& path);

// The look for a subtitle file beside a movie, and at the movie itself, made on a thread of its
// own while the window goes on answering: on a share that dropped it takes as long as the
// system takes to say so.
class CSubtitleLookup {
public:
    // Posted to the owner given to Start once the look is done.
    static constexpr UINT kDoneMessage = window_ids::kSubtitleLooked;

    // Starts looking beside the movie; what an earlier look finds is dropped.
    void Start(const std::wstring& movie, HWND owner = nullptr);
    bool Done() const { return m_state && m_state->done; }
    // The file found, once Done; empty when there is none.
    std::wstring File() const { return Done() ? m_state->file : std::wstring(); }
    // The movie as the look found it, once Done.
    FileStamp Stamp() const { return Done() ? m_state->stamp : FileStamp(); }

private:
    struct State {
        std::atomic<bool> done{false};
        std::wstring file;
        FileStamp stamp;
    };
    std::shared_ptr<State> m_state;
    CWorker m_worker;
};
