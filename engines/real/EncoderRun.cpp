// The encoder's run: the source checked, its subtitles prepared, the ffmpeg job run with
// mencoder's status lines, and the new movie put in place of an earlier one. Whatever does not
// end well leaves no partial file behind and says why in its last line.
#include "Colour.h"
#include "Container.h"
#include "Encoder.h"
#include "Output.h"
#include "Progress.h"
#include "SubtitleJob.h"
#include "common/AwakeClock.h"
#include "common/Print.h"
#include "common/Text.h"

#include <windows.h>

#include <cstdio>

namespace {

// What ffmpeg says of its input before it converts: enough to know the source.
constexpr size_t kHeadLimit = 64 * 1024;
// How long the earlier movie may be held by another program before the new one is kept
// beside it: half a minute, or QV_HOLD_SECONDS of the environment (for the tests).
DWORD ReplaceWaitMs() {
    wchar_t text[16] = L"";
    if (GetEnvironmentVariableW(L"QV_HOLD_SECONDS", text, 16) > 0 && _wtoi(text) > 0)
        return static_cast<DWORD>(_wtoi(text)) * 1000;
    return 30000;
}

// The failure text Quelvox knows a failed conversion by, with the reason on the same line;
// before it, for the causes Quelvox tells in its own words, a key line ("CUT 12.3").
void Fail(const std::string& reason, const std::string& key = {}) {
    if (!key.empty())
        Print("ID_FAILURE=" + key + "\r\n");
    Print("Sorry, " + reason + "\r\n");
}

// A source mencoder would convert; otherwise says why not.
bool Usable(const MediaFacts& facts) {
    if (!facts.readable) {
        Print("Cannot open demuxer.\r\n\r\nExiting...\r\n");
        return false;
    }
    if (!facts.video) {
        Print("Video stream is mandatory!\r\n");
        Fail("this file has no picture to convert.");
        return false;
    }
    return true;
}

void Remove(const std::wstring& path) {
    DeleteFileW(path.c_str());
}

bool DiskFull(const std::wstring& output, const std::string& ffmpegSaid) {
    if (ffmpegSaid.find("No space left on device") != std::string::npos)
        return true;
    const std::wstring folder = output.substr(0, output.find_last_of(L"\\/") + 1);
    ULARGE_INTEGER free{};
    return GetDiskFreeSpaceExW(folder.c_str(), &free, nullptr, nullptr) &&
           free.QuadPart < (1u << 20);
}

// How the ffmpeg job went.
struct JobEnd {
    int code = -1;        // ffmpeg's exit code; -1 when it did not end by itself
    bool stalled = false; // it printed nothing for the stall limit
    std::string said;     // its last line that is no progress line
    JobProgress progress;
};

// Runs the job to its end, printing mencoder's status line a few times a second. Without
// facts beforehand (described false), they are read from ffmpeg's own description of its input.
JobEnd RunJob(Child& ffmpeg, MediaFacts& facts, bool described) {
    JobEnd end;
    const DWORD stallMs = StallLimitMs();
    StallWatch stall(stallMs);
    const ULONGLONG start = AwakeMilliseconds();
    ULONGLONG lastStatus = 0;
    std::string pending, head;
    bool open = true;
    while (open) {
        const size_t before = pending.size();
        open = ffmpeg.ReadAvailable(pending);
        const ULONGLONG now = AwakeMilliseconds();
        if (pending.size() != before)
            stall.Moved();
        // ffmpeg describes its input once, before it maps the streams: read when complete,
        // not again with every progress line, which would take the encoder's time.
        if (!described) {
            head += pending.substr(before, kHeadLimit - head.size());
            described = head.find("Stream mapping:") != std::string::npos ||
                        head.size() >= kHeadLimit || !open;
            if (described)
                facts = ParseProbe(head);
        }
        // ffmpeg ends its progress lines with a carriage return, the others with a line feed.
        size_t from = 0, lineEnd;
        while ((lineEnd = pending.find_first_of("\r\n", from)) != std::string::npos) {
            const std::string_view text = std::string_view(pending).substr(from, lineEnd - from);
            from = lineEnd + 1;
            if (!ReadProgress(text, end.progress) && !text.empty())
                end.said = text;
        }
        pending.erase(0, from);
        // A few status lines a second, as mencoder prints them.
        if (now - lastStatus >= 200) {
            Print(EncoderStatus(end.progress, facts.length, (now - start) / 1000.0));
            lastStatus = now;
        }
        if (open && stall.Stalled()) {
            end.stalled = true;
            ffmpeg.Terminate();
            return end;
        }
        if (open)
            Sleep(50);
    }
    end.code = ffmpeg.Wait(10000);
    Print(EncoderStatus(end.progress, facts.length, (AwakeMilliseconds() - start) / 1000.0));
    return end;
}

// Why a job that ended badly failed, in a line that names no file of the user's as a failure.
void FailedJob(const JobEnd& end, const std::wstring& output) {
    if (end.stalled) {
        const std::string seconds = std::to_string(StallLimitMs() / 1000);
        Fail("ffmpeg printed nothing for " + seconds + " s.", "STALL " + seconds);
    } else if (DiskFull(output, end.said)) {
        Fail("the disk is full.", "DISK_FULL");
    } else if (end.said.empty()) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(end.code));
        Fail(std::string("ffmpeg ended with code ") + code + ".");
    } else {
        Fail("ffmpeg failed: " + UserText(FromUtf8(end.said.substr(0, 300))));
    }
}

