// The encoder's command line: the source turned into an XviD/MP3 AVI, or an H.264/AAC MP4,
// beside it with its subtitles burnt in.
#pragma once

#include "redirect/Subtitle.h"

#include <string>

namespace convert {

// AVI for DVD and DivX players, MP4 for phones, TVs and the web.
enum class OutputFormat { Avi, Mp4 };

// Folder of a path without its trailing backslash; empty when the path has no backslash.
std::wstring FolderOf(const std::wstring& path);
// What follows the last backslash (the whole path when there is none).
std::wstring NameOf(const std::wstring& path);
// "QV_" + the name with its extension + ".avi" (or ".mp4"), in the source's folder.
std::wstring OutputPathFor(const std::wstring& source, OutputFormat format = OutputFormat::Avi);
// The path up to its last full stop (nothing without one), with ".smi", in double quotes.
std::wstring QuotedSubtitlePathFor(const std::wstring& source);

// The encoder cannot keep more than 30 frames a second in the AVI: faster sources drop to the
// NTSC rate. An MP4 keeps up to 60.
double EncoderFrameRate(double fps, OutputFormat format = OutputFormat::Avi);
// Whether the identified facts are enough to convert: a picture, a length and a rate.
bool CanConvert(int width, int length, double fps);

struct EncodeSettings {
    std::wstring programFolder; // with its trailing backslash
    std::wstring windowsFolder; // where the subtitle font is
    int quality = 1;            // 0 High, 1 Normal, 2 Low (others count as High)
    OutputFormat format = OutputFormat::Avi;
    int width = 0;     // of the source picture
    double fps = 0.0;  // of the source, before EncoderFrameRate
    Subtitle subtitle; // burnt in (none or a SAMI file: the .smi beside it is named)
    // ChooseAudioTrack's: -aid N at the end of the line; none when -1.
    int audioTrack = -1;
};
std::wstring EncoderCommand(const EncodeSettings& settings, const std::wstring& source);

} // namespace convert
