#include "Subtitle.h"

#include "framework/Paths.h"
#include "framework/Seam.h"

#include <algorithm>
#include <cwctype>

namespace {

constexpr const wchar_t* kExtensions[] = {L".smi", L".srt", L".ass", L".ssa", L".vtt"};

bool IsFile(const std::wstring& path) {
    const DWORD attributes = Seam().FileAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsKorean(std::wstring language) {
    for (wchar_t& c : language)
        c = static_cast<wchar_t>(std::towlower(c));
    return language == L"kor" || language == L"ko" || language.rfind(L"ko-", 0) == 0;
}

} // namespace

bool Subtitle::Classic() const {
    if (kind == Kind::None)
        return true;
    return kind == Kind::File && file.size() >= 4 &&
           _wcsicmp(file.c_str() + file.size() - 4, L".smi") == 0;
}

std::wstring SubtitleFileBeside(const std::wstring& movie,
                                const std::function<bool(const std::wstring&)>& exists) {
    const size_t stop = movie.rfind(L'.');
    const std::wstring stem = stop == std::wstring::npos ? std::wstring() : movie.substr(0, stop);
    for (const wchar_t* extension : kExtensions) {
        const std::wstring file = stem + extension;
        if (exists ? exists(file) : IsFile(file))
            return file;
    }
    return {};
}

Subtitle ChooseSubtitleAmong(const std::wstring& fileBeside,
                             const std::vector<SubtitleTrack>& tracks) {
    if (!fileBeside.empty())
        return {Subtitle::Kind::File, fileBeside, -1};
    const auto text = [](const SubtitleTrack& t) { return t.text; };
    auto chosen = std::find_if(tracks.begin(), tracks.end(),
                               [&](const SubtitleTrack& t) { return text(t) && t.isDefault; });
    if (chosen == tracks.end())
        chosen = std::find_if(tracks.begin(), tracks.end(), [&](const SubtitleTrack& t) {
            return text(t) && IsKorean(t.language);
        });
    if (chosen == tracks.end())
        return {};
    return {Subtitle::Kind::Track, {}, chosen->id};
}

int ChooseAudioTrack(const std::vector<AudioTrack>& tracks) {
    if (tracks.size() < 2)
        return -1;
    auto chosen =
        std::find_if(tracks.begin(), tracks.end(), [](const AudioTrack& t) { return t.isDefault; });
    if (chosen == tracks.end())
        chosen = std::find_if(tracks.begin(), tracks.end(),
                              [](const AudioTrack& t) { return IsKorean(t.language); });
    return chosen == tracks.end() ? tracks.front().id : chosen->id;
}

Subtitle ChooseSubtitle(const std::wstring& movie, const std::vector<SubtitleTrack>& tracks,
                        const std::function<bool(const std::wstring&)>& exists) {
    return ChooseSubtitleAmong(SubtitleFileBeside(movie, exists), tracks);
}

FileStamp StampOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(LongPathForm(path).c_str(), GetFileExInfoStandard, &data))
        return {};
    const auto join = [](DWORD high, DWORD low) { return ULONGLONG{high} << 32 | low; };
    return {true, join(data.nFileSizeHigh, data.nFileSizeLow),
            join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime),
            join(data.ftCreationTime.dwHighDateTime, data.ftCreationTime.dwLowDateTime)};
}

void CSubtitleLookup::Start(const std::wstring& movie, HWND owner) {
    m_state = std::make_shared<State>();
    m_worker.Post([state = m_state, movie, owner] {
        state->stamp = StampOf(movie);
        state->file = SubtitleFileBeside(movie);
        state->done = true;
        if (owner)
            ::PostMessageW(owner, kDoneMessage, 0, 0);
    });
}
