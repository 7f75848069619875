#include "Subtitles.h"

#include "common/Text.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cwctype>
#include <optional>
#include <utility>

namespace {

constexpr size_t npos = std::wstring::npos;

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), ::towlower);
    return text;
}

std::wstring Trim(std::wstring_view text) {
    const size_t first = text.find_first_not_of(L" \t");
    if (first == npos)
        return {};
    return std::wstring(text.substr(first, text.find_last_not_of(L" \t") - first + 1));
}

bool IsBlank(std::wstring_view line) {
    return line.find_first_not_of(L" \t") == npos;
}

// Lines ended by CR LF, LF or CR.
std::vector<std::wstring_view> Lines(std::wstring_view text) {
    std::vector<std::wstring_view> lines;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find_first_of(L"\r\n", at);
        if (end == npos) {
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + (text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n' ? 2 : 1);
    }
    return lines;
}

// UTF-8 with at most a stray bad byte here and there: a file saved as UTF-8 and then touched
// by something else. Text of a double-byte code page forms a valid sequence only now and then.
bool MostlyUtf8(const std::string& bytes) {
    size_t sequences = 0, bad = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t size = bytes.size();
    for (size_t i = 0; i < size;) {
        const unsigned char lead = p[i];
        const size_t length = lead < 0x80             ? 1
                              : (lead & 0xE0) == 0xC0 ? 2
                              : (lead & 0xF0) == 0xE0 ? 3
                              : (lead & 0xF8) == 0xF0 ? 4
                                                      : 0;
        bool valid = length > 0 && i + length <= size && (length != 2 || lead >= 0xC2);
        for (size_t k = 1; valid && k < length; ++k)
            valid = (p[i + k] & 0xC0) == 0x80;
        if (!valid) {
            ++bad;
            ++i;
            continue;
        }
        if (length > 1)
            ++sequences;
        i += length;
    }
    return bad == 0 || sequences >= 10 * bad;
}

// Value of attribute name in a tag's text ("<SYNC Start=1000>"), or empty.
std::wstring Attribute(const std::wstring& tag, const std::wstring& name) {
    const std::wstring lower = Lower(tag);
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
    size_t end = quote ? tag.find(quote, at) : tag.find_first_of(L" \t\r\n>", at);
    return tag.substr(at, end == npos ? npos : end - at);
}

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

// Control characters draw as boxes or, a NUL above all, end the script early; so does a stray
// byte-order mark.
bool IsControl(wchar_t c) {
    return (c < 0x20 && c != L'\n') || (c >= 0x7F && c <= 0x9F) || c == 0xFEFF;
}

// The entity at text[at] ('&') decoded into out; the position of its ';', or npos when it is
// none and the '&' is only a character.
size_t Entity(std::wstring_view text, size_t at, std::wstring& out) {
    const size_t end = text.find(L';', at);
    if (end == npos || end - at > 10)
        return npos;
    const std::wstring name = Lower(std::wstring(text.substr(at + 1, end - at - 1)));
    static const std::pair<const wchar_t*, const wchar_t*> kNamed[] = {
        {L"nbsp", L" "},  {L"amp", L"&"},  {L"lt", L"<"}, {L"gt", L">"},
        {L"quot", L"\""}, {L"apos", L"'"}, {L"lrm", L""}, {L"rlm", L""}};
    for (const auto& [entity, character] : kNamed)
        if (name == entity) {
            out = character;
            return end;
        }
    if (name.size() < 2 || name[0] != L'#')
        return npos;
    out = CodePoint(name[1] == L'x' ? wcstoll(name.c_str() + 2, nullptr, 16)
                                    : wcstoll(name.c_str() + 1, nullptr, 10));
    return end;
}

// The colour of our own style, which a closed <font> returns to.
constexpr unsigned kTextColour = 0xFFFFFF;

std::optional<unsigned> NamedColour(const std::wstring& name) {
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
std::optional<unsigned> ClassColour(const std::wstring& tag) {
    for (size_t dot = tag.find(L'.'); dot != npos; dot = tag.find(L'.', dot + 1)) {
        const size_t end = tag.find_first_of(L". \t", dot + 1);
        if (const auto colour =
                NamedColour(tag.substr(dot + 1, end == npos ? npos : end - dot - 1)))
            return colour;
    }
    return std::nullopt;
}

void ApplyTag(const std::wstring& tag, Markup markup, EventBuilder& out, ColourStack& colours) {
    const bool closing = !tag.empty() && tag[0] == L'/';
    const size_t nameEnd = tag.find_first_of(L" \t\r\n./", closing ? 1 : 0);
    const std::wstring name =
        tag.substr(closing ? 1 : 0, nameEnd == npos ? npos : nameEnd - (closing ? 1 : 0));
    if (name == L"br")
        out.Break();
    else if (name == L"i" || name == L"b" || name == L"u" || name == L"s")
        out.Tag(L"\\" + name + (closing ? L"0" : L"1"), !closing);
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
// The position after the block, or npos when at is no block's start.
size_t SubRipOverride(std::wstring_view text, size_t at, EventBuilder& out) {
    const size_t end = text.find(L'}', at);
    if (end == npos || at + 1 >= text.size() || text[at + 1] != L'\\')
        return npos;
    const std::wstring_view block = text.substr(at + 1, end - at - 1);
    if (block.size() == 4 && block.substr(0, 3) == L"\\an" && block[3] >= L'1' && block[3] <= L'9')
        out.Tag(block, true);
    return end;
}

} // namespace

unsigned CodePageOf(const std::wstring& name) {
    std::wstring lower = Lower(Trim(name));
    // MPlayer's "enca:LANGUAGE:FALLBACK" asks a guesser we do not have: the fallback it names.
    if (lower.rfind(L"enca:", 0) == 0)
        lower = lower.substr(lower.find_last_of(L':') + 1);
    if (lower == L"utf-8" || lower == L"utf8")
        return CP_UTF8;
    unsigned page = 0;
    if (lower.rfind(L"cp", 0) == 0 && lower.size() > 2 && std::iswdigit(lower[2]))
        page = static_cast<unsigned>(_wtoi(lower.c_str() + 2));
    else if (lower.rfind(L"windows-", 0) == 0)
        page = static_cast<unsigned>(_wtoi(lower.c_str() + 8));
    else if (lower.rfind(L"iso-8859-", 0) == 0)
        page = 28590 + static_cast<unsigned>(_wtoi(lower.c_str() + 9));
    else if (lower == L"euc-kr" || lower == L"uhc" || lower == L"ks_c_5601-1987")
        page = 949;
    else if (lower == L"latin1")
        page = 1252;
    return page != 0 && IsValidCodePage(page) ? page : 949;
}

std::wstring DecodeText(const std::string& bytes, unsigned codePage) {
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return FromUtf8(std::string_view(bytes).substr(3));
    if (bytes.size() >= 2 &&
        (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0)) {
        const bool big = bytes[0] == '\xFE';
        std::wstring text;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const unsigned char a = bytes[i], b = bytes[i + 1];
            text += static_cast<wchar_t>(big ? (a << 8 | b) : (b << 8 | a));
        }
        return text;
    }
    // Bad bytes of UTF-8 come out as U+FFFD.
    return Widen(bytes, MostlyUtf8(bytes) ? CP_UTF8 : codePage);
}

std::wstring EventText(std::wstring_view marked, Markup markup) {
    EventBuilder out;
    ColourStack colours;
    for (size_t i = 0; i < marked.size(); ++i) {
        const wchar_t c = marked[i];
        if (c == L'<') {
            const size_t end = marked.find(L'>', i);
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
        } else if (c == L'{' && markup == Markup::SubRip) {
            const size_t end = SubRipOverride(marked, i, out);
            if (end == npos)
                out.Char(c);
            else
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

namespace {

// Where the next paragraph of a sync's stretch [from, to) begins ("<p>", "<P Class=KRCC>").
size_t NextParagraph(const std::wstring& lower, size_t from, size_t to) {
    // Bounded to the stretch: a file of syncs without paragraphs must not be searched to its
    // end at every sync.
    const std::wstring_view stretch = std::wstring_view(lower).substr(0, to);
    for (size_t at = stretch.find(L"<p", from); at != npos; at = stretch.find(L"<p", at + 2)) {
        if (at + 2 < to && (lower[at + 2] == L'>' || std::iswspace(lower[at + 2])))
            return at;
    }
    return npos;
}

// A property of a class's rule in the style sheet: ".krcc { name:korean; lang:ko-kr; }".
std::wstring RuleProperty(std::wstring_view rule, std::wstring_view key) {
    for (size_t at = rule.find(key); at != npos; at = rule.find(key, at + 1)) {
        if (at > 0 && std::iswalnum(rule[at - 1]))
            continue;
        size_t colon = rule.find_first_not_of(L" \t\r\n", at + key.size());
        if (colon == npos || rule[colon] != L':')
            continue;
        const size_t end = rule.find_first_of(L";}", colon);
        return Trim(rule.substr(colon + 1, end == npos ? npos : end - colon - 1));
    }
    return {};
}

// The language class to show: the one the style sheet says is Korean, else one named so
// (KRCC, KOKRCC), else the first the file uses.
std::wstring ShownClass(const std::wstring& lower, const std::vector<std::wstring>& classes) {
    if (classes.empty())
        return {};
    const std::wstring_view head = std::wstring_view(lower).substr(0, lower.find(L"<sync"));
    for (const std::wstring& cls : classes) {
        const std::wstring selector = L"." + cls;
        for (size_t at = head.find(selector); at != npos; at = head.find(selector, at + 1)) {
            const size_t after = at + selector.size();
            if (after < head.size() && (std::iswalnum(head[after]) || head[after] == L'-'))
                continue;
            const size_t open = head.find(L'{', after), close = head.find(L'}', after);
            if (open == npos || close == npos || close < open)
                break;
            const std::wstring_view rule = head.substr(open, close - open + 1);
            if (RuleProperty(rule, L"lang").rfind(L"ko", 0) == 0 ||
                RuleProperty(rule, L"name").find(L"korean") != npos)
                return cls;
            break;
        }
    }
    for (const std::wstring& cls : classes)
        if (cls.rfind(L"kr", 0) == 0 || cls.rfind(L"ko", 0) == 0)
            return cls;
    return classes.front();
}

} // namespace

std::vector<Cue> ParseSami(const std::wstring& text) {
    const std::wstring lower = Lower(text);
    // A paragraph of a sync: its class (none: it belongs to every language) and its stretch.
    struct Paragraph {
        std::wstring cls;
        size_t begin, end;
    };
    struct Sync {
        int start;
        std::vector<Paragraph> paragraphs;
    };
    std::vector<Sync> syncs;
    std::vector<std::wstring> classes; // in the order the file first uses them
    size_t at = lower.find(L"<sync");
    // Where the body ends, found once: looking for it again at every cue made a large file
    // cost the square of its size.
    const size_t body = at == npos ? at : lower.find(L"</body", at);
    while (at != npos) {
        const size_t tagEnd = lower.find(L'>', at);
        if (tagEnd == npos)
            break;
        const std::optional<int> start =
            StartTime(Attribute(lower.substr(at, tagEnd - at), L"start"));
        size_t next = lower.find(L"<sync", tagEnd);
        if (body != npos && (next == npos || body < next))
            next = body;
        const size_t stretchEnd = next == npos ? lower.size() : next;
        Sync sync{start.value_or(0), {}};
        size_t p = NextParagraph(lower, tagEnd + 1, stretchEnd);
        if (p == npos)
            sync.paragraphs.push_back({L"", tagEnd + 1, stretchEnd});
        while (p != npos) {
            const size_t pEnd = lower.find(L'>', p);
            if (pEnd == npos || pEnd >= stretchEnd)
                break;
            const size_t following = NextParagraph(lower, pEnd + 1, stretchEnd);
            std::wstring cls = Attribute(lower.substr(p, pEnd - p), L"class");
            if (!cls.empty() && std::find(classes.begin(), classes.end(), cls) == classes.end())
                classes.push_back(cls);
            sync.paragraphs.push_back(
                {std::move(cls), pEnd + 1, following == npos ? stretchEnd : following});
            p = following;
        }
        if (start)
            syncs.push_back(std::move(sync));
        at = next == npos || next == body ? npos : next;
    }
    const std::wstring language = ShownClass(lower, classes);
    // The shown language's syncs, with their text; a sync of other languages only is not one.
    std::vector<Cue> shown;
    for (const Sync& sync : syncs) {
        std::wstring marked;
        bool ours = false;
        for (const Paragraph& paragraph : sync.paragraphs) {
            if (!paragraph.cls.empty() && paragraph.cls != language)
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

namespace {

// "[h:]mm:ss[.,]fff" at text[at], moving at past it; nothing when it is no time. ASS's
// "h:mm:ss.cc" reads the same.
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

// SubRip and WebVTT: blocks of a timing line and the cue's lines, up to a blank line. Lines
// outside a cue (numbers, the header, notes, a block whose timing cannot be read) are skipped.
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

std::vector<Cue> ParseSubRip(const std::wstring& text) {
    return ParseTimedBlocks(text, Markup::SubRip);
}

std::vector<Cue> ParseWebVtt(const std::wstring& text) {
    return ParseTimedBlocks(text, Markup::WebVtt);
}

namespace {

std::string AssTime(int ms) {
    char text[32];
    const int cs = std::max(0, ms) / 10;
    std::snprintf(text, sizeof text, "%d:%02d:%02d.%02d", cs / 360000, cs / 6000 % 60,
                  cs / 100 % 60, cs % 100);
    return text;
}

constexpr const char* kStyleFormat =
    "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
    "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
    "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n";
constexpr const char* kEventFormat =
    "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";

// Our look on a script of the given size: white text on a black outline, bottom centre.
std::string StyleLine(const SubtitleStyle& style, int width, int height) {
    const double diagonal = std::sqrt(double(width) * width + double(height) * height);
    const int size = std::max(8, static_cast<int>(std::lround(diagonal * style.textScale / 100.0)));
    char line[256];
    std::snprintf(line, sizeof line,
                  ",%d,&H00%06X,&H00%06X,&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,%g,0,2,"
                  "%d,%d,%d,1\n",
                  size, kTextColour, kTextColour, style.outline, width / 20, width / 20,
                  height / 20);
    return "Style: Default," + ToUtf8(style.font.empty() ? L"Arial" : style.font) + line;
}

// Fields of "a, b, c", at most count of them: the last takes the rest (an event's text may
// hold commas).
std::vector<std::wstring> Fields(std::wstring_view value, size_t count) {
    std::vector<std::wstring> fields;
    size_t at = 0;
    while (fields.size() + 1 < count) {
        const size_t comma = value.find(L',', at);
        if (comma == npos)
            break;
        fields.emplace_back(value.substr(at, comma - at));
        at = comma + 1;
    }
    fields.emplace_back(value.substr(at));
    return fields;
}

std::wstring Joined(const std::vector<std::wstring>& fields) {
    std::wstring line;
    for (const std::wstring& field : fields)
        line += (line.empty() ? L"" : L",") + field;
    return line;
}

// A Format line's names, trimmed and in lower case.
std::vector<std::wstring> FormatNames(std::wstring_view value) {
    std::vector<std::wstring> names = Fields(value, npos);
    for (std::wstring& name : names)
        name = Lower(Trim(name));
    return names;
}

size_t IndexOf(const std::vector<std::wstring>& names, const wchar_t* name, size_t fallback) {
    const auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? fallback : static_cast<size_t>(it - names.begin());
}

bool IsAssTime(const std::wstring& field) {
    const std::wstring time = Trim(field);
    size_t at = 0;
    return ClockTime(time, at).has_value() && at == time.size();
}

// "\fnName" inside override blocks names face instead; a bare "\fn" (back to the style's
// face) stays.
std::wstring WithFace(const std::wstring& text, const std::wstring& face) {
    std::wstring out;
    bool inBlock = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'{')
            inBlock = true;
        else if (text[i] == L'}')
            inBlock = false;
        if (inBlock && text.compare(i, 3, L"\\fn") == 0) {
            const size_t end = std::min(text.find_first_of(L"\\}", i + 3), text.size());
            out += L"\\fn";
            if (end > i + 3)
                out += face;
            i = end - 1;
            continue;
        }
        out += text[i];
    }
    return out;
}

} // namespace

std::string MakeAss(const std::vector<Cue>& cues, const SubtitleStyle& style) {
    char info[256];
    std::snprintf(info, sizeof info,
                  "[Script Info]\nScriptType: v4.00+\nPlayResX: %d\nPlayResY: %d\nWrapStyle: 0\n"
                  "ScaledBorderAndShadow: yes\n\n[V4+ Styles]\n",
                  style.width, style.height);
    std::string ass = info;
    ass +=
        kStyleFormat + StyleLine(style, style.width, style.height) + "\n[Events]\n" + kEventFormat;
    char blur[32];
    std::snprintf(blur, sizeof blur, "{\\blur%g}", style.blur);
    for (const Cue& cue : cues) {
        std::wstring text;
        for (wchar_t c : cue.text)
            text += c == L'\n' ? std::wstring(L"\\N") : std::wstring(1, c);
        ass += "Dialogue: 0," + AssTime(cue.startMs) + "," + AssTime(cue.endMs) +
               ",Default,,0,0,0,," + blur + ToUtf8(text) + "\n";
    }
    return ass;
}

std::string RestyleAss(const std::wstring& script, const SubtitleStyle& style) {
    const std::wstring face = style.font.empty() ? L"Arial" : style.font;
    enum class Section { Other, Info, Styles, Events } section = Section::Other;
    std::wstring stylesHeader = L"[V4+ Styles]";
    std::vector<std::wstring> styleFormat, eventFormat;
    bool haveDefault = false;
    int playX = 0, playY = 0, dialogues = 0;
    std::string out;
    auto add = [&out](const std::wstring& line) { out += ToUtf8(line) + "\n"; };
    for (std::wstring_view raw : Lines(script)) {
        std::wstring line;
        for (wchar_t c : raw)
            if (!IsControl(c))
                line += c;
        const std::wstring trimmed = Trim(line);
        if (!trimmed.empty() && trimmed[0] == L'[') {
            const std::wstring name = Lower(trimmed);
            const Section next =
                name == L"[script info]" ? Section::Info
                : name == L"[v4+ styles]" || name == L"[v4 styles]" || name == L"[v4 styles+]"
                    ? Section::Styles
                : name == L"[events]" ? Section::Events
                                      : Section::Other;
            if (next == Section::Styles)
                stylesHeader = trimmed;
            // Dialogue in a style the script lacks is drawn in its "Default" style, and with
            // none of the script's own in the renderer's, whose face has no Hangul.
            if (next == Section::Events && !haveDefault) {
                const int height = playY > 0 ? playY : playX > 0 ? playX * 3 / 4 : 288;
                const int width = playX > 0 ? playX : playY > 0 ? playY * 4 / 3 : 384;
                SubtitleStyle ours = style;
                ours.font = face;
                out += ToUtf8(stylesHeader) + "\n" + kStyleFormat + StyleLine(ours, width, height) +
                       "\n";
                haveDefault = true;
            }
            section = next;
            add(trimmed);
            continue;
        }
        const size_t colon = line.find(L':');
        const std::wstring key = colon == npos ? L"" : Lower(Trim(line.substr(0, colon)));
        const std::wstring_view value =
            colon == npos ? std::wstring_view() : std::wstring_view(line).substr(colon + 1);
        if (section == Section::Styles) {
            if (key == L"format") {
                styleFormat = FormatNames(value);
                add(line);
            } else if (key == L"style") {
                std::vector<std::wstring> fields =
                    Fields(value, styleFormat.empty() ? npos : styleFormat.size());
                // Without a Format line the face is the second field, as in both versions.
                const size_t faceAt =
                    styleFormat.empty() ? 1 : IndexOf(styleFormat, L"fontname", npos);
                if ((!styleFormat.empty() && fields.size() != styleFormat.size()) ||
                    fields.size() < 2)
                    continue;
                if (faceAt < fields.size())
                    fields[faceAt] = face;
                haveDefault = haveDefault || Lower(Trim(fields[0])) == L"default";
                add(L"Style:" + Joined(fields));
            }
        } else if (section == Section::Events) {
            if (key == L"format") {
                eventFormat = FormatNames(value);
                add(line);
            } else if (key == L"dialogue") {
                const std::vector<std::wstring> names =
                    eventFormat.empty() ? FormatNames(L"Layer, Start, End, Style, Name, MarginL, "
                                                      L"MarginR, MarginV, Effect, Text")
                                        : eventFormat;
                std::vector<std::wstring> fields = Fields(value, names.size());
                const size_t start = IndexOf(names, L"start", npos),
                             end = IndexOf(names, L"end", npos),
                             text = IndexOf(names, L"text", npos);
                if (fields.size() != names.size() || start == npos || end == npos || text == npos ||
                    !IsAssTime(fields[start]) || !IsAssTime(fields[end]))
                    continue;
                fields[text] = WithFace(fields[text], face);
                add(L"Dialogue:" + Joined(fields));
                ++dialogues;
            }
        } else {
            if (section == Section::Info && key == L"playresx")
                playX = _wtoi(std::wstring(value).c_str());
            if (section == Section::Info && key == L"playresy")
                playY = _wtoi(std::wstring(value).c_str());
            add(line);
        }
    }
    return dialogues > 0 ? out : std::string();
}

std::string ScriptFor(const std::wstring& text, const SubtitleStyle& style) {
    const size_t first = std::min(text.find_first_not_of(L" \t\r\n\uFEFF"), text.size());
    const std::wstring head = Lower(text.substr(first, 4096));
    std::vector<Cue> cues;
    if (head.rfind(L"webvtt", 0) == 0)
        cues = ParseWebVtt(text);
    else if (head.find(L"[script info]") != npos || head.find(L"[v4") != npos ||
             head.find(L"[events]") != npos)
        return RestyleAss(text, style);
    else if (head.find(L"<sami") != npos || Lower(text).find(L"<sync") != npos)
        cues = ParseSami(text);
    else
        cues = ParseSubRip(text);
    return cues.empty() ? std::string() : MakeAss(cues, style);
}
