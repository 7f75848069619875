// Why a file was not converted, in the words the log gives after its result.
#include "Conversion.h"

#include "framework/String.h"
#include "resources/resource.h"

#include <cwchar>

namespace convert {

namespace {

// "12:31" or "1:02:03" for a position in seconds.
std::wstring Clock(double seconds) {
    const auto whole = static_cast<unsigned>(seconds < 0 ? 0 : seconds);
    return whole >= 3600 ? FormatString(L"%u:%02u:%02u", whole / 3600, whole / 60 % 60, whole % 60)
                         : FormatString(L"%u:%02u", whole / 60, whole % 60);
}

bool KeyIs(const std::wstring& key, const wchar_t* name) {
    const size_t length = std::wcslen(name);
    return key.compare(0, length, name) == 0 && (key.size() == length || key[length] == L' ');
}

} // namespace

std::wstring FailureReason(const EncoderReport& report, std::optional<DWORD> exitCode) {
    const std::wstring& key = report.failureKey;
    if (KeyIs(key, L"CUT"))
        return FormatString(LoadResString(IDS_REASON_CUT).c_str(),
                            Clock(_wtof(key.c_str() + 3)).c_str());
    static const struct {
        const wchar_t* key;
        UINT text;
    } kKeys[] = {{L"DISK_FULL", IDS_REASON_DISK_FULL},
                 {L"STALL", IDS_REASON_STALLED},
                 {L"HELD", IDS_REASON_HELD},
                 {L"BUSY", IDS_REASON_BUSY}};
    for (const auto& known : kKeys)
        if (KeyIs(key, known.key))
            return LoadResString(known.text);
    if (report.failureLine.find(CDemoRedirector::kDemuxerFailure) != std::wstring::npos)
        return LoadResString(IDS_REASON_UNREADABLE);
    if (!report.failureLine.empty())
        return report.failureLine;
    if (!exitCode)
        return LoadResString(IDS_REASON_NO_END);
    return FormatString(LoadResString(IDS_REASON_ENDED).c_str(), static_cast<unsigned>(*exitCode));
}

std::wstring UnsupportedReason(const CRedirMediaInfo& info, bool timedOut) {
    if (timedOut)
        return LoadResString(IDS_REASON_SLOW);
    if (info.Output().find(L"ID_") == std::wstring::npos)
        return LoadResString(IDS_REASON_NOT_READ);
    if (info.m_nWidth == 0)
        return LoadResString(IDS_REASON_NO_PICTURE);
    if (info.m_nDuration == 0)
        return LoadResString(IDS_REASON_NO_LENGTH);
    return LoadResString(IDS_REASON_NO_RATE);
}

} // namespace convert
