// The player Quelvox runs: identifies and previews with ffmpeg.exe beside it.
#include "Player.h"

int wmain(int argc, wchar_t** argv) {
    return RunPlayer(argc, argv);
}
