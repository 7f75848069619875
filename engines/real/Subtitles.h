// SAMI subtitles burnt into the picture: the file read in its own encoding, turned into an ASS
// script that ffmpeg's "ass" filter draws in a font we hand it.
#pragma once

#include <string>
#include <vector>

// "cp949" -> 949; names of UTF-8 -> 65001; anything else the system's ANSI code page.
unsigned CodePageOf(const std::wstring& name);
// A byte-order mark (UTF-8, UTF-16) or text that is valid UTF-8 throughout decides; otherwise
// the code page.
std::wstring DecodeText(const std::string& bytes, unsigned codePage);

struct Cue {
    int startMs = 0, endMs = 0;
    std::wstring text; // lines joined by "\n"
};
// The cues of the first language class of the file; a cue ends where the next sync begins.
std::vector<Cue> ParseSami(const std::wstring& text);

struct SubtitleStyle {
    std::wstring font;             // family name
    int width = 640, height = 480; // of the picture the script is drawn on
    double textScale = 4;          // text height in percent of the picture's diagonal
    double blur = 2, outline = 2;
};
std::string MakeAss(const std::vector<Cue>& cues, const SubtitleStyle& style);

// Family name of a TrueType or OpenType file (the first face of a collection); empty when the
// file is no font.
std::wstring FontFamily(const std::wstring& path);
// The font file to draw with: the one asked for when it is a font, else an installed one with
// Hangul.
std::wstring ChooseFont(const std::wstring& requested);

// A folder of its own with "subs.ass" and "fonts\", from which ffmpeg runs the filter by relative
// names (no escaping of drive letters, blanks or Hangul inside filter options).
class SubtitleJob {
public:
    ~SubtitleJob();
    // False (and no filter) when the SAMI file is missing or holds no cue.
    bool Prepare(const std::wstring& samiPath, const std::wstring& codePage,
                 const std::wstring& fontFile, SubtitleStyle style);
    const std::wstring& Folder() const { return m_folder; }
    std::wstring Filter() const { return L"ass=subs.ass:fontsdir=fonts"; }

private:
    std::wstring m_folder;
};
