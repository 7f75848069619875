// CRedirMediaInfo: runs the player in identify mode, collects all it prints and reads the
// picture size, frame rate and length from the collected text. Tells its owner, if it has one,
// that the player's output has ended (kEndedMessage, marked with the run's number).
#pragma once

#include "resources/WindowIds.h"
#include "Redirector.h"

#include "Subtitle.h"

#include <string>
#include <vector>

class CRedirMediaInfo : public CRedirector {
public:
    static constexpr UINT kEndedMessage = window_ids::kIdentifyEnded;
    // A player that has not identified a file by then never will.
    static constexpr DWORD kIdentifyBoundMs = 11500;

    ~CRedirMediaInfo() override;
    void WriteStdOut(const wchar_t* text) override;
    void WriteStdError(const wchar_t* text) override;

    // The player's command line that identifies a source; programFolder ends with a backslash.
    static std::wstring IdentifyCommand(const std::wstring& programFolder,
                                        const std::wstring& source);

    // Clears the facts, the collected text and m_bExited before a run, which reports to owner
    // (nullptr: to nobody). Call only while no run is open.
    void Reset(HWND owner = nullptr);
    // The player has ended and all it printed is collected (or its output can no longer come).
    bool Finished() const { return m_bExited || !Reading(); }
    // Reads the four facts and the subtitle and sound tracks from the collected text; a missing key
    // leaves its fact unchanged. Safe while the reader still appends: it parses what has
    // arrived so far.
    bool ParseMediaInfo();
    std::wstring Output() const;

    // Written by ParseMediaInfo on the owner's thread.
    int m_nDuration = 0;
    int m_nWidth = 0;
    int m_nHeight = 0;
    double m_dFps = 0.0;
    std::vector<SubtitleTrack> m_subtitleTracks;
    std::vector<AudioTrack> m_audioTracks;
    // Set on the reader thread once the end marker has been collected.
    std::atomic<bool> m_bExited{false};

private:
    // The reader appends while an owner that stopped waiting may already parse.
    mutable std::mutex m_outputLock;
    std::wstring m_strOutput;
};
