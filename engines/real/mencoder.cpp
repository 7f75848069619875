// The encoder Quelvox runs: mencoder's command line, done by ffmpeg.exe beside it.
#include "Encoder.h"

int wmain(int argc, wchar_t** argv) {
    return RunEncoder(argc, argv);
}
