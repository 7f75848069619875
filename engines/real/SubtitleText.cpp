#include "SubtitleText.h"

#include "common/Text.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

namespace subtitle_text {

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), ::towlower);
    return text;
}

std::wstring Trim(std::wstring_view text) {
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring_view::npos)
        return {};
    return std::wstring(text.substr(first, text.find_last_not_of(L" \t") - first + 1));
}

bool IsBlank(std::wstring_view line) {
    return line.find_first_not_of(L" \t") == std::wstring_view::npos;
}

std::vector<std::wstring_view> Lines(std::wstring_view text) {
    std::vector<std::wstring_view> lines;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find_first_of(L"\r\n", at);
        if (end == std::wstring_view::npos) {
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + (text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n' ? 2 : 1);
    }
    return lines;
}

bool StartsWithNoCase(std::wstring_view text, size_t at, std::wstring_view prefix) {
    if (at > text.size() || text.size() - at < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (static_cast<wchar_t>(std::towlower(text[at + i])) != prefix[i])
            return false;
    return true;
}

} // namespace subtitle_text

using namespace subtitle_text;

namespace {

// What a stretch of bytes holds as UTF-8: its well-formed sequences of two bytes or more, and
// the bytes that belong to none.
struct Utf8Count {
    size_t sequences = 0, bad = 0;
};

Utf8Count CountUtf8(std::string_view bytes) {
    Utf8Count count;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t size = bytes.size();
    for (size_t i = 0; i < size;) {
        const unsigned char lead = p[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                              : lead >= 0xE0 && lead <= 0xEF ? 3
                              : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                             : 0;
        // The second byte's range rules out overlong forms, surrogates and code points past
        // U+10FFFF.
        const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
        bool valid = length > 0 && i + length <= size && p[i + 1] >= low && p[i + 1] <= high;
        for (size_t k = 2; valid && k < length; ++k)
            valid = (p[i + k] & 0xC0) == 0x80;
        if (!valid) {
            ++count.bad;
            ++i;
            continue;
        }
        ++count.sequences;
        i += length;
    }
    return count;
}

bool ValidIn(std::string_view bytes, unsigned codePage) {
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                            static_cast<int>(bytes.size()), nullptr, 0) > 0)
        return true;
    // A few code pages take no flags at all: nothing to tell.
    return GetLastError() == ERROR_INVALID_FLAGS;
}

enum class Encoding { Either, Utf8, CodePage };

// Text edited in more than one program often mixes UTF-8 lines with lines of the code page.
Encoding LineEncoding(std::string_view line, unsigned codePage) {
    const Utf8Count count = CountUtf8(line);
    if (count.bad == 0)
        return count.sequences == 0 ? Encoding::Either : Encoding::Utf8;
    if (codePage == CP_UTF8 || ValidIn(line, codePage))
        return codePage == CP_UTF8 ? Encoding::Utf8 : Encoding::CodePage;
    // Broken in both: a UTF-8 line with a stray byte (a file touched by something else) keeps
    // its many sequences; a damaged line of a double-byte code page forms few by chance.
    return count.sequences > count.bad ? Encoding::Utf8 : Encoding::CodePage;
}

std::wstring DecodeLines(std::string_view bytes, unsigned codePage) {
    std::wstring text;
    // Consecutive lines of one encoding are converted together: a call per line would cost a
    // large file dearly.
    size_t runStart = 0;
    Encoding run = Encoding::Either;
    auto flush = [&](size_t end) {
        text += Widen(bytes.substr(runStart, end - runStart),
                      run == Encoding::CodePage ? codePage : CP_UTF8);
        runStart = end;
    };
    for (size_t at = 0; at < bytes.size();) {
        // A line end is never part of a character, in UTF-8 or in a double-byte code page.
        size_t end = bytes.find_first_of("\r\n", at);
        end = end == std::string_view::npos ? bytes.size() : end + 1;
        const Encoding line = LineEncoding(bytes.substr(at, end - at), codePage);
        if (line != Encoding::Either && run != Encoding::Either && line != run)
            flush(at);
        if (line != Encoding::Either)
            run = line;
        at = end;
    }
    flush(bytes.size());
    return text;
}

std::wstring FromUtf16(std::string_view bytes, bool bigEndian) {
    std::wstring text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const unsigned char a = bytes[i], b = bytes[i + 1];
        text += static_cast<wchar_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
    }
    return text;
}

// UTF-16 without a byte-order mark: the markup, digits and line ends of every subtitle format
// are ASCII, whose characters have a zero byte on one side; no 8-bit text has zero bytes.
enum class Utf16 { No, Little, Big };
Utf16 Utf16ByZeros(std::string_view bytes) {
    const size_t pairs = std::min<size_t>(bytes.size(), 4096) / 2;
    size_t even = 0, odd = 0;
    for (size_t i = 0; i < pairs; ++i) {
        even += bytes[2 * i] == 0;
        odd += bytes[2 * i + 1] == 0;
    }
    const size_t most = std::max(even, odd), least = std::min(even, odd);
    if (pairs == 0 || most * 8 < pairs || least * 8 > most)
        return Utf16::No;
    return odd > even ? Utf16::Little : Utf16::Big;
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
    const std::string_view all = bytes;
    if (all.substr(0, 3) == "\xEF\xBB\xBF")
        return FromUtf8(all.substr(3));
    if (all.substr(0, 2) == "\xFF\xFE" || all.substr(0, 2) == "\xFE\xFF")
        return FromUtf16(all.substr(2), all[0] == '\xFE');
    if (const Utf16 utf16 = Utf16ByZeros(all); utf16 != Utf16::No)
        return FromUtf16(all, utf16 == Utf16::Big);
    return DecodeLines(all, codePage);
}
