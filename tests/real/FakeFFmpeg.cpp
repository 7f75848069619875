// A scripted ffmpeg.exe for the real engines' failure paths, put beside copies of them. What it
// does is chosen by QV_FAKE_FFMPEG:
//   ok           describes a 20 s movie with sound and converts all of it
//   silent       the same movie without sound
//   short        converts only the first 5.1 s, as of a download that broke off
//   stall        prints one progress line and then nothing, for ever
//   crash        prints one progress line and dies of an access violation
//   fail         leaves an empty output and gives up
//   full         writes a little and gives up as on a full disk
// Its output file holds "RIFF " and the mode.
//   leak         as ok, and first writes "LEAKED" into the handle QV_FAKE_HANDLE names, should
//                it have been handed that handle
//   probe-stall  never finishes describing the movie
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::wstring Mode() {
    wchar_t mode[32] = L"";
    GetEnvironmentVariableW(L"QV_FAKE_FFMPEG", mode, 32);
    return mode[0] ? mode : L"ok";
}

void Err(const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
}

void Progress(int frame, double seconds) {
    char line[200];
    std::snprintf(line, sizeof line,
                  "frame=%5d fps= 25 q=2.0 size=%8dkB time=00:00:%05.2f bitrate= 500.0kbits/s "
                  "speed=1.0x    \r",
                  frame, frame * 2, seconds);
    Err(line);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = Mode();
    bool job = false;
    for (int i = 1; i < argc; ++i)
        job = job || std::wstring(argv[i]) == L"-f";
    if (!job) {
        if (mode == L"probe-stall")
            Sleep(INFINITE);
        Err("Input #0, avi, from 'movie.avi':\n"
            "  Duration: 00:00:20.00, start: 0.000000, bitrate: 1000 kb/s\n"
            "    Stream #0:0: Video: mpeg4 (Simple Profile) (FMP4 / 0x34504D46), yuv420p, "
            "320x240, 900 kb/s, 25 fps, 25 tbr, 25 tbn, 25 tbc\n");
        if (mode != L"silent")
            Err("    Stream #0:1: Audio: mp3 (U[0][0][0] / 0x0055), 44100 Hz, stereo, fltp, "
                "128 kb/s\n");
        Err("At least one output file must be specified\n");
        return 1;
    }

    if (mode == L"leak") {
        wchar_t value[32] = L"";
        GetEnvironmentVariableW(L"QV_FAKE_HANDLE", value, 32);
        HANDLE handed = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(_wtoi64(value)));
        DWORD written = 0;
        if (handed && GetFileType(handed) == FILE_TYPE_PIPE)
            WriteFile(handed, "LEAKED", 6, &written, nullptr);
    }
    HANDLE output =
        CreateFileW(argv[argc - 1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (mode != L"fail") {
        // Each mode's file is told apart by its content.
        const std::string content = "RIFF " + std::string(mode.begin(), mode.end());
        DWORD written = 0;
        WriteFile(output, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    }
    CloseHandle(output);

    if (mode == L"fail") {
        Err("Conversion failed!\n");
        return 1;
    }
    if (mode == L"full") {
        Progress(25, 1.0);
        Err("av_interleaved_write_frame(): No space left on device\n"
            "Error writing trailer of movie.avi.part: No space left on device\n");
        return 1;
    }
    Progress(25, 1.0);
    if (mode == L"stall")
        Sleep(INFINITE);
    if (mode == L"crash")
        *static_cast<volatile int*>(nullptr) = 1;
    if (mode == L"short") {
        Progress(127, 5.1);
        return 0;
    }
    Progress(250, 10.0);
    Progress(500, 20.0);
    return 0;
}
