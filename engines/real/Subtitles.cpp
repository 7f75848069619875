#include "Subtitles.h"

#include "Process.h"
#include "common/File.h"
#include "common/Text.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <cmath>
#include <cstdio>
#include <cwctype>

unsigned CodePageOf(const std::wstring& name) {
    std::wstring lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::towlower);
    if (lower == L"utf-8" || lower == L"utf8")
        return CP_UTF8;
    if (lower.rfind(L"cp", 0) == 0 && lower.size() > 2 && std::iswdigit(lower[2]))
        return static_cast<unsigned>(_wtoi(lower.c_str() + 2));
    if (lower == L"euc-kr" || lower == L"ks_c_5601-1987")
        return 949;
    if (lower == L"latin1" || lower == L"iso-8859-1")
        return 1252;
    return CP_ACP;
}

namespace {

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

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), ::towlower);
    return text;
}

// Value of attribute name in a tag's text ("<SYNC Start=1000>"), or empty.
std::wstring Attribute(const std::wstring& tag, const std::wstring& name) {
    const std::wstring lower = Lower(tag);
    size_t at = lower.find(name);
    while (at != std::wstring::npos && at > 0 && std::iswalnum(lower[at - 1]))
        at = lower.find(name, at + 1);
    if (at == std::wstring::npos)
        return {};
    at = lower.find_first_not_of(L" \t\r\n", at + name.size());
    if (at == std::wstring::npos || lower[at] != L'=')
        return {};
    at = lower.find_first_not_of(L" \t\r\n", at + 1);
    if (at == std::wstring::npos)
        return {};
    const wchar_t quote = tag[at] == L'"' || tag[at] == L'\'' ? tag[at] : 0;
    if (quote)
        ++at;
    size_t end = quote ? tag.find(quote, at) : tag.find_first_of(L" \t\r\n>", at);
    return tag.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at);
}

// A cue with nothing after it stays this long.
constexpr int kLastCueMs = 5000;

// A sync's start in milliseconds: its leading digits; none, or too many to hold, is no start.
std::optional<int> StartTime(const std::wstring& value) {
    size_t at = value.find_first_not_of(L" \t");
    if (at == std::wstring::npos || !std::iswdigit(value[at]))
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

// Control characters draw as boxes or, a NUL above all, end the script early.
bool IsControl(wchar_t c) {
    return (c < 0x20 && c != L'\n') || (c >= 0x7F && c <= 0x9F);
}

std::wstring Entities(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'&') {
            out += text[i];
            continue;
        }
        const size_t end = text.find(L';', i);
        if (end == std::wstring::npos || end - i > 10) {
            out += text[i];
            continue;
        }
        const std::wstring name = Lower(text.substr(i + 1, end - i - 1));
        if (name == L"nbsp")
            out += L' ';
        else if (name == L"amp")
            out += L'&';
        else if (name == L"lt")
            out += L'<';
        else if (name == L"gt")
            out += L'>';
        else if (name == L"quot")
            out += L'"';
        else if (!name.empty() && name[0] == L'#')
            out += CodePoint(name.size() > 1 && name[1] == L'x'
                                 ? wcstoll(name.c_str() + 2, nullptr, 16)
                                 : wcstoll(name.c_str() + 1, nullptr, 10));
        else {
            out += text[i];
            continue;
        }
        i = end;
    }
    return out;
}

// Text of one sync's stretch: tags dropped, <br> a line break, white space folded.
std::wstring CueText(const std::wstring& body) {
    std::wstring text;
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] == L'<') {
            const size_t end = body.find(L'>', i);
            const std::wstring tag =
                Lower(body.substr(i + 1, end == std::wstring::npos ? 0 : end - i - 1));
            if (tag.rfind(L"br", 0) == 0)
                text += L'\n';
            i = end == std::wstring::npos ? body.size() : end;
            continue;
        }
        const wchar_t c = body[i] == L'\r' || body[i] == L'\n' || body[i] == L'\t' ? L' ' : body[i];
        if (c == L' ' && (text.empty() || text.back() == L' ' || text.back() == L'\n'))
            continue;
        text += c;
    }
    text = Entities(text);
    std::erase_if(text, IsControl);
    // Lines trimmed, empty ones dropped.
    std::wstring result, line;
    auto flush = [&] {
        line.erase(0, line.find_first_not_of(L' '));
        line.erase(line.find_last_not_of(L' ') + 1);
        if (!line.empty())
            result += (result.empty() ? L"" : L"\n") + line;
        line.clear();
    };
    for (wchar_t c : text) {
        if (c == L'\n')
            flush();
        else
            line += c;
    }
    flush();
    return result;
}

void AppendUtf8(std::string& out, const std::wstring& text) {
    out += ToUtf8(text);
}

std::string AssTime(int ms) {
    char text[32];
    const int cs = std::max(0, ms) / 10;
    std::snprintf(text, sizeof text, "%d:%02d:%02d.%02d", cs / 360000, cs / 6000 % 60,
                  cs / 100 % 60, cs % 100);
    return text;
}

} // namespace

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

