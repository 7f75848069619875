#include "Container.h"

#include "common/Handle.h"

#include <windows.h>

namespace {

unsigned long long Bytes(const std::string& b, size_t at, int count, bool bigEndian) {
    unsigned long long value = 0;
    for (int i = 0; i < count; ++i) {
        const unsigned long long byte = static_cast<unsigned char>(b[at + i]);
        value |= bigEndian ? byte << (8 * (count - 1 - i)) : byte << (8 * i);
    }
    return value;
}

// RIFF: "RIFF" size "AVI " ..., then for large files "RIFF" size "AVIX" ... chunks. What follows
// the last of them (an ID3 tag, padding) is no part of the movie.
bool RiffCut(const ReadAt& read, unsigned long long fileSize) {
    for (unsigned long long at = 0; at + 8 <= fileSize;) {
        const std::string header = read(at, 8);
        if (header.size() < 8 || header.compare(0, 4, "RIFF") != 0)
            return false;
        const unsigned long long size = Bytes(header, 4, 4, false);
        if (at + 8 + size > fileSize)
            return true;
        at += 8 + size + (size & 1);
    }
    return false;
}

// MP4/MOV: top-level boxes of a 32-bit size, or 1 and a 64-bit size, or 0 for "to the end". Only
// a box the movie needs counts when it runs past the end; after the last box there may be
// bytes that are no box at all, such as the ID3 tag some download tools append.
bool BoxesCut(const ReadAt& read, unsigned long long fileSize) {
    for (unsigned long long at = 0; at + 8 <= fileSize;) {
        const std::string header = read(at, 16);
        if (header.size() < 8)
            return false;
        unsigned long long size = Bytes(header, 0, 4, true);
        if (size == 1 && header.size() == 16)
            size = Bytes(header, 8, 8, true);
        if (size < 8)
            return false; // to the end of the file, or not boxes after all
        if (at + size > fileSize) {
            const std::string type = header.substr(4, 4);
            return type == "moov" || type == "mdat" || type == "moof";
        }
        at += size;
    }
    return false;
}

// Matroska: an EBML header element, then the Segment (ID 18 53 80 67) with its size, unless
// that is "unknown" (all ones), as a live recording writes it.
bool SegmentCut(const std::string& head, unsigned long long fileSize) {
    size_t at = 0;
    auto vint = [&](bool keepMarker, unsigned long long& value, bool& unknown) {
        if (at >= head.size())
            return false;
        const unsigned char first = static_cast<unsigned char>(head[at]);
        int length = 1;
        while (length <= 8 && !(first & (0x80 >> (length - 1))))
            ++length;
        if (length > 8 || at + length > head.size())
            return false;
        value = keepMarker ? first : first & (0xFF >> length);
        unknown = (first & (0xFF >> length)) == (0xFF >> length);
        for (int i = 1; i < length; ++i) {
            const unsigned char byte = static_cast<unsigned char>(head[at + i]);
            value = value << 8 | byte;
            unknown = unknown && byte == 0xFF;
        }
        at += length;
        return true;
    };
    unsigned long long id = 0, size = 0;
    bool unknown = false;
    // The EBML header, skipped whole.
    if (!vint(true, id, unknown) || id != 0x1A45DFA3 || !vint(false, size, unknown))
        return false;
    at += size_t(size);
    if (!vint(true, id, unknown) || id != 0x18538067 || !vint(false, size, unknown) || unknown)
        return false;
    return at + size > fileSize;
}

} // namespace

bool CutShort(const ReadAt& read, unsigned long long fileSize) {
    const std::string head = read(0, 1 << 16);
    if (head.size() >= 12 && head.compare(0, 4, "RIFF") == 0)
        return RiffCut(read, fileSize);
    if (head.size() >= 4 && head.compare(0, 4, "\x1A\x45\xDF\xA3") == 0)
        return SegmentCut(head, fileSize);
    if (head.size() >= 8 && (head.compare(4, 4, "ftyp") == 0 || head.compare(4, 4, "moov") == 0 ||
                             head.compare(4, 4, "mdat") == 0 || head.compare(4, 4, "wide") == 0 ||
                             head.compare(4, 4, "free") == 0))
        return BoxesCut(read, fileSize);
    return false;
}

bool CutShort(const std::wstring& path) {
    const OwnedHandle owned(CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
    if (!owned)
        return false;
    const HANDLE file = owned;
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    const bool cut = CutShort(
        [file](unsigned long long offset, size_t count) {
            std::string bytes(count, '\0');
            LARGE_INTEGER at{};
            at.QuadPart = static_cast<LONGLONG>(offset);
            DWORD got = 0;
            if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) ||
                !ReadFile(file, bytes.data(), static_cast<DWORD>(count), &got, nullptr))
                got = 0;
            bytes.resize(got);
            return bytes;
        },
        static_cast<unsigned long long>(size.QuadPart));
    return cut;
}
