// CDemoRedirector: watches one run of the encoder. Keeps the percentage done, notices the two
// texts that mean the file cannot be converted, and posts kDoneMessage to its owner when the
// encoder's output ends.
#pragma once

#include "Redirector.h"

#include <string>

class CWnd;

class CDemoRedirector : public CRedirector {
public:
    static constexpr UINT kDoneMessage = WM_APP + 3;
    // The two texts with which the encoder gives up on a file.
    static constexpr const wchar_t* kDemuxerFailure = L"Cannot open demuxer.";
    static constexpr const wchar_t* kConvertFailure = L"Sorry,";

    ~CDemoRedirector() override;
    void WriteStdOut(const wchar_t* text) override;
    void WriteStdError(const wchar_t* text) override;

    // While null, output is ignored. Read on the reader thread.
    std::atomic<CWnd*> m_pOwner{nullptr};
    std::atomic<int> m_nPercent{0};
    // True until an error text is seen; the controller sets it before each file.
    std::atomic<bool> m_bSucceeded{false};

private:
    // The end of the output so far, on the reader thread.
    std::wstring m_strTail;
};
