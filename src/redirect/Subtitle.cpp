#include "Subtitle.h"

#include "framework/Paths.h"

#include <algorithm>
#include <cwctype>

namespace {

constexpr const wchar_t* kExtensions[] = {L".smi", L".srt", L".ass", L".ssa", L".vtt"};

bool IsFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(LongPathForm(path).c_str());
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

Subtitle ChooseSubtitle(const std::wstring& movie, const std::vector<SubtitleTrack>& tracks,
                        const std::function<bool(const std::wstring&)>& exists) {
    const size_t stop = movie.rfind(L'.');
    const std::wstring stem = stop == std::wstring::npos ? std::wstring() : movie.substr(0, stop);
    for (const wchar_t* extension : kExtensions) {
        const std::wstring file = stem + extension;
        if (exists ? exists(file) : IsFile(file))
            return {Subtitle::Kind::File, file, -1};
    }
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
