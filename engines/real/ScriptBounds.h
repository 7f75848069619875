// What libass is given is bounded, whatever a subtitle file holds: for every picture it lays out
// all the text on screen, weighs each event against the others, renders each glyph at its size
// with its outline and looks for a face for every character the font lacks. Past these bounds a
// single picture took seconds or minutes, and no one reads what it draws.
#pragma once

#include "Fonts.h"

#include <string>
#include <string_view>
#include <vector>

// A glyph at most twice as high as the script, an outline at most as wide as the script is high
// (a face of 9,928 on a script 288 high took minutes a picture, an outline of 9,999 ten
// seconds).
double MaxSize(int height);
double MaxBorder(int height);
// A number no larger than limit either way, as written when it is not.
std::wstring AtMost(std::wstring_view number, double limit);
// Override tags of a size or an outline ("\fs", "\bord", "\xbord", "\ybord", also inside
// "\t(...)") within those limits.
std::wstring WithinLimits(const std::wstring& text, double size, double border);

// A dialogue's text is cut at this length (later than a cue's: a drawing takes more characters
// than words), never inside an override block.
constexpr size_t kMaxDialogueLength = 8000;
void Cut(std::wstring& text);

// Text with every character the font does not draw, outside override blocks, as a box (a '?'
// when the font has no box either): libass draws a box for it anyway, but only after searching
// the system's faces for it again for every picture.
std::wstring Drawable(const std::wstring& text, const CharacterRanges& characters);

// An event as the renderer meets it: its times and the length of its text.
struct Shown {
    int start, end;
    size_t length;
};
// Which events are left out: those that come when atOnce are showing already, or would make the
// text on screen longer than charsAtOnce.
std::vector<bool> Crowded(const std::vector<Shown>& events, size_t atOnce, size_t charsAtOnce);
