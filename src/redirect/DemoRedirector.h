// CDemoRedirector: watches one run of the encoder. Keeps the percentage done, notices the two
// texts that mean the file cannot be converted, and posts kDoneMessage to its owner when the
// encoder's output ends, and kProgressMessage when its first share done is read, both marked
// with the run's number (see CRedirector::ArmOwner).
#pragma once

#include "resources/WindowIds.h"
#include "Redirector.h"

#include <mutex>
#include <string>

// What the encoder said of how its run ended, complete once its output has ended.
struct EncoderReport {
    // The last line with a failure text, trimmed ("Sorry, the disk is full.").
    std::wstring failureLine;
    // The cause it names for Quelvox's own words ("ID_FAILURE=CUT 12.3" gives "CUT 12.3").
    std::wstring failureKey;
    // The name the new movie was kept under, an earlier one being held ("ID_KEPT_AS=").
    std::wstring keptAs;
    // What it printed, as a console shows it: each status line only as it stood last, and of
    // a long run the end.
    std::wstring output;
};

class CDemoRedirector : public CRedirector {
public:
    static constexpr UINT kDoneMessage = window_ids::kEncoderDone;
    // The window shows the first share done as it comes; the later ones with its clock.
    static constexpr UINT kProgressMessage = window_ids::kEncoderProgress;
    // The two texts with which the encoder gives up on a file.
    static constexpr const wchar_t* kDemuxerFailure = L"Cannot open demuxer.";
    static constexpr const wchar_t* kConvertFailure = L"Sorry,";

    // The encoder, and the programs it starts, run below normal priority: a long queue must
    // not make the desktop crawl.
    CDemoRedirector() { m_dwPriorityClass = BELOW_NORMAL_PRIORITY_CLASS; }
    ~CDemoRedirector() override;
    void WriteStdOut(const wchar_t* text) override;
    void WriteStdError(const wchar_t* text) override;

    // Starts a new run that reports to owner (nullptr: output is ignored), with no share
    // done and no failure seen. Call only while no run is open.
    void Arm(HWND owner);

    // Read once the run's end message has come.
    EncoderReport Report() const;

    int Percent() const { return m_nPercent; }
    // True from Arm until an error text is seen.
    bool Succeeded() const { return m_bSucceeded; }
    // The run made its movie: all of it is done, whatever the last status line said.
    void MarkComplete() { m_nPercent = 100; }

private:
    // Written on the reader thread, read on the owner's.
    std::atomic<int> m_nPercent{0};
    std::atomic<bool> m_bSucceeded{false};
    void TakeLines(const wchar_t* text);
    void TakeLine(const std::wstring& line);

    // The end of the output so far, on the reader thread.
    std::wstring m_strTail;
    // The line being received, and the report so far; the reader writes them, the owner reads
    // the report.
    std::wstring m_strLine;
    // The last status line, kept until a line follows it.
    std::wstring m_strStatus;
    bool m_bCarriageReturn = false;
    // The first share done of the run has been told.
    std::atomic<bool> m_bProgressTold{false};
    bool Eager() const override { return !m_bProgressTold; }
    mutable std::mutex m_reportLock;
    EncoderReport m_report;
};
