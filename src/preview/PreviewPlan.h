// What the preview asks of the player: the video outputs to try, the command line that plays a
// file inside the preview pane, and where the picture goes in the frame.
#pragma once

#include "redirect/Subtitle.h"

#include <windows.h>

#include <string>

namespace preview {

// Tried in this order until one opens.
inline constexpr const wchar_t* kVideoOutputs[] = {L"direct3d", L"gl", L"gl2"};

// The bounds of the preview's steps, and how often a step looks at the children meanwhile.
inline constexpr DWORD kStepMs = 50;
inline constexpr DWORD kVideoOutWaitMs = 3000; // per output; a failure later is ignored
inline constexpr DWORD kPictureWaitMs = 10100; // for the picture, once a player stays
inline constexpr DWORD kWindowWaitMs = 10000;  // for its window inside the pane
inline constexpr DWORD kQuitWaitMs = 3000;     // for a player to close on the quit key
// The identification waits for the player's first paint over the placed pane.
inline constexpr DWORD kIdentifyAfterPictureMs = 250;

// programFolder ends with a backslash; the pane's handle goes as a signed decimal. A subtitle
// other than the movie's SAMI file is named, and a sound track chosen among several, so the
// preview shows and plays what the conversion makes.
std::wstring PlayCommand(const std::wstring& programFolder, const std::wstring& windowsFolder,
                         const wchar_t* videoOutput, HWND pane, const std::wstring& path,
                         const Subtitle& subtitle = {}, int audioTrack = -1);

struct PaneRect {
    int x, y, width, height;
};
// The picture as large as the frame allows, its aspect ratio kept, centred; a picture of
// unknown size fills the frame.
PaneRect FitPicture(int frameWidth, int frameHeight, int pictureWidth, int pictureHeight);

} // namespace preview
