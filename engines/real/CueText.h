// The text of a cue as SAMI, SubRip and WebVTT mark it up, turned into the text of an ASS event.
#pragma once

#include <string>
#include <string_view>

struct Cue {
    int startMs = 0, endMs = 0;
    // The text of an ASS event: lines joined by "\n", styling as override tags ("{\i1}").
    std::wstring text;
};

// A cue's event is cut at this length: no screen shows more, and the renderer lays out all of it
// for every picture.
constexpr size_t kMaxCueLength = 2000;

// The colour of our own style, which a closed <font> returns to.
constexpr unsigned kTextColour = 0xFFFFFF;

// How marked-up cue text is written: in SAMI a line end is white space and <br> breaks the
// line; in SubRip and WebVTT line ends break it.
enum class Markup { Sami, SubRip, WebVtt };
// Tags (<i>, <b>, <u>, <s>, <font color>, WebVTT's colour classes, <br>) as override tags, the
// others dropped; entities decoded, white space folded, empty lines and control characters
// dropped; cut at kMaxCueLength. Takes time in proportion to the text's length, whatever it
// holds.
std::wstring EventText(std::wstring_view marked, Markup markup);
// Control characters draw as boxes or, a NUL above all, end the script early; so does a stray
// byte-order mark.
bool IsControl(wchar_t c);
// The value of attribute name (in lower case) in a tag's text ("<SYNC Start=1000>"), or empty.
std::wstring Attribute(std::wstring_view tag, std::wstring_view name);