// The new movie in place of the earlier one; false (and the partial file gone) when it could
// not be put anywhere.
bool PutInPlace(const std::wstring& partial, const std::wstring& output) {
    DWORD error = 0;
    const std::wstring kept = ReplaceOutput(partial, output, ReplaceWaitMs(), error, [&] {
        Print(UserText(output) + " is held by another program: waiting for it.\r\n");
    });
    if (kept.empty()) {
        Remove(partial);
        Fail("the new movie could not replace " + UserText(output) + " (error " +
                 std::to_string(error) + ").",
             IsHeld(error) ? "HELD" : "");
        return false;
    }
    // Quelvox tells the user where the movie is, the earlier one being held.
    if (kept != output)
        Print("ID_KEPT_AS=" + UserText(kept.substr(kept.find_last_of(L"\\/") + 1)) + "\r\n");
    return true;
}

// The line mencoder ends a good run with.
void Summary(const Options& options, const MediaFacts& facts) {
    const std::wstring ovc = options.Value(L"-ovc", L"xvid"),
                       audio = AudioEncodingOf(options).label;
    const std::string video = ovc == L"x264"   ? "H.264"
                              : ovc == L"copy" ? "as the source's"
                                               : "XviD";
    const bool sound = facts.audio && !options.Has(L"-nosound");
    Print("\r\nVideo stream: " + video + ", " +
          (sound ? "audio stream: " + (audio.empty() ? "as the source's" : ToUtf8(audio))
                 : "no audio stream") +
          "\r\n");
}

// Subtitles in the spirit of mencoder's subfont options, burnt in at the output's size: the
// first of the files and tracks to try that has a cue. The filter, empty when nothing is burnt.
std::wstring PrepareSubtitles(const Options& options, const SubtitleChoice& choice,
                              const MediaFacts& facts, SubtitleJob& subtitles) {
    const auto sources = SubtitleCandidates(choice, options.files[0], facts.subtitles);
    if (sources.empty())
        return {};
    SubtitleStyle style;
    OutputSize(options, facts, style.width, style.height);
    style.textScale = _wtof(options.Value(L"-subfont-text-scale", L"3.5").c_str());
    style.blur = _wtof(options.Value(L"-subfont-blur", L"2").c_str());
    style.outline = _wtof(options.Value(L"-subfont-outline", L"2").c_str());
    if (!subtitles.Prepare(sources, choice, options.files[0], facts, style))
        return {};
    Print(subtitles.Burnt().Note());
    return subtitles.Filter();
}

