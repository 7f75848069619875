#include "SubtitleSources.h"

#include "Process.h"
#include "common/Text.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cwctype>

namespace {

constexpr const wchar_t* kExtensions[] = {L".smi", L".srt", L".ass", L".ssa", L".vtt"};

bool IsKorean(std::string language) {
    for (char& c : language)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return language == "kor" || language == "ko" || language.rfind("ko-", 0) == 0;
}

// The movie's path without its extension.
std::wstring Stem(const std::wstring& movie) {
    const size_t stop = movie.find_last_of(L'.');
    const size_t slash = movie.find_last_of(L"\\/");
    return stop == std::wstring::npos || (slash != std::wstring::npos && stop < slash)
               ? movie
               : movie.substr(0, stop);
}

} // namespace

SubtitleChoice ChosenSubtitles(const Options& options) {
    SubtitleChoice choice;
    choice.file = options.Value(L"-sub");
    const std::wstring sid = options.Value(L"-sid");
    if (!sid.empty() && sid.size() < 6 &&
        std::all_of(sid.begin(), sid.end(), [](wchar_t c) { return std::iswdigit(c); }))
        choice.track = _wtoi(sid.c_str());
    choice.filesByName = !options.Has(L"-noautosub");
    choice.codePage = options.Value(L"-subcp", L"cp949");
    choice.font = options.Value(L"-font");
    return choice;
}

std::string SubtitleSource::Note() const {
    return file.empty() ? "SUB: Burning subtitle track " + std::to_string(track) + "\r\n"
                        : "SUB: Added subtitle file (1): " + UserText(file) + "\r\n";
}

std::vector<SubtitleSource> SubtitleCandidates(const SubtitleChoice& choice,
                                               const std::wstring& movie,
                                               const std::vector<SubtitleTrack>& tracks) {
    std::vector<SubtitleSource> sources;
    // The file system compares names without case, and so do we.
    auto addFile = [&](const std::wstring& file) {
        const std::wstring full = PathForFFmpeg(file);
        const bool listed = std::any_of(sources.begin(), sources.end(), [&](const auto& s) {
            return _wcsicmp(PathForFFmpeg(s.file).c_str(), full.c_str()) == 0;
        });
        if (!listed && FileExists(file))
            sources.push_back({file, -1});
    };
    if (!choice.file.empty())
        addFile(choice.file);
    if (choice.filesByName)
        for (const wchar_t* extension : kExtensions)
            addFile(Stem(movie) + extension);
    auto addTrack = [&](int n) {
        const bool listed = std::any_of(sources.begin(), sources.end(),
                                        [&](const auto& s) { return s.track == n; });
        if (n >= 0 && n < static_cast<int>(tracks.size()) && tracks[n].text && !listed)
            sources.push_back({L"", n});
    };
    // Each copy of a track reads the whole movie: the first of each kind only, as the program
    // chooses.
    auto first = [&](auto wanted) {
        const auto it = std::find_if(tracks.begin(), tracks.end(),
                                     [&](const SubtitleTrack& t) { return t.text && wanted(t); });
        return it == tracks.end() ? -1 : static_cast<int>(it - tracks.begin());
    };
    addTrack(choice.track);
    addTrack(first([](const SubtitleTrack& t) { return t.isDefault; }));
    addTrack(first([](const SubtitleTrack& t) { return IsKorean(t.language); }));
    return sources;
}
