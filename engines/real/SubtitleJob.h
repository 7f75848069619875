// Burning subtitles with ffmpeg: the script and the font go into a folder of their own, from
// which ffmpeg runs the "ass" filter by relative names (no escaping of drive letters, blanks or
// Hangul inside filter options).
#pragma once

#include "Description.h"
#include "Fonts.h"
#include "Options.h"
#include "Process.h"
#include "SubtitleSources.h"
#include "Subtitles.h"

#include <atomic>
#include <string>
#include <vector>

class SubtitleJob {
public:
    SubtitleJob() = default;
    SubtitleJob(SubtitleJob&& other) noexcept;
    SubtitleJob& operator=(SubtitleJob&& other) noexcept;
    SubtitleJob(const SubtitleJob&) = delete;
    SubtitleJob& operator=(const SubtitleJob&) = delete;
    ~SubtitleJob();

    // Tries the sources in turn and keeps the first that yields at least one cue: an empty,
    // unreadable or cue-less one falls through to the next. False (and no filter) when none
    // does. A track is copied out of the movie first, which reads all of it: cancel ends that
    // early.
    bool Prepare(const std::vector<SubtitleSource>& sources, const SubtitleChoice& choice,
                 const std::wstring& movie, const MediaFacts& facts, SubtitleStyle style,
                 const std::atomic<bool>* cancel = nullptr);
    // The source burnt, once prepared.
    const SubtitleSource& Burnt() const { return m_burnt; }
    bool Ready() const { return !m_folder.empty(); }
    const std::wstring& Folder() const { return m_folder; }
    std::wstring Filter() const { return L"ass=subs.ass:fontsdir=fonts"; }

private:
    bool MakeFolder();
    bool CopyTrack(const std::wstring& movie, const MediaFacts& facts, int n,
                   const std::atomic<bool>* cancel, std::string& bytes);
    bool WriteScript(const std::string& script, const std::wstring& fontFile);
    void Remove();

    std::wstring m_folder;
    SubtitleSource m_burnt;
};
