// The player: identification of a file, and its preview inside the window named by -wid.
#pragma once

#include "Description.h"
#include "Process.h"

#include <string>

// ID_AUDIO_ID=N, ID_AID_N_LANG and ID_AID_N_NAME as MPlayer prints them, and a key of ours:
// ID_AID_N_DEFAULT=1 for a track marked default.
std::string AudioTrackLines(const std::vector<AudioTrack>& tracks);
// The key=value lines of "-identify", as the MPlayer project's player prints them.
std::string IdentifyLines(const std::wstring& path, const MediaFacts& facts);
// Size of the decoded picture: the file's, made smaller to fit within the limits.
void DecodeSize(const MediaFacts& facts, int maxWidth, int maxHeight, int& width, int& height);
// The status line for the clock; with sound the audio clock comes first.
std::string PlayerStatus(double clock, bool sound, long long frames);

int RunPlayer(int argc, wchar_t** argv);
