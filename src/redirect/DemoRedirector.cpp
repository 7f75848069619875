#include "DemoRedirector.h"

#include "NumberText.h"

#include <cwchar>
#include <string>

CDemoRedirector::~CDemoRedirector() {
    // Stop the reader before this part of the object goes, as it calls WriteStdOut.
    Close();
}

void CDemoRedirector::WriteStdError(const wchar_t* text) {
    ForwardErrorToOutput(text);
}

void CDemoRedirector::Arm(HWND owner) {
    ArmOwner(nullptr);
    m_nPercent = 0;
    m_bSucceeded = true;
    m_strTail.clear();
    ArmOwner(owner);
}

void CDemoRedirector::WriteStdOut(const wchar_t* text) {
    // One buffer per delivering thread: error texts may arrive on the owner's thread.
    thread_local std::wstring s;
    s.assign(text);
    s += L'\n';

    if (!HasOwner())
        return;

    // The pipe is read in pieces of any length, so a failure text may straddle two of them:
    // the end of the previous piece is searched with this one.
    const std::wstring joined = m_strTail + text;
    if (joined.find(kDemuxerFailure) != std::wstring::npos ||
        joined.find(kConvertFailure) != std::wstring::npos)
        m_bSucceeded = false;
    const size_t keep = std::wcslen(kDemuxerFailure) - 1;
    m_strTail = joined.size() > keep ? joined.substr(joined.size() - keep) : joined;

    if (s.find(L"<EXIT>") != std::wstring::npos) {
        m_strTail.clear(); // the run is over; the next one starts afresh
        NotifyOwner(kDoneMessage);
    }

    // The status line shows the share done as "( 7%)": only the first bracket counts, and
    // at most two characters may stand between it and the percent sign.
    size_t open = s.find(L'(');
    if (open == std::wstring::npos)
        return;
    size_t percent = s.find(L'%', open);
    if (percent != std::wstring::npos && percent - open >= 1 && percent - open <= 3)
        m_nPercent = ReadInt(std::wstring_view(s).substr(open + 1, percent - open - 1));
}
