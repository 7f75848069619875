// The encoder: MPlayer's mencoder command line turned into one ffmpeg job.
#pragma once

#include "Description.h"
#include "Options.h"
#include "Process.h"

#include <map>
#include <string>
#include <vector>

// ffmpeg's arguments (after the program name) for converting with these options; folder-relative
// subtitle filter when subtitleFilter is not empty.
std::vector<std::wstring> EncoderJob(const Options& options, const MediaFacts& source,
                                     const std::wstring& subtitleFilter);
// The XviD options of "-xvidencopts" (mencoder's defaults for those not given) as ffmpeg's
// arguments, for output at fps frames a second; the B-frames in a row.
int XvidOptions(const std::map<std::wstring, std::wstring>& xvid, double fps,
                std::vector<std::wstring>& args);
// The x264 options of "-x264encopts" (x264's names, as mencoder passes them on) as ffmpeg's
// arguments, for output at fps frames a second.
void X264Options(const std::map<std::wstring, std::wstring>& x264, double fps,
                 std::vector<std::wstring>& args);
// The sound encoder the options name: ffmpeg's arguments for it, and the label mencoder's summary
// gives it (empty for a copy of the source's sound).
struct AudioEncoding {
    std::vector<std::wstring> args;
    std::wstring label;
};
AudioEncoding AudioEncodingOf(const Options& options);
// ffmpeg's muxer for "-of" and "-lavfopts format=".
std::wstring Muxer(const Options& options);
// The sound track of "-aid N" among the source's, counted from 0; the first when none is asked
// for or the source has no such track.
int ChosenAudioTrack(const Options& options, const MediaFacts& source);
// The sound's filters: from the movie's start, in stereo, with mencoder's "-af volnorm".
std::wstring SoundFilter(const Options& options, const MediaFacts& source);
// The ffmpeg filters that do what mencoder's "-af volnorm" does; empty without volnorm.
std::wstring VolnormFilter(const std::wstring& af);
// The output picture size for these options.
void OutputSize(const Options& options, const MediaFacts& source, int& width, int& height);
// The encoder's whole run (EncoderRun.cpp): the exit code of mencoder.exe.
int RunEncoder(int argc, wchar_t** argv);