std::vector<Cue> ParseSami(const std::wstring& text) {
    const std::wstring lower = Lower(text);
    struct Sync {
        int start;
        std::wstring text;
    };
    std::vector<Sync> syncs;
    std::wstring language; // the first class met is the one shown
    size_t at = lower.find(L"<sync");
    // Where the body ends, found once: looking for it again at every cue made a large file
    // cost the square of its size.
    const size_t body = at == std::wstring::npos ? at : lower.find(L"</body", at);
    while (at != std::wstring::npos) {
        const size_t tagEnd = lower.find(L'>', at);
        if (tagEnd == std::wstring::npos)
            break;
        const std::optional<int> start =
            StartTime(Attribute(text.substr(at, tagEnd - at), L"start"));
        size_t next = lower.find(L"<sync", tagEnd);
        if (body != std::wstring::npos && (next == std::wstring::npos || body < next))
            next = body;
        std::wstring stretch = text.substr(
            tagEnd + 1, next == std::wstring::npos ? std::wstring::npos : next - tagEnd - 1);
        // Keep the paragraphs of one language only.
        const std::wstring stretchLower = Lower(stretch);
        std::wstring chosen;
        size_t p = stretchLower.find(L"<p");
        if (p == std::wstring::npos) {
            chosen = stretch;
        } else {
            while (p != std::wstring::npos) {
                const size_t pEnd = stretchLower.find(L'>', p);
                const size_t following = stretchLower.find(L"<p", p + 2);
                const std::wstring cls = Lower(Attribute(stretch.substr(p, pEnd - p), L"class"));
                // A paragraph without a class (an opening "&nbsp;") belongs to every language.
                if (language.empty())
                    language = cls;
                if ((cls.empty() || cls == language) && pEnd != std::wstring::npos)
                    chosen += stretch.substr(pEnd + 1, following == std::wstring::npos
                                                           ? std::wstring::npos
                                                           : following - pEnd - 1);
                p = following;
            }
        }
        if (start)
            syncs.push_back({*start, CueText(chosen)});
        at = next == std::wstring::npos || next == body ? std::wstring::npos : next;
    }
    std::stable_sort(syncs.begin(), syncs.end(),
                     [](const Sync& a, const Sync& b) { return a.start < b.start; });
    std::vector<Cue> cues;
    for (size_t i = 0; i < syncs.size(); ++i) {
        if (syncs[i].text.empty())
            continue; // "&nbsp;" cues only end the one before
        const int end = i + 1 < syncs.size() ? syncs[i + 1].start : syncs[i].start + kLastCueMs;
        if (end > syncs[i].start)
            cues.push_back({syncs[i].start, end, syncs[i].text});
    }
    return cues;
}

std::string MakeAss(const std::vector<Cue>& cues, const SubtitleStyle& style) {
    const double diagonal =
        std::sqrt(double(style.width) * style.width + double(style.height) * style.height);
    const int size = std::max(8, static_cast<int>(std::lround(diagonal * style.textScale / 100.0)));
    char head[1024];
    std::snprintf(
        head, sizeof head,
        "[Script Info]\nScriptType: v4.00+\nPlayResX: %d\nPlayResY: %d\nWrapStyle: 0\n"
        "ScaledBorderAndShadow: yes\n\n[V4+ Styles]\n"
        "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
        "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
        "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
        "Style: Default,",
        style.width, style.height);
    std::string ass = head;
    AppendUtf8(ass, style.font.empty() ? L"Arial" : style.font);
    std::snprintf(
        head, sizeof head,
        ",%d,&H00FFFFFF,&H00FFFFFF,&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,%g,0,2,"
        "%d,%d,%d,1\n\n[Events]\n"
        "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n",
        size, style.outline, style.width / 20, style.width / 20, style.height / 20);
    ass += head;
    for (const Cue& cue : cues) {
        std::wstring text;
        for (wchar_t c : cue.text)
            text += c == L'\n'  ? std::wstring(L"\\N")
                    : c == L'{' ? std::wstring(L"(")
                                : std::wstring(1, c);
        char blur[32];
        std::snprintf(blur, sizeof blur, "{\\blur%g}", style.blur);
        ass += "Dialogue: 0," + AssTime(cue.startMs) + "," + AssTime(cue.endMs) +
               ",Default,,0,0,0,," + blur;
        AppendUtf8(ass, text);
        ass += "\n";
    }
    return ass;
}

