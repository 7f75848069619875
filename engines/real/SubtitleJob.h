// Burning subtitles with ffmpeg: the script and the font go into a folder of their own, from
// which ffmpeg runs the "ass" filter by relative names (no escaping of drive letters, blanks or
// Hangul inside filter options).
#pragma once

#include "Description.h"
#include "Options.h"
#include "Process.h"
#include "Subtitles.h"

#include <atomic>
#include <string>

// Family name of a TrueType or OpenType file (the first face of a collection); empty when the
// file is no font.
std::wstring FontFamily(const std::wstring& path);
// The font file to draw with: the one asked for when it is a font, else an installed one with
// Hangul.
std::wstring ChooseFont(const std::wstring& requested);

// What a command line asks to burn, and how it is read.
struct SubtitleChoice {
    std::wstring file;                // -sub: a SAMI, SubRip, ASS/SSA or WebVTT file
    int track = -1;                   // -sid: among the movie's subtitle tracks, counted from 0
    std::wstring codePage = L"cp949"; // -subcp
    std::wstring font = {};           // -font
    // The line the engines print once it is burnt in.
    std::string Note() const;
};
// -sub wins over -sid; a -sid that is no number chooses no track.
SubtitleChoice ChosenSubtitles(const Options& options);

class SubtitleJob {
public:
    SubtitleJob() = default;
    SubtitleJob(SubtitleJob&& other) noexcept;
    SubtitleJob& operator=(SubtitleJob&& other) noexcept;
    SubtitleJob(const SubtitleJob&) = delete;
    SubtitleJob& operator=(const SubtitleJob&) = delete;
    ~SubtitleJob();

    // False (and no filter) when there is nothing to burn: no such file or track, a track of
    // pictures, no cue. A track is copied out of the movie first, which reads all of it: cancel
    // ends that early.
    bool Prepare(const SubtitleChoice& choice, const std::wstring& movie, const MediaFacts& facts,
                 SubtitleStyle style, const std::atomic<bool>* cancel = nullptr);
    bool Ready() const { return !m_folder.empty(); }
    const std::wstring& Folder() const { return m_folder; }
    std::wstring Filter() const { return L"ass=subs.ass:fontsdir=fonts"; }

private:
    bool MakeFolder();
    bool CopyTrack(const std::wstring& movie, const MediaFacts& facts, int n,
                   const std::atomic<bool>* cancel, std::string& bytes);
    bool WriteScript(const std::wstring& text, const std::wstring& fontFile, SubtitleStyle style);
    void Remove();

    std::wstring m_folder;
};
