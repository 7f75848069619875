#include "RedirMPlayer.h"

#include "NumberText.h"
#include "TextSearch.h"

namespace {

constexpr std::wstring_view kVoFailed =
    L"Error opening/initializing the selected video_out (-vo) device.";
constexpr std::wstring_view kNoColorspace = L"Could not find matching colorspace";
constexpr std::wstring_view kVoOpened = L"VO: [";
constexpr std::wstring_view kEnd = L"<EXIT>";
// The video clock stands right-aligned after "V:"; five characters hold its whole seconds.
constexpr size_t kClockOffset = 2;
constexpr size_t kClockChars = 5;

} // namespace

CRedirMPlayer::~CRedirMPlayer() {
    Close();
}

void CRedirMPlayer::WriteStdError(const wchar_t* text) {
    ForwardErrorToOutput(text);
}

void CRedirMPlayer::Arm(HWND owner) {
    ArmOwner(nullptr);
    m_bVideoOutOpened = false;
    m_nPictureWidth = m_nPictureHeight = 0;
    m_nPosition = 0;
    m_bExited = false;
    m_bVideoOutOk = true;
    EmptyOutput();
    ArmOwner(owner);
}

void CRedirMPlayer::EmptyOutput() {
    m_strOutput.clear();
    m_nSearched = 0;
    m_bEndInOutput = false;
    m_nVideoOutAt = std::wstring::npos;
}

void CRedirMPlayer::SeeVideoOutput(bool lineEnds) {
    if (m_bVideoOutOpened)
        return;
    if (m_nVideoOutAt == std::wstring::npos)
        m_nVideoOutAt = FindSince(m_strOutput, m_nSearched, kVoOpened);
    if (m_nVideoOutAt == std::wstring::npos)
        return;
    // The size stands at the line's end, which a pipe may hand over in a later chunk.
    const std::wstring_view line = std::wstring_view(m_strOutput).substr(m_nVideoOutAt);
    if (!lineEnds && line.find_first_of(L"\r\n", std::max(m_nSearched, m_nVideoOutAt) -
                                                     m_nVideoOutAt) == line.npos)
        return;
    ReadPictureSize(line);
    m_bVideoOutOpened = true;
    NotifyOwner(kVideoOpenedMessage);
}

// "VO: [driver] 720x480 => 720x540 ...": the size after the arrow is the one shown.
void CRedirMPlayer::ReadPictureSize(std::wstring_view line) {
    line = line.substr(0, line.find_first_of(L"\r\n"));
    const size_t arrow = line.find(L"=>");
    size_t at = arrow != line.npos ? arrow + 2 : line.find(L"] ");
    if (at == line.npos)
        return;
    line = line.substr(at + 1);
    const size_t x = line.find(L'x');
    if (x == line.npos)
        return;
    m_nPictureWidth = ReadInt(line.substr(0, x));
    m_nPictureHeight = ReadInt(line.substr(x + 1));
}

void CRedirMPlayer::WriteStdOut(const wchar_t* text) {
    m_strOutput += text;
    thread_local std::wstring s;
    s.assign(text);
    s += L'\n';

    if (!HasOwner())
        return;

    if (FoundSince(m_strOutput, m_nSearched, kVoFailed) ||
        FoundSince(m_strOutput, m_nSearched, kNoColorspace))
        m_bVideoOutOk = false;
    const size_t v = s.find(L"V:");
    SeeVideoOutput(v != std::wstring::npos || s.find(kEnd) != std::wstring::npos);

    if (v != std::wstring::npos) {
        int position = ReadInt(std::wstring_view(s).substr(v + kClockOffset, kClockChars));
        if (position > 0)
            m_nPosition = position;
        EmptyOutput();
    }

    if (!m_bEndInOutput)
        m_bEndInOutput = FoundSince(m_strOutput, m_nSearched, kEnd);
    m_nSearched = m_strOutput.size();
    // The flag first: whoever handles the message may look at it.
    if (m_bEndInOutput && !m_bExited.exchange(true))
        NotifyOwner(kEndedMessage);
}
