// The picture's colours: what a source is in, what an output must be in for the players that
// show it, and the ffmpeg filters between the two.
#pragma once

#include "Description.h"

#include <string>
#include <vector>

enum class Dynamic { Sdr, Pq, Hlg };
// PQ (HDR10, Dolby Vision profiles 7 and 8.1) or HLG (Dolby Vision 8.4) by the transfer the
// stream states, else SDR.
Dynamic DynamicOf(const MediaFacts& facts);
// Dolby Vision with no picture for other players (profile 5): its colours cannot be converted.
bool OnlyDolbyVision(const MediaFacts& facts);

// The YCbCr matrices ffmpeg's filters take: "bt601", "bt709", "bt2020".
std::string SourceMatrix(const MediaFacts& facts);
// An AVI is read as BT.601 by DivX players and most software; an MP4 keeps HD in BT.709 and SD
// in BT.601, and says which.
std::string OutputMatrix(const MediaFacts& source, bool mp4);

// The filters that bring the source's picture, already at its output size, to 8-bit 4:2:0 in
// the output's matrix at limited range: for a PQ, HLG or wide-gamut source a chain of its own,
// which starts with the filter of `size` ("scale=720:404", or empty); for any other the options
// of that scale filter. Empty when nothing is to be done.
std::wstring PictureFilters(const MediaFacts& source, const std::wstring& size,
                            const std::string& matrix);
// The same picture as the preview draws it: BGRA, at the size of `size`.
std::wstring PreviewFilters(const MediaFacts& source, const std::wstring& size);
// The preview's filters before the source is known, for a decoder that describes it as it
// starts: the size within the bounds by the picture's own, and the matrix and range the stream
// states (BT.601 and its format's range when it states none).
std::wstring PreviewFiltersUnknown(int maxWidth, int maxHeight);
// Those give what PreviewFilters gives for this source.
bool PreviewFiltersUnknownFit(const MediaFacts& source);
// The stream's colour description for the H.264 headers of an MP4.
std::vector<std::wstring> ColourTags(const std::string& matrix, const MediaFacts& source);
