#include "CueText.h"

#include "SubtitleText.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <optional>
#include <utility>
#include <vector>

using namespace subtitle_text;

namespace {

constexpr size_t npos = std::wstring_view::npos;

// A character reference as UTF-16; nothing for one that names no character.
std::wstring CodePoint(long long code) {
    if (code <= 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return {};
    if (code < 0x10000)
        return std::wstring(1, static_cast<wchar_t>(code));
    code -= 0x10000;
    return {static_cast<wchar_t>(0xD800 + (code >> 10)),
            static_cast<wchar_t>(0xDC00 + (code & 0x3FF))};
}

// The entity at text[at] ('&') decoded into out; the position of its ';', or npos when it is
// none and the '&' is only a character. No entity is longer than ten characters, so a text of
// many '&' and no ';' is not searched to its end at each of them.
size_t Entity(std::wstring_view text, size_t at, std::wstring& out) {
    const size_t length = text.substr(at, 11).find(L';');
    if (length == npos)
        return npos;
    const std::wstring name = Lower(std::wstring(text.substr(at + 1, length - 1)));
    static const std::pair<const wchar_t*, const wchar_t*> kNamed[] = {
        {L"nbsp", L" "},  {L"amp", L"&"},  {L"lt", L"<"}, {L"gt", L">"},
        {L"quot", L"\""}, {L"apos", L"'"}, {L"lrm", L""}, {L"rlm", L""}};
    for (const auto& [entity, character] : kNamed)
        if (name == entity) {
            out = character;
            return at + length;
        }
    if (name.size() < 2 || name[0] != L'#')
        return npos;
    out = CodePoint(name[1] == L'x' ? wcstoll(name.c_str() + 2, nullptr, 16)
                                    : wcstoll(name.c_str() + 1, nullptr, 10));
    return at + length;
}

// Where the next c is at or after a position, for positions that only grow: a text of many
// '<' and no '>' is searched once, not once for each of them.
class NextOf {
public:
    NextOf(std::wstring_view text, wchar_t c) : m_text(text), m_c(c) {}
    size_t From(size_t at) {
        if (!m_searched || (m_found != npos && m_found < at)) {
            m_found = m_text.find(m_c, at);
            m_searched = true;
        }
        return m_found;
    }

private:
    std::wstring_view m_text;
    wchar_t m_c;
    size_t m_found = npos;
    bool m_searched = false;
};

std::optional<unsigned> NamedColour(std::wstring_view name) {
    static const std::pair<const wchar_t*, unsigned> kColours[] = {
        {L"white", 0xFFFFFF},   {L"black", 0x000000},   {L"red", 0xFF0000},
        {L"lime", 0x00FF00},    {L"green", 0x008000},   {L"blue", 0x0000FF},
        {L"yellow", 0xFFFF00},  {L"cyan", 0x00FFFF},    {L"aqua", 0x00FFFF},
        {L"magenta", 0xFF00FF}, {L"fuchsia", 0xFF00FF}, {L"gray", 0x808080},
        {L"grey", 0x808080},    {L"silver", 0xC0C0C0},  {L"maroon", 0x800000},
        {L"olive", 0x808000},   {L"navy", 0x000080},    {L"purple", 0x800080},
        {L"teal", 0x008080},    {L"orange", 0xFFA500},  {L"pink", 0xFFC0CB},
        {L"brown", 0xA52A2A},   {L"gold", 0xFFD700},    {L"skyblue", 0x87CEEB}};
    for (const auto& [colourName, rgb] : kColours)
        if (name == colourName)
            return rgb;
    return std::nullopt;
}

// "#ff8000", "ff8000" (as SAMI files often write it), "#f80" or a name, as 0xRRGGBB.
std::optional<unsigned> ParseColour(const std::wstring& value) {
    std::wstring text = Lower(Trim(value));
    if (const auto named = NamedColour(text))
        return named;
    if (!text.empty() && text[0] == L'#')
        text.erase(0, 1);
    if ((text.size() != 6 && text.size() != 3) ||
        text.find_first_not_of(L"0123456789abcdef") != npos)
        return std::nullopt;
    unsigned rgb = wcstoul(text.c_str(), nullptr, 16);
    if (text.size() == 3)
        rgb = (rgb >> 8 & 0xF) * 0x110000 + (rgb >> 4 & 0xF) * 0x1100 + (rgb & 0xF) * 0x11;
    return rgb;
}

// ASS writes colours blue first.
std::wstring ColourTag(unsigned rgb) {
    wchar_t tag[24];
    swprintf(tag, 24, L"\\c&H%02X%02X%02X&", rgb & 0xFF, rgb >> 8 & 0xFF, rgb >> 16 & 0xFF);
    return tag;
}

// An ASS event's text, made of visible characters, line breaks and override tags.
class EventBuilder {
public:
    void Char(wchar_t c) {
        if (Full())
            return;
        if (c == L' ' || c == L'\t' || c == 0xA0) {
            m_space = m_visible;
            return;
        }
        if (IsControl(c) || c == L'\n')
            return;
        if (m_space)
            m_line += L' ';
        m_space = false;
        // A brace of the text must not open an override block.
        m_line += c == L'{' ? L'(' : c == L'}' ? L')' : c;
        m_visible = true;
    }
    // A space before an opening tag stays outside it (no underline under it); one before a
    // closing tag waits for more text, so a line does not end in it.
    void Tag(std::wstring_view tag, bool opens) {
        if (Full())
            return;
        if (opens && m_space)
            m_line += L' ';
        m_space = m_space && !opens;
        m_line += L'{';
        m_line += tag;
        m_line += L'}';
    }
    void Break() {
        m_space = false;
        if (!m_visible)
            return; // an empty line is dropped, its tags kept for the next one
        if (!m_text.empty())
            m_text += L'\n';
        m_text += m_line;
        m_line.clear();
        m_visible = false;
    }
    std::wstring Finish() {
        Break();
        return std::move(m_text);
    }

private:
    // Room is left for the tag or line break that may come last.
    bool Full() const { return m_text.size() + m_line.size() + 32 > kMaxCueLength; }

    std::wstring m_text, m_line;
    bool m_visible = false, m_space = false;
};

// The colours of open <font> and <c> tags, each the colour in force inside it (none: the
// style's own).
class ColourStack {
public:
    void Open(EventBuilder& out, std::optional<unsigned> colour) {
        if (colour)
            out.Tag(ColourTag(*colour), true);
        m_open.push_back(colour ? colour : Now());
    }
    void Close(EventBuilder& out) {
        if (m_open.empty())
            return;
        const std::optional<unsigned> was = m_open.back();
        m_open.pop_back();
        if (was != Now())
            out.Tag(ColourTag(Now().value_or(kTextColour)), false);
    }

private:
    std::optional<unsigned> Now() const { return m_open.empty() ? std::nullopt : m_open.back(); }
    std::vector<std::optional<unsigned>> m_open;
};

// WebVTT's colour classes: <c.yellow>, <c.loud.red>.
std::optional<unsigned> ClassColour(std::wstring_view tag) {
    for (size_t dot = tag.find(L'.'); dot != npos; dot = tag.find(L'.', dot + 1)) {
        const size_t end = tag.find_first_of(L". \t", dot + 1);
        if (const auto colour =
                NamedColour(tag.substr(dot + 1, end == npos ? npos : end - dot - 1)))
            return colour;
    }
    return std::nullopt;
}

void ApplyTag(std::wstring_view tag, Markup markup, EventBuilder& out, ColourStack& colours) {
    const bool closing = !tag.empty() && tag[0] == L'/';
    const size_t nameStart = closing ? 1 : 0;
    const size_t nameEnd = std::min(tag.find_first_of(L" \t\r\n./", nameStart), tag.size());
    const std::wstring_view name = tag.substr(nameStart, nameEnd - nameStart);
    if (name == L"br")
        out.Break();
    else if (name == L"i" || name == L"b" || name == L"u" || name == L"s")
        out.Tag(L"\\" + std::wstring(name) + (closing ? L"0" : L"1"), !closing);
    else if (name == L"font" && closing)
        colours.Close(out);
    else if (name == L"font")
        colours.Open(out, ParseColour(Attribute(tag, L"color")));
    else if (name == L"c" && markup == Markup::WebVtt && closing)
        colours.Close(out);
    else if (name == L"c" && markup == Markup::WebVtt)
        colours.Open(out, ClassColour(tag));
}

// SubRip files often carry "{\an8}" to stand at the top; other override blocks are no SubRip.
bool IsPlacement(std::wstring_view block) {
    return block.size() == 4 && block.substr(0, 3) == L"\\an" && block[3] >= L'1' &&
           block[3] <= L'9';
}

} // namespace

bool IsControl(wchar_t c) {
    return (c < 0x20 && c != L'\n') || (c >= 0x7F && c <= 0x9F) || c == 0xFEFF;
}

std::wstring Attribute(std::wstring_view tag, std::wstring_view name) {
    const std::wstring lower = Lower(std::wstring(tag));
    size_t at = lower.find(name);
    while (at != npos && at > 0 && std::iswalnum(lower[at - 1]))
        at = lower.find(name, at + 1);
    if (at == npos)
        return {};
    at = lower.find_first_not_of(L" \t\r\n", at + name.size());
    if (at == npos || lower[at] != L'=')
        return {};
    at = lower.find_first_not_of(L" \t\r\n", at + 1);
    if (at == npos)
        return {};
    const wchar_t quote = tag[at] == L'"' || tag[at] == L'\'' ? tag[at] : 0;
    if (quote)
        ++at;
    const size_t end = quote ? tag.find(quote, at) : tag.find_first_of(L" \t\r\n>", at);
    return std::wstring(tag.substr(at, end == npos ? npos : end - at));
}

std::wstring EventText(std::wstring_view marked, Markup markup) {
    EventBuilder out;
    ColourStack colours;
    NextOf tagEnd(marked, L'>'), blockEnd(marked, L'}');
    for (size_t i = 0; i < marked.size(); ++i) {
        const wchar_t c = marked[i];
        if (c == L'<') {
            const size_t end = tagEnd.From(i);
            if (end == npos) {
                out.Char(c);
                continue;
            }
            ApplyTag(Lower(std::wstring(marked.substr(i + 1, end - i - 1))), markup, out, colours);
            i = end;
        } else if (c == L'&') {
            std::wstring decoded;
            const size_t end = Entity(marked, i, decoded);
            if (end == npos) {
                out.Char(c);
                continue;
            }
            for (wchar_t d : decoded)
                out.Char(d);
            i = end;
        } else if (c == L'{' && markup == Markup::SubRip && i + 1 < marked.size() &&
                   marked[i + 1] == L'\\') {
            const size_t end = blockEnd.From(i);
            if (end == npos) {
                out.Char(c);
                continue;
            }
            const std::wstring_view block = marked.substr(i + 1, end - i - 1);
            if (IsPlacement(block))
                out.Tag(block, true);
            i = end;
        } else if (c == L'\n' || c == L'\r') {
            if (markup == Markup::Sami)
                out.Char(L' ');
            else
                out.Break();
        } else {
            out.Char(c);
        }
    }
    return out.Finish();
}
