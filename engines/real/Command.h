// Command lines and the paths in them, as the child that reads them splits them back.
#pragma once

#include <string>
#include <vector>

// One argument quoted the way CommandLineToArgvW splits it back.
std::wstring QuoteArg(const std::wstring& arg);
std::wstring JoinArgs(const std::vector<std::wstring>& args);
// A path ffmpeg (and we) can open: absolute, and marked as long when it is too long for the
// usual limit.
std::wstring PathForFFmpeg(const std::wstring& path);

bool FileExists(const std::wstring& path);
