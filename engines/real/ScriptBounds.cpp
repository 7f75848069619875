#include "ScriptBounds.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <cwctype>
#include <functional>
#include <iterator>
#include <queue>
#include <utility>

namespace {
constexpr size_t npos = std::wstring::npos;
} // namespace

double MaxSize(int height) {
    return 2.0 * height;
}
double MaxBorder(int height) {
    return height;
}

void Cut(std::wstring& text) {
    if (text.size() <= kMaxDialogueLength)
        return;
    text.resize(kMaxDialogueLength);
    const size_t open = text.find_last_of(L'{');
    if (open != npos && text.find(L'}', open) == npos)
        text.resize(open);
}

std::wstring Drawable(const std::wstring& text, const CharacterRanges& characters) {
    if (characters.empty())
        return text;
    auto draws = [&](char32_t c) {
        const auto after = std::upper_bound(characters.begin(), characters.end(),
                                            std::pair<char32_t, char32_t>(c, U'\U0010FFFF'));
        return c < 0x80 || (after != characters.begin() && std::prev(after)->second >= c);
    };
    const wchar_t box = draws(0x25A1) ? L'\u25A1' : L'?';
    std::wstring out;
    bool inBlock = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        inBlock = c == L'{' || (inBlock && c != L'}');
        if (c < 0x80 || inBlock) {
            out += c;
            continue;
        }
        const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() &&
                          text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        const char32_t code = pair ? 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00) : c;
        if (draws(code))
            out.append(text, i, pair ? 2 : 1);
        else
            out += box;
        i += pair ? 1 : 0;
    }
    return out;
}

std::vector<bool> Crowded(const std::vector<Shown>& events, size_t atOnce, size_t charsAtOnce) {
    std::vector<size_t> order(events.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return events[a].start < events[b].start; });
    std::vector<bool> crowded(events.size());
    // The events showing, the first to end on top, and the length of their text.
    std::priority_queue<std::pair<int, size_t>, std::vector<std::pair<int, size_t>>, std::greater<>>
        showing;
    size_t chars = 0;
    for (const size_t i : order) {
        while (!showing.empty() && showing.top().first <= events[i].start) {
            chars -= showing.top().second;
            showing.pop();
        }
        if (showing.size() >= atOnce || chars + events[i].length > charsAtOnce) {
            crowded[i] = true;
            continue;
        }
        showing.push({events[i].end, events[i].length});
        chars += events[i].length;
    }
    return crowded;
}

std::wstring AtMost(std::wstring_view number, double limit) {
    const double value = _wtof(std::wstring(number).c_str());
    if (std::fabs(value) <= limit)
        return std::wstring(number);
    wchar_t text[32];
    swprintf(text, 32, L"%s%g", !number.empty() && number[0] == L'+' ? L"+" : L"",
             value < 0 ? -limit : limit);
    return text;
}

std::wstring WithinLimits(const std::wstring& text, double size, double border) {
    std::wstring out;
    bool inBlock = false;
    for (size_t i = 0; i < text.size();) {
        const wchar_t c = text[i];
        inBlock = c == L'{' || (inBlock && c != L'}');
        if (!inBlock || c != L'\\') {
            out += c;
            ++i;
            continue;
        }
        size_t end = i + 1;
        while (end < text.size() && ((text[end] >= L'a' && text[end] <= L'z') ||
                                     (text[end] >= L'A' && text[end] <= L'Z')))
            ++end;
        const std::wstring_view name(text.data() + i + 1, end - i - 1);
        const double limit = name == L"fs"                                             ? size
                             : name == L"bord" || name == L"xbord" || name == L"ybord" ? border
                                                                                       : -1;
        size_t number = end;
        if (number < text.size() && (text[number] == L'+' || text[number] == L'-'))
            ++number;
        while (number < text.size() && (std::iswdigit(text[number]) || text[number] == L'.'))
            ++number;
        out.append(text, i, end - i);
        if (limit >= 0)
            out += AtMost(std::wstring_view(text).substr(end, number - end), limit);
        else
            out.append(text, end, number - end);
        i = number;
    }
    return out;
}
