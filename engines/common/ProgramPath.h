// Where this engine runs from: the doubles start copies of themselves, the real engines find
// ffmpeg.exe beside them.
#pragma once

#include <string>

// Full path of this program's executable.
std::wstring ProgramPath();
