#include "DemoRedirector.h"

#include "NumberText.h"

#include <cwchar>
#include <string>
#include <string_view>
#include <utility>

CDemoRedirector::~CDemoRedirector() {
    // Stop the reader before this part of the object goes, as it calls WriteStdOut.
    Close();
}

void CDemoRedirector::WriteStdError(const wchar_t* text) {
    ForwardErrorToOutput(text);
}

namespace {
// How much of a long run's output the report keeps: its end, where the failure is told.
constexpr size_t kKeptOutput = 64 * 1024;
constexpr std::wstring_view kFailureKey = L"ID_FAILURE=";
constexpr std::wstring_view kKeptAsKey = L"ID_KEPT_AS=";

std::wstring Trimmed(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t\r");
    return first == std::wstring::npos
               ? std::wstring()
               : text.substr(first, text.find_last_not_of(L" \t\r") - first + 1);
}
} // namespace

void CDemoRedirector::Arm(HWND owner) {
    ArmOwner(nullptr);
    m_nPercent = 0;
    m_bSucceeded = true;
    m_strTail.clear();
    m_strLine.clear();
    m_strStatus.clear();
    m_bCarriageReturn = false;
    m_bProgressTold = false;
    {
        std::lock_guard guard(m_reportLock);
        m_report = {};
    }
    ArmOwner(owner);
}

EncoderReport CDemoRedirector::Report() const {
    std::lock_guard guard(m_reportLock);
    return m_report;
}

void CDemoRedirector::TakeLines(const wchar_t* text) {
    for (const wchar_t* c = text; *c; ++c) {
        // A status line ends in a CR alone and is written over by the next, as a console shows
        // it; the last one before a line stays. A CR LF ends a line as a LF does. The two may
        // come in different chunks.
        if (std::exchange(m_bCarriageReturn, false) && *c != L'\n' && !m_strLine.empty())
            m_strStatus = std::exchange(m_strLine, {});
        if (*c == L'\n') {
            TakeLine(std::exchange(m_strLine, {}));
        } else if (*c == L'\r') {
            m_bCarriageReturn = true;
        } else if (m_strLine.size() < 4096) {
            m_strLine += *c;
        }
    }
}

void CDemoRedirector::TakeLine(const std::wstring& line) {
    std::lock_guard guard(m_reportLock);
    EncoderReport& r = m_report;
    if (!m_strStatus.empty())
        r.output += std::exchange(m_strStatus, {}) + L"\n";
    r.output += line + L"\n";
    if (r.output.size() > kKeptOutput)
        r.output.erase(0, r.output.size() - kKeptOutput / 2);
    const std::wstring trimmed = Trimmed(line);
    if (trimmed.rfind(kFailureKey, 0) == 0)
        r.failureKey = trimmed.substr(kFailureKey.size());
    else if (trimmed.rfind(kKeptAsKey, 0) == 0)
        r.keptAs = trimmed.substr(kKeptAsKey.size());
    else if (trimmed.find(kDemuxerFailure) != std::wstring::npos ||
             trimmed.find(kConvertFailure) != std::wstring::npos)
        r.failureLine = trimmed;
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

    const bool ended = s.find(L"<EXIT>") != std::wstring::npos;
    if (!ended)
        TakeLines(text);
    if (ended) {
        m_strTail.clear(); // the run is over; the next one starts afresh
        if (!m_strLine.empty() || !m_strStatus.empty())
            TakeLine(std::exchange(m_strLine, {}));
        NotifyOwner(kDoneMessage);
    }

    // The status line shows the share done as "( 7%)": only the first bracket counts, and
    // at most two characters may stand between it and the percent sign.
    size_t open = s.find(L'(');
    if (open == std::wstring::npos)
        return;
    size_t percent = s.find(L'%', open);
    if (percent != std::wstring::npos && percent - open >= 1 && percent - open <= 3) {
        m_nPercent = ReadInt(std::wstring_view(s).substr(open + 1, percent - open - 1));
        if (!m_bProgressTold.exchange(true))
            NotifyOwner(kProgressMessage);
    }
}