namespace {

unsigned Be16(const unsigned char* p) {
    return p[0] << 8 | p[1];
}
unsigned Be32(const unsigned char* p) {
    return unsigned(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

// A subtitle or font file; the limit leaves room for the largest font collections.
std::string ReadBytes(const std::wstring& path) {
    return ReadWholeFile(PathForFFmpeg(path), 64u << 20);
}

} // namespace

std::wstring FontFamily(const std::wstring& path) {
    const std::string bytes = ReadBytes(path);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t size = bytes.size();
    if (size < 12)
        return {};
    size_t face = 0;
    if (bytes.compare(0, 4, "ttcf") == 0) {
        if (size < 16)
            return {};
        face = Be32(data + 12);
    }
    if (face + 12 > size)
        return {};
    const unsigned tables = Be16(data + face + 4);
    for (unsigned t = 0; t < tables; ++t) {
        const size_t entry = face + 12 + t * 16;
        if (entry + 16 > size)
            return {};
        if (bytes.compare(entry, 4, "name") != 0)
            continue;
        const size_t table = Be32(data + entry + 8);
        if (table + 6 > size)
            return {};
        const unsigned count = Be16(data + table + 2), strings = table + Be16(data + table + 4);
        std::wstring best;
        int bestRank = 0;
        for (unsigned i = 0; i < count; ++i) {
            const size_t record = table + 6 + i * 12;
            if (record + 12 > size)
                break;
            const unsigned platform = Be16(data + record), language = Be16(data + record + 4),
                           nameId = Be16(data + record + 6), length = Be16(data + record + 8),
                           offset = Be16(data + record + 10);
            if (nameId != 1 || strings + offset + length > size)
                continue;
            std::wstring name;
            if (platform == 3 || platform == 0) {
                for (unsigned k = 0; k + 1 < length; k += 2)
                    name += static_cast<wchar_t>(Be16(data + strings + offset + k));
            } else if (platform == 1) {
                for (unsigned k = 0; k < length; ++k)
                    name += static_cast<wchar_t>(data[strings + offset + k]);
            }
            // The English name of the Windows table is the one font matchers know first.
            const int rank = platform == 3 && language == 0x409 ? 3 : platform == 3 ? 2 : 1;
            if (!name.empty() && rank > bestRank) {
                best = name;
                bestRank = rank;
            }
        }
        return best;
    }
    return {};
}

std::wstring ChooseFont(const std::wstring& requested) {
    if (!requested.empty() && FileExists(requested) && !FontFamily(requested).empty())
        return requested;
    wchar_t windows[MAX_PATH] = L"";
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring fonts = std::wstring(windows) + L"\\Fonts\\";
    // Faces with Hangul first, wherever they are: the subtitles are Korean more often than not.
    // Under wine the Linux fonts are reachable through the root drive.
    const std::wstring nanum = L"Z:\\usr\\share\\fonts\\truetype\\nanum\\";
    for (const std::wstring& path :
         {fonts + L"malgun.ttf", fonts + L"gulim.ttc", fonts + L"batang.ttc",
          fonts + L"NanumGothic.ttf", nanum + L"NanumGothic.ttf", nanum + L"NanumBarunGothic.ttf",
          fonts + L"arial.ttf", fonts + L"tahoma.ttf",
          std::wstring(L"Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuSans.ttf")}) {
        if (FileExists(path))
            return path;
    }
    return {};
}

namespace {
constexpr const wchar_t* kFolderPrefix = L"qv-subs-";

void RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolder(folder + L"\\" + name);
            else
                DeleteFileW((folder + L"\\" + name).c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}
} // namespace

// The folders of engines that were ended before they could remove their own (Stop, quitting
// and the preview's time-outs end the engine outright).
static void RemoveFoldersOfGoneEngines(const std::wstring& temp) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((temp + kFolderPrefix + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        const DWORD pid = wcstoul(data.cFileName + wcslen(kFolderPrefix), nullptr, 10);
        HANDLE engine = OpenProcess(SYNCHRONIZE, FALSE, pid);
        const bool running = engine && WaitForSingleObject(engine, 0) == WAIT_TIMEOUT;
        if (engine)
            CloseHandle(engine);
        if (!running && pid != GetCurrentProcessId())
            RemoveFolder(temp + data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

SubtitleJob::~SubtitleJob() {
    if (!m_folder.empty())
        RemoveFolder(m_folder);
}

bool SubtitleJob::Prepare(const std::wstring& samiPath, const std::wstring& codePage,
                          const std::wstring& fontFile, SubtitleStyle style) {
    if (samiPath.empty() || !FileExists(samiPath))
        return false;
    const std::vector<Cue> cues = ParseSami(DecodeText(ReadBytes(samiPath), CodePageOf(codePage)));
    if (cues.empty())
        return false;
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    RemoveFoldersOfGoneEngines(temp);
    static int counter = 0;
    m_folder = std::wstring(temp) + kFolderPrefix + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(++counter);
    CreateDirectoryW(m_folder.c_str(), nullptr);
    CreateDirectoryW((m_folder + L"\\fonts").c_str(), nullptr);
    const std::wstring font = ChooseFont(fontFile);
    if (!font.empty()) {
        style.font = FontFamily(font);
        // A link where the system allows one: a copy is megabytes each time.
        const std::wstring copy =
            m_folder + L"\\fonts\\" + font.substr(font.find_last_of(L"\\/") + 1);
        if (!CreateHardLinkW(copy.c_str(), font.c_str(), nullptr))
            CopyFileW(font.c_str(), copy.c_str(), FALSE);
    }
    const std::string ass = MakeAss(cues, style);
    HANDLE file = CreateFileW((m_folder + L"\\subs.ass").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    WriteAll(file, ass);
    CloseHandle(file);
    return true;
}
