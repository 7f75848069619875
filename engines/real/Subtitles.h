// Subtitle text burnt into the picture: SAMI, SubRip, ASS/SSA and WebVTT read in their own
// encoding and turned into one ASS script that ffmpeg's "ass" filter draws in a font we hand it.
// Each reader takes time in proportion to the file's size, whatever the file holds.
#pragma once

#include "CueText.h"
#include "Fonts.h"
#include "SubtitleText.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// SAMI (Sami.cpp): the cues of the file's Korean language class (else its first); a cue ends
// where the next sync begins.
std::vector<Cue> ParseSami(const std::wstring& text);

// SubRip and WebVTT (TimedText.cpp): blocks of a "start --> end" line and the cue's lines;
// blocks that cannot be read are skipped.
std::vector<Cue> ParseSubRip(const std::wstring& text);
std::vector<Cue> ParseWebVtt(const std::wstring& text);
// Whether a line is such a timing line.
bool IsTiming(std::wstring_view line);
// "[h:]mm:ss[.,]fff" at text[at], moving at past it; nothing when it is no time. ASS's
// "h:mm:ss.cc" reads the same.
std::optional<int> ClockTime(std::wstring_view text, size_t& at);

// ASS and SSA (AssScript.cpp).
struct SubtitleStyle {
    std::wstring font;             // family name
    int width = 640, height = 480; // of the picture the script is drawn on
    double textScale = 4;          // text height in percent of the picture's diagonal
    double blur = 2, outline = 2;
    // What the font draws; any other character is drawn as a box (empty: the font draws all).
    CharacterRanges characters;
};
// The section a line opens, known by the name it starts with as libass knows it ("[Events]"
// followed by anything still opens the events); None for a line that opens none.
enum class AssSection { None, Info, Styles, SsaStyles, Events, Other };
AssSection SectionOf(std::wstring_view line);
// Cues in our own look: white on a black outline, bottom centre, sized to the picture. At most
// 16 cues and 2,000 characters show at once; a cue that would pass that is left out.
std::string MakeAss(const std::vector<Cue>& cues, const SubtitleStyle& style);
// An ASS or SSA script in its own styles and positions, but every face its styles and "\fn"
// name turned into style.font: a face that is not installed, or has no Hangul, draws boxes.
// Lines that cannot be read are dropped, and so are other sections than the three (fonts and
// pictures embedded for faces we replace). A dialogue's text is cut at 8,000 characters; at
// most 256 dialogues and 8,000 characters show at once. Empty when no dialogue is left.
std::string RestyleAss(const std::wstring& script, const SubtitleStyle& style);

// The script for a subtitle file's text in whichever format it is; empty when it has no cue.
std::string ScriptFor(const std::wstring& text, const SubtitleStyle& style);
