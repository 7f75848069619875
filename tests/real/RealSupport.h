// Real movies for the real-engine tests, made by the ffmpeg.exe beside the engines, and ways to
// look inside what the engines produce.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

// Path of ffmpeg.exe in the test program folder's bin/.
std::wstring TestFFmpeg();
// An engine of the built program (dist/bin), seen from a program in the build's tests folder.
std::wstring DistEngine(const std::wstring& name);
// Runs a command line to its end; its joined output (empty when it could not start).
std::string RunCapture(const std::wstring& commandLine, DWORD timeoutMs = 60000);
// Runs a command line until its output shows text, then ends it; its output so far. The guard
// only stops a hang.
std::string RunUntil(const std::wstring& commandLine, const std::string& text,
                     DWORD guardMs = 120000);
// Makes a test-pattern movie with a tone: size, rate as ffmpeg takes it ("60000/1001"), seconds.
bool MakeClip(const std::wstring& path, int width, int height, const std::wstring& rate,
              int seconds);
// Runs the test folder's ffmpeg.exe with these arguments (quiet, overwriting); its output.
std::string RunFFmpeg(const std::wstring& args);
// A movie's first sound track as mono samples, and its pictures' mean brightness (0-255) in
// the order they are decoded.
std::vector<float> SoundOf(const std::wstring& movie, int rate);
std::vector<double> BrightnessOf(const std::wstring& movie);
// One picture of a movie at a time, as 24-bit RGB rows.
std::vector<unsigned char> FrameAt(const std::wstring& movie, double seconds, int& width,
                                   int& height);

// What ffmpeg says of a movie: its codecs, the picture's size as shown, its rate, whether the
// file asks for the picture to be turned, and the colours its stream states.
struct Description {
    std::string videoCodec, audioCodec;
    int width = 0, height = 0;
    double fps = 0;
    bool turned = false;
    std::string matrix, primaries, transfer, range;
};
Description Describe(const std::wstring& movie);

// What the screen shows in a rectangle: the test pattern's strong colours, not a black pane.
struct ScreenColours {
    int pixels = 0, dark = 0, saturated = 0, red = 0, green = 0, blue = 0;
};
ScreenColours ColoursOnScreen(const RECT& r);

// What an AVI file holds: its headers, and the video chunks its index lists, in order.
struct AviFacts {
    bool riff = false;
    std::string videoHandler, videoCompression; // strh fccHandler, BITMAPINFOHEADER biCompression
    int width = 0, height = 0;
    unsigned rate = 0, scale = 0; // frames per second = rate / scale
    int audioFormat = 0;          // WAVEFORMATEX wFormatTag
    unsigned audioBytesPerSecond = 0;
    double audioStart = 0;                // seconds the sound starts after the picture
    std::vector<std::string> videoChunks; // an empty one repeats the frame before
};
AviFacts ReadAvi(const std::wstring& path);

// What an MP4 file holds: its top-level boxes in order, and the H.264 profile and level of its
// picture (from its avcC box: profile 100 is High, level 42 is 4.2).
struct Mp4Facts {
    std::vector<std::string> boxes;
    int profile = 0, level = 0;
};
Mp4Facts ReadMp4(const std::wstring& path);

// Writes bytes into a new file.
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Text in a code page (949, CP_UTF8, ...).
std::string InCodePage(const std::wstring& text, UINT codePage);

// A SAMI file of two Korean cues (0-2.5 s, then a blank cue), in the given encoding.
enum class SamiEncoding { Cp949, Utf8, Utf8Bom, Utf16 };
std::string KoreanSami(SamiEncoding encoding);

// Sends WM_NULL to a window from a thread of its own every periodMs, as Windows does before it
// calls a window "Not Responding"; keeps the longest answer and counts the messages not
// answered within timeoutMs.
class AnswerProbe {
public:
    AnswerProbe(HWND window, DWORD periodMs, DWORD timeoutMs);
    AnswerProbe(const AnswerProbe&) = delete;
    AnswerProbe& operator=(const AnswerProbe&) = delete;
    ~AnswerProbe();
    // The longest answer since the last call, in milliseconds.
    ULONGLONG TakeLongest() { return m_longest.exchange(0); }
    int Sent() const { return m_sent; }
    int Unanswered() const { return m_unanswered; }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<ULONGLONG> m_longest{0};
    std::atomic<int> m_sent{0}, m_unanswered{0};
    std::thread m_thread;
};
