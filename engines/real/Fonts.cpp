#include "Fonts.h"

#include "Process.h"
#include "common/File.h"

#include <windows.h>

#include <algorithm>
#include <string_view>

namespace {

unsigned Be16(const unsigned char* p) {
    return p[0] << 8 | p[1];
}
unsigned Be32(const unsigned char* p) {
    return unsigned(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

// A font file as its tables are found: the bytes, and where its first face's directory is.
struct FontBytes {
    std::string bytes;
    const unsigned char* data = nullptr;
    size_t size = 0, face = 0;
    bool valid = false;

    explicit FontBytes(const std::wstring& path)
        // The limit leaves room for the largest font collections.
        : bytes(ReadWholeFile(PathForFFmpeg(path), 64u << 20)),
          data(reinterpret_cast<const unsigned char*>(bytes.data())), size(bytes.size()) {
        if (size >= 16 && bytes.compare(0, 4, "ttcf") == 0)
            face = Be32(data + 12);
        valid = size >= 12 && face + 12 <= size;
    }
    // Where a table begins; 0 when the face has none.
    size_t Table(std::string_view tag) const {
        if (!valid)
            return 0;
        const unsigned tables = Be16(data + face + 4);
        for (unsigned t = 0; t < tables; ++t) {
            const size_t entry = face + 12 + t * 16;
            if (entry + 16 > size)
                return 0;
            if (bytes.compare(entry, 4, tag) == 0)
                return Be32(data + entry + 8);
        }
        return 0;
    }
};

std::wstring Family(const FontBytes& font) {
    const unsigned char* data = font.data;
    const size_t size = font.size, table = font.Table("name");
    if (table == 0 || table + 6 > size)
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

void Add(CharacterRanges& ranges, char32_t first, char32_t last) {
    if (!ranges.empty() && ranges.back().second + 1 >= first)
        ranges.back().second = std::max(ranges.back().second, last);
    else
        ranges.emplace_back(first, last);
}

// A character map of format 4 (the first 65,536 code points, by segments), counting only the
// code points whose glyph is not the missing one.
CharacterRanges Format4(const unsigned char* data, size_t size, size_t at) {
    CharacterRanges ranges;
    if (at + 14 > size)
        return ranges;
    const size_t segments = Be16(data + at + 6) / 2;
    const size_t ends = at + 14, starts = ends + 2 * segments + 2, deltas = starts + 2 * segments,
                 offsets = deltas + 2 * segments;
    if (offsets + 2 * segments > size)
        return ranges;
    // Segments come in the order of their ends; each code point is looked at once, however a
    // broken file overlaps them.
    unsigned next = 0;
    for (size_t s = 0; s < segments; ++s) {
        const unsigned start = Be16(data + starts + 2 * s), last = Be16(data + ends + 2 * s),
                       delta = Be16(data + deltas + 2 * s), offset = Be16(data + offsets + 2 * s);
        const unsigned first = std::max(start, next);
        next = std::max(next, last + 1);
        for (unsigned c = first; c <= last && c < 0xFFFF; ++c) {
            unsigned glyph = 0;
            if (offset == 0) {
                glyph = (c + delta) & 0xFFFF;
            } else {
                const size_t where = offsets + 2 * s + offset + 2 * (c - start);
                glyph = where + 2 <= size ? Be16(data + where) : 0;
                glyph = glyph == 0 ? 0 : (glyph + delta) & 0xFFFF;
            }
            if (glyph != 0)
                Add(ranges, c, c);
        }
    }
    std::sort(ranges.begin(), ranges.end());
    return ranges;
}

// A character map of format 12: groups of consecutive code points, beyond 65,536 too.
CharacterRanges Format12(const unsigned char* data, size_t size, size_t at) {
    CharacterRanges ranges;
    if (at + 16 > size)
        return ranges;
    const size_t groups = Be32(data + at + 12);
    for (size_t g = 0; g < groups && at + 16 + 12 * g + 12 <= size; ++g) {
        const unsigned char* group = data + at + 16 + 12 * g;
        const char32_t first = Be32(group), last = Be32(group + 4);
        if (first <= last && last <= 0x10FFFF)
            Add(ranges, first, last);
    }
    std::sort(ranges.begin(), ranges.end());
    return ranges;
}

CharacterRanges Characters(const FontBytes& font) {
    const unsigned char* data = font.data;
    const size_t size = font.size, table = font.Table("cmap");
    if (table == 0 || table + 4 > size)
        return {};
    // The Unicode maps: the full one (format 12) where there is one, else the basic one.
    size_t basic = 0, full = 0;
    const unsigned count = Be16(data + table + 2);
    for (unsigned i = 0; i < count && table + 4 + 8 * i + 8 <= size; ++i) {
        const unsigned char* record = data + table + 4 + 8 * i;
        const unsigned platform = Be16(record), encoding = Be16(record + 2);
        const size_t at = table + Be32(record + 4);
        if (at + 2 > size ||
            !(platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10))))
            continue;
        const unsigned format = Be16(data + at);
        if (format == 12 && full == 0)
            full = at;
        else if (format == 4 && basic == 0)
            basic = at;
    }
    return full    ? Format12(data, size, full)
           : basic ? Format4(data, size, basic)
                   : CharacterRanges{};
}

} // namespace

FontFace ReadFontFace(const std::wstring& path) {
    const FontBytes font(path);
    return {Family(font), Characters(font)};
}

std::wstring FontFamily(const std::wstring& path) {
    return Family(FontBytes(path));
}

std::wstring SubtitleFontFile(const std::wstring& requested) {
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
