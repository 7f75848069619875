// What a movie file's own structure says about its end.
#pragma once

#include <functional>
#include <string>

// The file ends before its container says it does: an AVI's RIFF chunk, an MP4's movie or media
// box or a Matroska segment reaches past the last byte, as when a download broke off. Bytes
// after the container's end (an ID3 tag, padding) do not count. Formats that declare no size
// (MPEG transport and program streams, ...) never count as cut.
bool CutShort(const std::wstring& path);
// The same for a file of the given size whose bytes the reader gives: count of them from an
// offset, fewer at the end.
using ReadAt = std::function<std::string(unsigned long long offset, size_t count)>;
bool CutShort(const ReadAt& read, unsigned long long fileSize);
