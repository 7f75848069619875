// Which reader a subtitle file's text is for: told by its content, whatever its extension.
#include "Subtitles.h"

using namespace subtitle_text;

namespace {

enum class Format { SubRip, WebVtt, Sami, Ass };

bool HasNoCase(std::wstring_view line, std::wstring_view lowerWord) {
    for (size_t at = line.find(L'<'); at != std::wstring_view::npos; at = line.find(L'<', at + 1))
        if (StartsWithNoCase(line, at, lowerWord))
            return true;
    return false;
}

// The first line that only one format has decides: WebVTT's header, a section of ASS, SAMI's
// tags, a timing line of SubRip.
Format FormatOf(const std::wstring& text) {
    bool first = true;
    for (std::wstring_view line : Lines(text)) {
        const size_t start = line.find_first_not_of(L" \t\uFEFF");
        if (start == std::wstring_view::npos)
            continue;
        if (first && StartsWithNoCase(line, start, L"webvtt"))
            return Format::WebVtt;
        first = false;
        const AssSection section = SectionOf(line);
        if (section != AssSection::None && section != AssSection::Other)
            return Format::Ass;
        if (HasNoCase(line, L"<sami") || HasNoCase(line, L"<sync"))
            return Format::Sami;
        if (IsTiming(line))
            return Format::SubRip;
    }
    return Format::SubRip;
}

} // namespace

std::string ScriptFor(const std::wstring& text, const SubtitleStyle& style) {
    std::vector<Cue> cues;
    switch (FormatOf(text)) {
    case Format::Ass:
        return RestyleAss(text, style);
    case Format::WebVtt:
        cues = ParseWebVtt(text);
        break;
    case Format::Sami:
        cues = ParseSami(text);
        break;
    case Format::SubRip:
        cues = ParseSubRip(text);
        break;
    }
    return cues.empty() ? std::string() : MakeAss(cues, style);
}
