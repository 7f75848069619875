// CDemoRedirector: watches one run of the encoder. Keeps the percentage done, notices the two
// texts that mean the file cannot be converted, and posts kDoneMessage to its owner when the
// encoder's output ends, marked with the run's number (see CRedirector::ArmOwner).
#pragma once

#include "Redirector.h"

#include <string>

class CDemoRedirector : public CRedirector {
public:
    static constexpr UINT kDoneMessage = WM_APP + 3;
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

    std::atomic<int> m_nPercent{0};
    // True until an error text is seen.
    std::atomic<bool> m_bSucceeded{false};

private:
    // The end of the output so far, on the reader thread.
    std::wstring m_strTail;
};