// From the source's facts to the movie in its place; the output is locked and no earlier
// partial file is left.
int Convert(const Options& options, const std::wstring& output, const std::wstring& partial) {
    const std::wstring& source = options.files[0];
    // The job's picture filters follow the source's colours (HDR, matrix, range), so ffmpeg
    // describes the source first; only a copy of the picture reads the facts from the job's own
    // description of its input, which spares a start of ffmpeg.
    const SubtitleChoice choice = ChosenSubtitles(options);
    const bool probe = options.Value(L"-ovc") != L"copy" || choice.track >= 0 ||
                       !SubtitleCandidates(choice, source, {}).empty();
    MediaFacts facts;
    if (probe && !Usable(facts = Probe(source)))
        return 1;
    if (OnlyDolbyVision(facts)) {
        Fail("this Dolby Vision movie has no picture for other players (profile 5): its colours "
             "cannot be converted.");
        return 1;
    }
    SubtitleJob subtitles;
    const std::wstring filter = PrepareSubtitles(options, choice, facts, subtitles);

    Child ffmpeg;
    const std::wstring line =
        QuoteArg(FFmpegPath()) + L" " + JoinArgs(EncoderJob(options, facts, filter));
    // Shown as mencoder shows its configuration; the benchmark runs the same job directly.
    Print("ffmpeg job: " + UserText(line) + "\r\n");
    if (!ffmpeg.Start(line, subtitles.Folder(), Child::kPipe, Child::kPipe)) {
        Fail("the encoder could not be started (error " + std::to_string(GetLastError()) + ").");
        return 1;
    }
    const JobEnd end = RunJob(ffmpeg, facts, probe);
    if (end.code != 0) {
        Remove(partial);
        if (!probe && !end.stalled && !Usable(facts))
            return 1;
        FailedJob(end, output);
        return 1;
    }
    // Whether all of the source was converted is told by the source itself: a header may
    // promise more than its streams hold (a transport stream's times jump, an AVI counts its
    // frames wrong), but a file that stops before its container does was cut off.
    if (CutShort(PathForFFmpeg(source))) {
        Remove(partial);
        char at[32];
        std::snprintf(at, sizeof at, "%.1f", end.progress.seconds);
        Fail(std::string("the source breaks off at ") + at + " s: its file is cut short.",
             std::string("CUT ") + at);
        return 1;
    }
    if (!PutInPlace(partial, output))
        return 1;
    Summary(options, facts);
    return 0;
}

} // namespace

int RunEncoder(int argc, wchar_t** argv) {
    const Options options = ParseOptions(argc, argv);
    Print("MEncoder for Quelvox (ffmpeg inside)\r\n");
    if (options.files.empty()) {
        Print("No file given\r\n\r\nExiting... (error parsing command line)\r\n");
        return 1;
    }
    const std::wstring& source = options.files[0];
    if (!FileExists(FFmpegPath())) {
        Fail("ffmpeg.exe is missing beside mencoder.exe.");
        return 1;
    }
    if (!FileExists(source)) {
        Print("File not found: '" + UserText(source) + "'\r\nFailed to open " + UserText(source) +
              ".\r\nCannot open file or stream.\r\nCannot open demuxer.\r\n\r\nExiting...\r\n");
        return 1;
    }
    // The job writes beside the output; only a conversion that ends well replaces it, so a
    // failed, stopped or killed one never destroys a complete movie of an earlier run.
    const std::wstring output = PathForFFmpeg(options.Value(L"-o", L"test.avi")),
                       partial = PartialOutput(output);
    const OutputLock lock(output);
    if (!lock.Owned()) {
        Fail("another conversion is writing " + UserText(output) + ".", "BUSY");
        return 1;
    }
    // One left by an encoder that was ended outright (a power cut, a crash of Quelvox).
    Remove(partial);
    return Convert(options, output, partial);
}
