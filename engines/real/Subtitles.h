// Subtitle text burnt into the picture: SAMI, SubRip, ASS/SSA and WebVTT read in their own
// encoding and turned into one ASS script that ffmpeg's "ass" filter draws in a font we hand it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// "cp949" -> 949, names of UTF-8 -> 65001, "enca:ko:cp949" -> 949; a name the system has no code
// page for -> 949, never the ANSI code page, which loses Hangul on most machines.
unsigned CodePageOf(const std::wstring& name);
// A byte-order mark (UTF-8, UTF-16) or text that is valid UTF-8 throughout decides; otherwise
// the code page.
std::wstring DecodeText(const std::string& bytes, unsigned codePage);

struct Cue {
    int startMs = 0, endMs = 0;
    // The text of an ASS event: lines joined by "\n", styling as override tags ("{\i1}").
    std::wstring text;
};

// How marked-up cue text is written: in SAMI a line end is white space and <br> breaks the
// line; in SubRip and WebVTT line ends break it.
enum class Markup { Sami, SubRip, WebVtt };
// Tags (<i>, <b>, <u>, <s>, <font color>, WebVTT's colour classes, <br>) as override tags, the
// others dropped; entities decoded, white space folded, empty lines and control characters
// dropped.
std::wstring EventText(std::wstring_view marked, Markup markup);

// The cues of the file's Korean language class (else its first); a cue ends where the next sync
// begins.
std::vector<Cue> ParseSami(const std::wstring& text);
// Blocks of a "start --> end" line and the cue's lines; blocks that cannot be read are skipped.
std::vector<Cue> ParseSubRip(const std::wstring& text);
std::vector<Cue> ParseWebVtt(const std::wstring& text);

struct SubtitleStyle {
    std::wstring font;             // family name
    int width = 640, height = 480; // of the picture the script is drawn on
    double textScale = 4;          // text height in percent of the picture's diagonal
    double blur = 2, outline = 2;
};
// Cues in our own look: white on a black outline, bottom centre, sized to the picture.
std::string MakeAss(const std::vector<Cue>& cues, const SubtitleStyle& style);
// An ASS or SSA script in its own styles and positions, but every face its styles and "\fn"
// name turned into style.font: a face that is not installed, or has no Hangul, draws boxes.
// Lines that cannot be read are dropped; empty when no dialogue is left.
std::string RestyleAss(const std::wstring& script, const SubtitleStyle& style);

// The script for a subtitle file's text in whichever format it is; empty when it has no cue.
std::string ScriptFor(const std::wstring& text, const SubtitleStyle& style);
