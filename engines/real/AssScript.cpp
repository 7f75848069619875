// The ASS script ffmpeg burns: made from cues in our own look, or an ASS/SSA file's own script
// with the Korean face in every style.
#include "Subtitles.h"

#include "ScriptBounds.h"
#include "common/Text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>

using namespace subtitle_text;

namespace {

constexpr size_t npos = std::wstring::npos;

std::string TimeText(int ms) {
    char text[32];
    const int cs = std::max(0, ms) / 10;
    std::snprintf(text, sizeof text, "%d:%02d:%02d.%02d", cs / 360000, cs / 6000 % 60,
                  cs / 100 % 60, cs % 100);
    return text;
}

// The fields of each version's styles and events, where a script gives no Format line.
constexpr const wchar_t* kStyleNames =
    L"Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, "
    L"Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, "
    L"Alignment, MarginL, MarginR, MarginV, Encoding";
constexpr const wchar_t* kSsaStyleNames =
    L"Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, TertiaryColour, BackColour, Bold, "
    L"Italic, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, AlphaLevel, "
    L"Encoding";
constexpr const wchar_t* kEventNames =
    L"Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text";

std::string StyleFormat() {
    return "Format: " + ToUtf8(kStyleNames) + "\n";
}

// Our look on a script of the given size: white text on a black outline, bottom centre.
std::string StyleLine(const SubtitleStyle& style, int width, int height) {
    const double diagonal = std::sqrt(double(width) * width + double(height) * height);
    const int size = std::clamp(static_cast<int>(std::lround(diagonal * style.textScale / 100.0)),
                                8, static_cast<int>(MaxSize(height)));
    char line[256];
    std::snprintf(line, sizeof line,
                  ",%d,&H00%06X,&H00%06X,&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,%g,0,2,"
                  "%d,%d,%d,1\n",
                  size, kTextColour, kTextColour, std::min(style.outline, MaxBorder(height)),
                  width / 20, width / 20, height / 20);
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

size_t IndexOf(const std::vector<std::wstring>& names, const wchar_t* name) {
    const auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? npos : static_cast<size_t>(it - names.begin());
}

std::optional<int> AssTime(const std::wstring& field) {
    const std::wstring time = Trim(field);
    size_t at = 0;
    const std::optional<int> ms = ClockTime(time, at);
    return at == time.size() ? ms : std::nullopt;
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

// The fields of the section's Format line that the rewriting needs, found once per Format line
// rather than once per line under it.
struct Format {
    std::vector<std::wstring> names;
    size_t face = npos, size = npos, outline = npos, start = npos, end = npos, text = npos;

    explicit Format(std::vector<std::wstring> formatNames) : names(std::move(formatNames)) {
        face = IndexOf(names, L"fontname");
        size = IndexOf(names, L"fontsize");
        outline = IndexOf(names, L"outline");
        start = IndexOf(names, L"start");
        end = IndexOf(names, L"end");
        text = IndexOf(names, L"text");
    }
};

// Rewrites a script line by line: our face in every style and dialogue, sizes and borders
// within what the picture holds, a "Default" style when the script has none.
class Restyler {
public:
    explicit Restyler(const SubtitleStyle& style)
        : m_style(style), m_face(style.font.empty() ? L"Arial" : style.font) {}

    void Take(const std::wstring& line) {
        if (const AssSection next = SectionOf(line); next != AssSection::None) {
            Enter(next);
            return;
        }
        const size_t colon = line.find(L':');
        const std::wstring key = colon == npos ? L"" : Lower(Trim(line.substr(0, colon)));
        const std::wstring_view value =
            colon == npos ? std::wstring_view() : std::wstring_view(line).substr(colon + 1);
        if (m_section == AssSection::Styles || m_section == AssSection::SsaStyles)
            TakeStyle(line, key, value);
        else if (m_section == AssSection::Events)
            TakeEvent(line, key, value);
        else if (m_section == AssSection::Info)
            TakeInfo(line, key, value);
    }

    // The script, without the dialogue of moments too crowded to draw; empty without dialogue.
    std::string Result() const {
        if (m_dialogues.empty())
            return {};
        const std::vector<bool> crowded = Crowded(m_shown, 256, kMaxDialogueLength);
        if (std::find(crowded.begin(), crowded.end(), true) == crowded.end())
            return m_out;
        std::string kept;
        size_t from = 0;
        for (size_t i = 0; i < m_dialogues.size(); ++i) {
            if (!crowded[i])
                continue;
            kept.append(m_out, from, m_dialogues[i].first - from);
            from = m_dialogues[i].first + m_dialogues[i].second;
        }
        return kept + m_out.substr(from);
    }

private:
    const SubtitleStyle& m_style;
    const std::wstring m_face;
    AssSection m_section = AssSection::None;
    std::string m_stylesHeader = "[V4+ Styles]";
    Format m_styleFormat{FormatNames(kStyleNames)}, m_eventFormat{FormatNames(kEventNames)};
    bool m_haveStyleFormat = false, m_haveDefault = false;
    int m_playX = 0, m_playY = 0;
    std::string m_out;
    // Where each dialogue line is in m_out, and its times.
    std::vector<std::pair<size_t, size_t>> m_dialogues;
    std::vector<Shown> m_shown;

    // The height libass takes when the script gives none, or only its width.
    int Height() const { return m_playY > 0 ? m_playY : m_playX > 0 ? m_playX * 3 / 4 : 288; }
    void Add(const std::wstring& line) { m_out += ToUtf8(line) + "\n"; }

    void Enter(AssSection next) {
        const bool styles = next == AssSection::Styles || next == AssSection::SsaStyles;
        if (styles)
            m_stylesHeader = next == AssSection::Styles ? "[V4+ Styles]" : "[V4 Styles]";
        // Without a Format line the fields are the version's own.
        if (styles && !m_haveStyleFormat)
            m_styleFormat =
                Format(FormatNames(next == AssSection::Styles ? kStyleNames : kSsaStyleNames));
        // Dialogue in a style the script lacks is drawn in its "Default" style, and with
        // none of the script's own in the renderer's, whose face has no Hangul.
        if (next == AssSection::Events && !m_haveDefault) {
            const int width = m_playX > 0 ? m_playX : m_playY > 0 ? m_playY * 4 / 3 : 384;
            SubtitleStyle ours = m_style;
            ours.font = m_face;
            m_out +=
                m_stylesHeader + "\n" + StyleFormat() + StyleLine(ours, width, Height()) + "\n";
            m_haveDefault = true;
        }
        m_section = next;
        if (next != AssSection::Other)
            m_out += next == AssSection::Info ? "[Script Info]\n"
                     : styles                 ? m_stylesHeader + "\n"
                                              : "[Events]\n";
    }

    void TakeStyle(const std::wstring& line, const std::wstring& key, std::wstring_view value) {
        if (key == L"format") {
            m_styleFormat = Format(FormatNames(value));
            m_haveStyleFormat = true;
            Add(line);
        } else if (key == L"style") {
            const Format& f = m_styleFormat;
            std::vector<std::wstring> fields =
                Fields(value, m_haveStyleFormat ? f.names.size() : npos);
            if ((m_haveStyleFormat && fields.size() != f.names.size()) || fields.size() < 2)
                return;
            if (f.face < fields.size())
                fields[f.face] = m_face;
            if (f.size < fields.size())
                fields[f.size] = AtMost(fields[f.size], MaxSize(Height()));
            if (f.outline < fields.size())
                fields[f.outline] = AtMost(fields[f.outline], MaxBorder(Height()));
            m_haveDefault = m_haveDefault || Lower(Trim(fields[0])) == L"default";
            Add(L"Style:" + Joined(fields));
        }
    }

    void TakeEvent(const std::wstring& line, const std::wstring& key, std::wstring_view value) {
        if (key == L"format") {
            m_eventFormat = Format(FormatNames(value));
            Add(line);
            return;
        }
        const Format& f = m_eventFormat;
        if (key != L"dialogue")
            return;
        std::vector<std::wstring> fields = Fields(value, f.names.size());
        if (fields.size() != f.names.size() || f.start == npos || f.end == npos || f.text == npos)
            return;
        const std::optional<int> start = AssTime(fields[f.start]), end = AssTime(fields[f.end]);
        if (!start || !end)
            return;
        fields[f.text] = Drawable(
            WithinLimits(WithFace(fields[f.text], m_face), MaxSize(Height()), MaxBorder(Height())),
            m_style.characters);
        Cut(fields[f.text]);
        const size_t at = m_out.size();
        Add(L"Dialogue:" + Joined(fields));
        m_dialogues.push_back({at, m_out.size() - at});
        m_shown.push_back({*start, *end, fields[f.text].size()});
    }

    void TakeInfo(const std::wstring& line, const std::wstring& key, std::wstring_view value) {
        if (key == L"playresx")
            m_playX = _wtoi(std::wstring(value).c_str());
        if (key == L"playresy")
            m_playY = _wtoi(std::wstring(value).c_str());
        Add(line);
    }
};

} // namespace

AssSection SectionOf(std::wstring_view line) {
    const size_t at = line.find_first_not_of(L" \t");
    if (at == npos || line[at] != L'[')
        return AssSection::None;
    // As libass reads them: by the name the line starts with, whatever follows it.
    const std::pair<const wchar_t*, AssSection> kSections[] = {
        {L"[script info]", AssSection::Info},  {L"[v4+ styles]", AssSection::Styles},
        {L"[v4 styles+]", AssSection::Styles}, {L"[v4 styles]", AssSection::SsaStyles},
        {L"[events]", AssSection::Events},
    };
    for (const auto& [name, section] : kSections)
        if (StartsWithNoCase(line, at, name))
            return section;
    return AssSection::Other;
}

std::string MakeAss(const std::vector<Cue>& cues, const SubtitleStyle& style) {
    char info[256];
    std::snprintf(info, sizeof info,
                  "[Script Info]\nScriptType: v4.00+\nPlayResX: %d\nPlayResY: %d\nWrapStyle: 0\n"
                  "ScaledBorderAndShadow: yes\n\n[V4+ Styles]\n",
                  style.width, style.height);
    std::string ass = info;
    ass += StyleFormat() + StyleLine(style, style.width, style.height) +
           "\n[Events]\nFormat: " + ToUtf8(kEventNames) + "\n";
    char blur[32];
    std::snprintf(blur, sizeof blur, "{\\blur%g}", style.blur);
    std::vector<Shown> shown;
    for (const Cue& cue : cues)
        shown.push_back({cue.startMs, cue.endMs, cue.text.size()});
    // Cues are read one or two at a time; a script's signs may stack many events into one
    // picture.
    const std::vector<bool> crowded = Crowded(shown, 16, kMaxCueLength);
    for (size_t i = 0; i < cues.size(); ++i) {
        if (crowded[i])
            continue;
        const Cue& cue = cues[i];
        std::wstring text;
        for (wchar_t c : Drawable(cue.text, style.characters))
            text += c == L'\n' ? std::wstring(L"\\N") : std::wstring(1, c);
        ass += "Dialogue: 0," + TimeText(cue.startMs) + "," + TimeText(cue.endMs) +
               ",Default,,0,0,0,," + blur + ToUtf8(text) + "\n";
    }
    return ass;
}

std::string RestyleAss(const std::wstring& script, const SubtitleStyle& style) {
    Restyler restyler(style);
    for (std::wstring_view raw : Lines(script)) {
        std::wstring line;
        for (wchar_t c : raw)
            if (!IsControl(c))
                line += c;
        restyler.Take(line);
    }
    return restyler.Result();
}
