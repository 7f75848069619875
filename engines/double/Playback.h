// The player's `play`: opens the video output, runs the movie clock from 0 to the length with
// the player's status lines, and shows a test picture inside the window named by -wid.
#pragma once

#include <string>

struct PlayRequest {
    std::string videoOut;            // driver named in the "VO: [...]" line
    long long parentWindow = 0;      // the -wid window; 0 for none
    bool window = true;              // false: plays without ever making a window
    unsigned long windowAfterMs = 0; // the window comes this long after the video output line
    double length = 10;              // seconds
    double from = 0;                 // where the clock starts
    int width = 640, height = 352;
    double fps = 25;
};

enum class PlayEnd { Finished, Quit };

// Returns when the clock reaches the length, or at once when asked to quit ('q').
PlayEnd Play(const PlayRequest& request);
