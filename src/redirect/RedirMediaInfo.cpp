#include "RedirMediaInfo.h"

#include "NumberText.h"
#include "TextSearch.h"
#include "framework/String.h"

#include <algorithm>

namespace {

constexpr std::wstring_view kWidthKey = L"ID_VIDEO_WIDTH=";
constexpr std::wstring_view kHeightKey = L"ID_VIDEO_HEIGHT=";
constexpr std::wstring_view kFpsKey = L"ID_VIDEO_FPS=";
constexpr std::wstring_view kLengthKey = L"ID_LENGTH=";
// A number is read from its key up to this many characters past the next full stop.
constexpr size_t kPastFullStop = 23;

std::wstring_view Range(std::wstring_view text, size_t from, size_t count) {
    if (from >= text.size())
        return {};
    return text.substr(from, count);
}

// The characters right after the key up to 23 past the first full stop after it, when there
// is such a full stop (it may belong to a later line).
bool RangeToFullStop(std::wstring_view text, size_t key, size_t keyLength,
                     std::wstring_view& range) {
    size_t stop = text.find(L'.', key);
    if (stop == std::wstring_view::npos)
        return false;
    size_t from = key + keyLength; // the key holds no full stop, so from <= stop
    range = Range(text, from, stop + kPastFullStop + 1 - from);
    return true;
}

// The value of the line that begins with key, when there is one.
bool LineValue(std::wstring_view text, std::wstring_view key, std::wstring& value) {
    for (size_t at = text.find(key); at != text.npos; at = text.find(key, at + 1)) {
        if (at != 0 && text[at - 1] != L'\n' && text[at - 1] != L'\r')
            continue;
        const size_t from = at + key.size();
        const size_t end = text.find_first_of(L"\r\n", from);
        value = std::wstring(text.substr(from, end == text.npos ? text.npos : end - from));
        return true;
    }
    return false;
}

// "<open>N" opens a track (once however often it is printed, when once); the lines
// "<prefix>N_LANG" and "<prefix>N_DEFAULT" describe it, and describe reads what else its kind has.
template <class Track, class Describe>
std::vector<Track> Tracks(std::wstring_view text, std::wstring_view open, const wchar_t* prefix,
                          bool once, Describe describe) {
    std::vector<Track> tracks;
    std::wstring value;
    for (size_t at = text.find(open); at != text.npos; at = text.find(open, at + 1)) {
        Track track;
        track.id = ReadInt(text.substr(at + open.size(), 6));
        if (once && std::any_of(tracks.begin(), tracks.end(),
                                [&](const Track& t) { return t.id == track.id; }))
            continue;
        const std::wstring keys = prefix + std::to_wstring(track.id) + L"_";
        if (LineValue(text, keys + L"LANG=", value))
            track.language = value;
        track.isDefault = LineValue(text, keys + L"DEFAULT=", value) && value == L"1";
        describe(track, keys);
        tracks.push_back(track);
    }
    return tracks;
}

std::vector<SubtitleTrack> SubtitleTracks(std::wstring_view text) {
    return Tracks<SubtitleTrack>(text, L"ID_SUBTITLE_ID=", L"ID_SID_", false,
                                 [text](SubtitleTrack& track, const std::wstring& keys) {
                                     // Without a type (the MPlayer project's own player prints
                                     // none) a track counts as text.
                                     std::wstring type;
                                     track.text =
                                         !LineValue(text, keys + L"TYPE=", type) || type == L"text";
                                 });
}

std::vector<AudioTrack> AudioTracks(std::wstring_view text) {
    return Tracks<AudioTrack>(text, L"ID_AUDIO_ID=", L"ID_AID_", true,
                              [](AudioTrack&, const std::wstring&) {});
}

} // namespace

std::wstring CRedirMediaInfo::IdentifyCommand(const std::wstring& programFolder,
                                              const std::wstring& source) {
    return FormatString(
        L"\"%sbin\\mplayer.exe\" -nosound -vo null -frames 1 -really-quiet -identify \"%s\"",
        programFolder.c_str(), source.c_str());
}

CRedirMediaInfo::~CRedirMediaInfo() {
    Close();
}

void CRedirMediaInfo::WriteStdError(const wchar_t* text) {
    ForwardErrorToOutput(text);
}

void CRedirMediaInfo::WriteStdOut(const wchar_t* text) {
    std::lock_guard guard(m_outputLock);
    size_t searched = m_strOutput.size();
    m_strOutput += text;
    if (FoundSince(m_strOutput, searched, L"<EXIT>") && !m_bExited.exchange(true))
        NotifyOwner(kEndedMessage);
}

void CRedirMediaInfo::Reset(HWND owner) {
    ArmOwner(nullptr);
    m_dFps = 0.0;
    m_nDuration = m_nWidth = m_nHeight = 0;
    m_subtitleTracks.clear();
    m_audioTracks.clear();
    {
        std::lock_guard guard(m_outputLock);
        m_strOutput.clear();
    }
    m_bExited = false;
    ArmOwner(owner);
}

std::wstring CRedirMediaInfo::Output() const {
    std::lock_guard guard(m_outputLock);
    return m_strOutput;
}

bool CRedirMediaInfo::ParseMediaInfo() {
    const std::wstring output = Output();
    const std::wstring_view text = output;

    if (size_t i = text.find(kWidthKey); i != text.npos)
        m_nWidth = ReadInt(Range(text, i + kWidthKey.size(), 4));
    if (size_t i = text.find(kHeightKey); i != text.npos)
        m_nHeight = ReadInt(Range(text, i + kHeightKey.size(), 4));
    std::wstring_view range;
    if (size_t i = text.find(kFpsKey);
        i != text.npos && RangeToFullStop(text, i, kFpsKey.size(), range))
        m_dFps = ReadDouble(range);
    if (size_t i = text.find(kLengthKey);
        i != text.npos && RangeToFullStop(text, i, kLengthKey.size(), range))
        m_nDuration = ReadInt(range);
    m_subtitleTracks = SubtitleTracks(text);
    m_audioTracks = AudioTracks(text);
    return true;
}
