// Burning subtitles with ffmpeg: the script and the font go into a folder of their own, from
// which ffmpeg runs the "ass" filter by relative names (no escaping of drive letters, blanks or
// Hangul inside filter options).
#pragma once

#include "Options.h"
#include "Subtitles.h"

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
    std::wstring codePage = L"cp949"; // -subcp
    std::wstring font = {};           // -font
    // The line the engines print once it is burnt in.
    std::string Note() const;
};
// The file of -sub.
SubtitleChoice ChosenSubtitles(const Options& options);

class SubtitleJob {
public:
    SubtitleJob() = default;
    SubtitleJob(SubtitleJob&& other) noexcept;
    SubtitleJob& operator=(SubtitleJob&& other) noexcept;
    SubtitleJob(const SubtitleJob&) = delete;
    SubtitleJob& operator=(const SubtitleJob&) = delete;
    ~SubtitleJob();

    // False (and no filter) when there is nothing to burn: no such file, no cue.
    bool Prepare(const SubtitleChoice& choice, SubtitleStyle style);
    bool Ready() const { return !m_folder.empty(); }
    const std::wstring& Folder() const { return m_folder; }
    std::wstring Filter() const { return L"ass=subs.ass:fontsdir=fonts"; }

private:
    bool MakeFolder();
    bool WriteScript(const std::wstring& text, const std::wstring& fontFile, SubtitleStyle style);
    void Remove();

    std::wstring m_folder;
};
