// SAMI: syncs of paragraphs, each paragraph of a language class the style sheet describes.
#include "Subtitles.h"

#include <algorithm>
#include <climits>
#include <cwctype>
#include <optional>
#include <unordered_map>

using namespace subtitle_text;

namespace {

constexpr size_t npos = std::wstring::npos;

// A cue with nothing after it stays this long.
constexpr int kLastCueMs = 5000;

// A sync's start in milliseconds: its leading digits; none, or too many to hold, is no start.
std::optional<int> StartTime(const std::wstring& value) {
    size_t at = value.find_first_not_of(L" \t");
    if (at == npos || !std::iswdigit(value[at]))
        return std::nullopt;
    long long ms = 0;
    for (; at < value.size() && std::iswdigit(value[at]); ++at) {
        ms = ms * 10 + (value[at] - L'0');
        if (ms > INT_MAX - kLastCueMs)
            return std::nullopt;
    }
    return static_cast<int>(ms);
}

// Where the next paragraph of a sync's stretch [from, stretch's end) begins ("<p>",
// "<P Class=KRCC>").
size_t NextParagraph(std::wstring_view stretch, size_t from) {
    for (size_t at = stretch.find(L"<p", from); at != npos; at = stretch.find(L"<p", at + 2)) {
        if (at + 2 < stretch.size() && (stretch[at + 2] == L'>' || std::iswspace(stretch[at + 2])))
            return at;
    }
    return npos;
}

// A property of a rule of the style sheet: "{ name:korean; lang:ko-kr; }".
std::wstring_view RuleProperty(std::wstring_view rule, std::wstring_view key) {
    for (size_t at = rule.find(key); at != npos; at = rule.find(key, at + 1)) {
        if (at > 0 && std::iswalnum(rule[at - 1]))
            continue;
        const size_t colon = rule.find_first_not_of(L" \t\r\n", at + key.size());
        if (colon == npos || rule[colon] != L':')
            continue;
        const size_t end = std::min(rule.find_first_of(L";}", colon), rule.size());
        std::wstring_view value = rule.substr(colon + 1, end - colon - 1);
        value.remove_prefix(std::min(value.size(), value.find_first_not_of(L" \t\r\n")));
        return value;
    }
    return {};
}

// Which classes the style sheet (in lower case) says are Korean, by the first rule naming each:
// ".encc { lang: en-us; } .krcc, .kocc { name: korean; }". One pass, each rule read once.
std::unordered_map<std::wstring, bool> KoreanClasses(std::wstring_view sheet) {
    std::unordered_map<std::wstring, bool> korean;
    for (size_t from = 0;;) {
        const size_t open = sheet.find(L'{', from);
        const size_t close = open == npos ? npos : sheet.find(L'}', open);
        if (close == npos)
            break;
        const std::wstring_view rule = sheet.substr(open, close - open + 1);
        const bool isKorean = RuleProperty(rule, L"lang").substr(0, 2) == L"ko" ||
                              RuleProperty(rule, L"name").find(L"korean") != npos;
        for (size_t dot = sheet.find(L'.', from); dot < open; dot = sheet.find(L'.', dot + 1)) {
            size_t end = dot + 1;
            while (end < open && (std::iswalnum(sheet[end]) || sheet[end] == L'-'))
                ++end;
            if (end > dot + 1)
                korean.emplace(std::wstring(sheet.substr(dot + 1, end - dot - 1)), isKorean);
        }
        from = close + 1;
    }
    return korean;
}

// The language class to show: the one the style sheet says is Korean, else one named so
// (KRCC, KOKRCC), else the first the file uses; -1 for none.
int ShownClass(std::wstring_view lower, const std::vector<std::wstring>& classes) {
    const auto korean = KoreanClasses(lower.substr(0, lower.find(L"<sync")));
    for (size_t i = 0; i < classes.size(); ++i)
        if (const auto it = korean.find(classes[i]); it != korean.end() && it->second)
            return static_cast<int>(i);
    for (size_t i = 0; i < classes.size(); ++i)
        if (classes[i].rfind(L"kr", 0) == 0 || classes[i].rfind(L"ko", 0) == 0)
            return static_cast<int>(i);
    return classes.empty() ? -1 : 0;
}

// A paragraph of a sync: its class (-1, none: it belongs to every language) and its stretch.
struct Paragraph {
    int cls;
    size_t begin, end;
};
struct Sync {
    int start;
    std::vector<Paragraph> paragraphs;
};

// The syncs of the lower-cased file, with the classes of their paragraphs in the order the
// file first uses them.
std::vector<Sync> ReadSyncs(const std::wstring& lower, std::vector<std::wstring>& classes) {
    std::vector<Sync> syncs;
    std::unordered_map<std::wstring, int> classIndex;
    size_t at = lower.find(L"<sync");
    // Where the body ends, found once: looking for it again at every cue made a large file
    // cost the square of its size.
    const size_t body = at == npos ? at : lower.find(L"</body", at);
    while (at != npos) {
        const size_t tagEnd = lower.find(L'>', at);
        if (tagEnd == npos)
            break;
        const std::optional<int> start =
            StartTime(Attribute(std::wstring_view(lower).substr(at, tagEnd - at), L"start"));
        size_t next = lower.find(L"<sync", tagEnd);
        if (body != npos && (next == npos || body < next))
            next = body;
        // Every search below stays inside the sync's stretch.
        const std::wstring_view stretch =
            std::wstring_view(lower).substr(0, next == npos ? lower.size() : next);
        Sync sync{start.value_or(0), {}};
        size_t p = NextParagraph(stretch, tagEnd + 1);
        if (p == npos)
            sync.paragraphs.push_back({-1, tagEnd + 1, stretch.size()});
        while (p != npos) {
            const size_t pEnd = stretch.find(L'>', p);
            if (pEnd == npos)
                break;
            const size_t following = NextParagraph(stretch, pEnd + 1);
            const std::wstring cls = Attribute(stretch.substr(p, pEnd - p), L"class");
            int index = -1;
            if (!cls.empty()) {
                const auto [it, added] = classIndex.emplace(cls, static_cast<int>(classes.size()));
                if (added)
                    classes.push_back(cls);
                index = it->second;
            }
            sync.paragraphs.push_back(
                {index, pEnd + 1, following == npos ? stretch.size() : following});
            p = following;
        }
        if (start)
            syncs.push_back(std::move(sync));
        at = next == npos || next == body ? npos : next;
    }
    return syncs;
}

// The language's syncs as cues, each until the next; a sync of other languages only is not one.
std::vector<Cue> CuesOf(const std::wstring& text, const std::vector<Sync>& syncs, int language) {
    std::vector<Cue> shown;
    for (const Sync& sync : syncs) {
        std::wstring marked;
        bool ours = false;
        for (const Paragraph& paragraph : sync.paragraphs) {
            if (paragraph.cls >= 0 && paragraph.cls != language)
                continue;
            ours = true;
            marked.append(text, paragraph.begin, paragraph.end - paragraph.begin);
        }
        if (ours)
            shown.push_back({sync.start, 0, EventText(marked, Markup::Sami)});
    }
    std::stable_sort(shown.begin(), shown.end(),
                     [](const Cue& a, const Cue& b) { return a.startMs < b.startMs; });
    std::vector<Cue> cues;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (shown[i].text.empty())
            continue; // "&nbsp;" cues only end the one before
        const int end = i + 1 < shown.size() ? shown[i + 1].startMs : shown[i].startMs + kLastCueMs;
        if (end > shown[i].startMs)
            cues.push_back({shown[i].startMs, end, shown[i].text});
    }
    return cues;
}

} // namespace

std::vector<Cue> ParseSami(const std::wstring& text) {
    const std::wstring lower = Lower(text);
    std::vector<std::wstring> classes;
    const std::vector<Sync> syncs = ReadSyncs(lower, classes);
    return CuesOf(text, syncs, ShownClass(lower, classes));
}
