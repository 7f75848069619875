// CRedirMPlayer: watches one run of the preview player. Reports the opened video output
// (kVideoOpenedMessage, once per run), a failed video output (VideoOutOk), the playing
// position in whole seconds and the player's end (Exited, then kEndedMessage, once per
// run). Both messages carry the run's number (see CRedirector::ArmOwner).
#pragma once

#include "resources/WindowIds.h"
#include "Redirector.h"

#include <string>

class CRedirMPlayer : public CRedirector {
public:
    static constexpr UINT kVideoOpenedMessage = window_ids::kPlayerVideoOpened;
    static constexpr UINT kEndedMessage = window_ids::kPlayerEnded;

    ~CRedirMPlayer() override;
    void WriteStdOut(const wchar_t* text) override;
    void WriteStdError(const wchar_t* text) override;

    // Resets every field for a new run, then sets the owner. Call only while no run is open.
    void Arm(HWND owner);
    // The text collected since the last status line that carried a position. Reader thread
    // only while a run is open.
    const std::wstring& Output() const { return m_strOutput; }

    bool VideoOutOpened() const { return m_bVideoOutOpened; }
    // The picture's size as the opened output shows it (its aspect applied); 0 when it did not
    // say.
    int PictureWidth() const { return m_nPictureWidth; }
    int PictureHeight() const { return m_nPictureHeight; }
    // False once the output said it failed.
    bool VideoOutOk() const { return m_bVideoOutOk; }
    // The playing position in whole seconds; 0 before the first status line.
    int Position() const { return m_nPosition; }
    bool Exited() const { return m_bExited; }

private:
    void EmptyOutput();
    // Sees the output open once its line has come whole; the text up to a status line or the
    // end counts as whole.
    void SeeVideoOutput(bool lineEnds);
    void ReadPictureSize(std::wstring_view line);
    bool Eager() const override { return !m_bVideoOutOpened && !m_bExited; }

    // Written on the reader thread, read on the owner's.
    std::atomic<bool> m_bVideoOutOpened{false};
    std::atomic<int> m_nPictureWidth{0}, m_nPictureHeight{0};
    std::atomic<int> m_nPosition{0};
    std::atomic<bool> m_bExited{false};
    std::atomic<bool> m_bVideoOutOk{false};

    std::wstring m_strOutput;
    // Searches look only at what arrived since the text was last searched, so the cost stays
    // linear in the output; what they find is the same as searching the whole text.
    size_t m_nSearched = 0;
    bool m_bEndInOutput = false;
    // Where the video output's line starts, while its end is awaited.
    size_t m_nVideoOutAt = std::wstring::npos;
};
