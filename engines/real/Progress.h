// The encoder's progress: what ffmpeg's status lines say, and mencoder's status line from it.
#pragma once

#include <string>
#include <string_view>

struct JobProgress {
    long long frames = 0;
    long long bytes = 0;
    double seconds = 0; // of the output written
};

// Reads "frame=  123 fps= 25 q=2.0 size=     456kB time=00:00:05.12 ..."; false (and progress
// untouched) for any other line.
bool ReadProgress(std::string_view line, JobProgress& progress);

// mencoder's status line ("Pos:   2.8s     70f ( 7%) ...", the share in two characters, at
// most 99) for a file of the given length, elapsed seconds into the conversion.
std::string EncoderStatus(const JobProgress& progress, double length, double elapsed);
