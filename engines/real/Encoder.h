// The encoder: MPlayer's mencoder command line turned into one ffmpeg job.
#pragma once

#include "Options.h"
#include "Process.h"

#include <string>
#include <vector>

// ffmpeg's arguments (after the program name) for converting with these options; folder-relative
// subtitle filter when subtitleFilter is not empty.
std::vector<std::wstring> EncoderJob(const Options& options, const MediaFacts& source,
                                     const std::wstring& subtitleFilter);
// The output picture size for these options.
void OutputSize(const Options& options, const MediaFacts& source, int& width, int& height);
// The status line for a position in a file of the given length.
std::string EncoderStatus(double position, double length, long long frames, double fps,
                          double elapsed, long long bytes);

int RunEncoder(int argc, wchar_t** argv);
