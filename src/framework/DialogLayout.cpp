#include "DialogLayout.h"

#include "Gdi.h"
#include "Handle.h"

#include <cstring>

namespace {

// Reads an extended template front to back; every field is WORD-aligned, each item DWORD-aligned.
class TemplateReader {
public:
    explicit TemplateReader(const void* at) : m_at(static_cast<const BYTE*>(at)) {}
    template <typename T> T Take() {
        T value;
        std::memcpy(&value, m_at, sizeof value);
        m_at += sizeof value;
        return value;
    }
    // A name or an ordinal (0xFFFF and a number), or nothing (a single 0).
    void SkipNameOrOrdinal() {
        const WORD first = Take<WORD>();
        if (first == 0xFFFF)
            Take<WORD>();
        else if (first != 0)
            SkipText();
    }
    void SkipText() {
        while (Take<WORD>() != 0) {
        }
    }
    void Skip(size_t bytes) { m_at += bytes; }
    void AlignToDword() {
        m_at = reinterpret_cast<const BYTE*>((reinterpret_cast<UINT_PTR>(m_at) + 3) & ~UINT_PTR{3});
    }

private:
    const BYTE* m_at;
};

} // namespace

bool DialogLayout::Read(const void* dialogTemplate) {
    TemplateReader in(dialogTemplate);
    const WORD version = in.Take<WORD>(), signature = in.Take<WORD>();
    if (version != 1 || signature != 0xFFFF)
        return false;
    in.Take<DWORD>(); // help id
    in.Take<DWORD>(); // extended style
    const DWORD dialogStyle = in.Take<DWORD>();
    const WORD count = in.Take<WORD>();
    in.Skip(2 * sizeof(short)); // x, y
    const short width = in.Take<short>(), height = in.Take<short>();
    in.SkipNameOrOrdinal(); // menu
    in.SkipNameOrOrdinal(); // class
    in.SkipText();          // title
    if (!(dialogStyle & DS_SETFONT))
        return false;
    const WORD points = in.Take<WORD>();
    in.Skip(sizeof(WORD) + 2 * sizeof(BYTE)); // weight, italic, character set
    in.SkipText();                            // face
    items.clear();
    for (WORD i = 0; i < count; ++i) {
        in.AlignToDword();
        in.Skip(3 * sizeof(DWORD)); // help id, extended style, style
        Item item{};
        item.x = in.Take<short>();
        item.y = in.Take<short>();
        item.cx = in.Take<short>();
        item.cy = in.Take<short>();
        item.id = static_cast<int>(in.Take<DWORD>());
        in.SkipNameOrOrdinal();   // class
        in.SkipNameOrOrdinal();   // title
        in.Skip(in.Take<WORD>()); // creation data
        items.push_back(item);
    }
    cx = width;
    cy = height;
    pointSize = points;
    return true;
}

LOGFONTW DialogLayout::FontAt(UINT dpi) const {
    LOGFONTW font = made;
    font.lfHeight = -::MulDiv(pointSize, static_cast<int>(dpi), 72);
    font.lfWidth = 0;
    return font;
}

SIZE DialogBaseUnits(HFONT font) {
    const CClientDC screen(nullptr);
    const CSelectObject selection(screen, font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(screen, &metrics);
    static constexpr wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE letters{};
    ::GetTextExtentPoint32W(screen, kLetters, 52, &letters);
    return {(letters.cx / 26 + 1) / 2, metrics.tmHeight};
}

RECT DialogUnitsToPixels(const DialogLayout::Item& item, SIZE baseUnits) {
    const int left = ::MulDiv(item.x, baseUnits.cx, 4), top = ::MulDiv(item.y, baseUnits.cy, 8);
    return {left, top, left + ::MulDiv(item.cx, baseUnits.cx, 4),
            top + ::MulDiv(item.cy, baseUnits.cy, 8)};
}
