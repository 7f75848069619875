// SubRip and WebVTT: blocks of a timing line and the cue's lines.
#include "Subtitles.h"

#include <cwctype>
#include <optional>
#include <utility>

using namespace subtitle_text;

namespace {

constexpr size_t npos = std::wstring_view::npos;

// "start --> end", and whatever follows (WebVTT's cue settings, SubRip's coordinates).
std::optional<std::pair<int, int>> Timing(std::wstring_view line) {
    size_t at = line.find_first_not_of(L" \t");
    if (at == npos)
        return std::nullopt;
    const std::optional<int> start = ClockTime(line, at);
    at = line.find_first_not_of(L" \t", at);
    if (!start || at == npos || line.substr(at, 3) != L"-->")
        return std::nullopt;
    at = line.find_first_not_of(L" \t", at + 3);
    if (at == npos)
        return std::nullopt;
    const std::optional<int> end = ClockTime(line, at);
    if (!end)
        return std::nullopt;
    return std::pair{*start, *end};
}

bool IsNumber(std::wstring_view line) {
    const std::wstring trimmed = Trim(line);
    return !trimmed.empty() && trimmed.find_first_not_of(L"0123456789") == npos;
}

// Lines outside a cue (numbers, the header, notes, a block whose timing cannot be read) are
// skipped.
std::vector<Cue> ParseTimedBlocks(const std::wstring& text, Markup markup) {
    std::vector<Cue> cues;
    std::optional<std::pair<int, int>> timing;
    std::vector<std::wstring_view> body;
    auto close = [&] {
        if (timing && timing->second > timing->first) {
            std::wstring marked;
            for (std::wstring_view line : body)
                marked.append(marked.empty() ? L"" : L"\n").append(line);
            std::wstring event = EventText(marked, markup);
            if (!event.empty())
                cues.push_back({timing->first, timing->second, std::move(event)});
        }
        timing.reset();
        body.clear();
    };
    for (std::wstring_view line : Lines(text)) {
        if (const auto next = Timing(line)) {
            // Without the blank line before it, the cue's number is the last line read.
            if (!body.empty() && IsNumber(body.back()))
                body.pop_back();
            close();
            timing = next;
        } else if (IsBlank(line)) {
            close();
        } else if (timing) {
            body.push_back(line);
        }
    }
    close();
    return cues;
}

} // namespace

std::optional<int> ClockTime(std::wstring_view text, size_t& at) {
    long long parts[3] = {};
    int count = 0;
    for (;;) {
        if (at >= text.size() || !std::iswdigit(text[at]) || count == 3)
            return std::nullopt;
        long long value = 0;
        for (int digits = 0; at < text.size() && std::iswdigit(text[at]); ++at)
            if (++digits <= 9)
                value = value * 10 + (text[at] - L'0');
        parts[count++] = value;
        if (at < text.size() && text[at] == L':') {
            ++at;
            continue;
        }
        break;
    }
    if (count < 2)
        return std::nullopt;
    long long fraction = 0;
    if (at < text.size() && (text[at] == L',' || text[at] == L'.')) {
        int digits = 0;
        for (++at; at < text.size() && std::iswdigit(text[at]); ++at)
            if (++digits <= 3)
                fraction = fraction * 10 + (text[at] - L'0');
        for (; digits < 3; ++digits)
            fraction *= 10;
    }
    const long long hours = count == 3 ? parts[0] : 0, minutes = parts[count - 2],
                    seconds = parts[count - 1];
    if (minutes >= 60 || seconds >= 60 || hours > 500)
        return std::nullopt;
    return static_cast<int>(((hours * 60 + minutes) * 60 + seconds) * 1000 + fraction);
}

std::vector<Cue> ParseSubRip(const std::wstring& text) {
    return ParseTimedBlocks(text, Markup::SubRip);
}

std::vector<Cue> ParseWebVtt(const std::wstring& text) {
    return ParseTimedBlocks(text, Markup::WebVtt);
}

bool IsTiming(std::wstring_view line) {
    return Timing(line).has_value();
}
