#include "Encoder.h"

#include "SubtitleJob.h"
#include "common/Print.h"
#include "common/Text.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <regex>

namespace {

// The converted length falls clearly short of the identified one: the source ended early.
bool FellShort(double converted, double length) {
    return length > 0 && converted < length - std::max(2.0, length * 0.05);
}

// A failed job's output that holds nothing is no movie.
void RemoveIfEmpty(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
        !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && data.nFileSizeHigh == 0 &&
        data.nFileSizeLow == 0)
        DeleteFileW(path.c_str());
}

// A rate as ffmpeg takes it: the usual NTSC rates exactly.
std::wstring Rate(const std::wstring& text) {
    std::string rational;
    ExactRate(_wtof(text.c_str()), &rational);
    return FromUtf8(rational);
}

} // namespace

void OutputSize(const Options& options, const MediaFacts& source, int& width, int& height) {
    width = source.width;
    height = source.height;
    const int xy = _wtoi(options.Value(L"-xy").c_str());
    if (options.Value(L"-vf").find(L"scale") != std::wstring::npos && xy > 0 && source.width > 0) {
        width = xy;
        const double aspect =
            source.aspect > 0 ? source.aspect : double(source.width) / source.height;
        height = std::max(2, static_cast<int>(std::lround(xy / aspect / 2)) * 2);
    }
}

std::vector<std::wstring> EncoderJob(const Options& options, const MediaFacts& source,
                                     const std::wstring& subtitleFilter) {
    std::vector<std::wstring> args = {L"-hide_banner",
                                      L"-nostdin",
                                      L"-y",
                                      L"-i",
                                      PathForFFmpeg(options.files.empty() ? L"" : options.files[0]),
                                      L"-map",
                                      L"0:v:0",
                                      L"-map",
                                      L"0:a:0?"};
    // Picture: the resize of "-vf scale -zoom -xy W" first, so the subtitles are drawn at the
    // output's size.
    std::wstring filters;
    int width = 0, height = 0;
    OutputSize(options, source, width, height);
    if (width != source.width || height != source.height)
        filters = L"scale=" + std::to_wstring(width) + L":" + std::to_wstring(height);
    if (!subtitleFilter.empty())
        filters += (filters.empty() ? L"" : L",") + subtitleFilter;
    if (!filters.empty())
        args.insert(args.end(), {L"-vf", filters});
    if (options.Has(L"-ofps"))
        args.insert(args.end(), {L"-r", Rate(options.Value(L"-ofps"))});

    const std::wstring ovc = options.Value(L"-ovc", L"xvid");
    if (ovc == L"copy") {
        args.insert(args.end(), {L"-c:v", L"copy"});
    } else {
        auto xvid = options.SubOptions(L"-xvidencopts");
        // mencoder reads bit rates below 16000 as kbit/s, larger ones as bit/s.
        long bitrate = xvid.count(L"bitrate") ? _wtol(xvid[L"bitrate"].c_str()) : 687;
        if (bitrate < 16000)
            bitrate *= 1000;
        args.insert(args.end(), {L"-c:v", L"libxvid", L"-b:v", std::to_wstring(bitrate)});
        if (xvid.count(L"max_key_interval"))
            args.insert(args.end(), {L"-g", xvid[L"max_key_interval"]});
        if (xvid.count(L"threads"))
            args.insert(args.end(), {L"-threads", xvid[L"threads"]});
    }
    if (options.Has(L"-ffourcc"))
        args.insert(args.end(), {L"-vtag", options.Value(L"-ffourcc")});

    const std::wstring oac = options.Value(L"-oac", L"mp3lame");
    if (options.Has(L"-nosound")) {
        args.push_back(L"-an");
    } else if (oac == L"copy") {
        args.insert(args.end(), {L"-c:a", L"copy"});
    } else {
        auto lame = options.SubOptions(L"-lameopts");
        const std::wstring br = lame.count(L"br") ? lame[L"br"] : L"128";
        args.insert(args.end(), {L"-c:a", L"libmp3lame"});
        // vbr=0 is a constant bit rate; otherwise leave lame its variable quality.
        if (!lame.count(L"vbr") || lame[L"vbr"] == L"0" || lame[L"cbr"].size())
            args.insert(args.end(), {L"-b:a", br + L"k"});
        else
            args.insert(args.end(), {L"-q:a", L"4"});
        if (options.Value(L"-af").find(L"volnorm") != std::wstring::npos)
            args.insert(args.end(), {L"-af", L"dynaudnorm"});
    }
    args.insert(args.end(), {L"-f", L"avi", PathForFFmpeg(options.Value(L"-o", L"test.avi"))});
    return args;
}

std::string EncoderStatus(double position, double length, long long frames, double fps,
                          double elapsed, long long bytes) {
    int percent = length > 0 ? static_cast<int>(position * 100 / length) : 0;
    percent = std::clamp(percent, 0, 99);
    const double speed = elapsed > 0 ? frames / elapsed : 0;
    const double left = percent > 0 ? elapsed * (100 - percent) / percent / 60 : 0;
    char line[200];
    std::snprintf(line, sizeof line,
                  "Pos:%6.1fs %6lldf (%2d%%) %5.2ffps Trem:%4dmin %4lldmb  A-V:0.000 [0:0]\r",
                  position, frames, percent, speed, static_cast<int>(left), bytes >> 20);
    (void)fps;
    return line;
}

int RunEncoder(int argc, wchar_t** argv) {
    Options options = ParseOptions(argc, argv);
    Print("MEncoder for Quelvox (ffmpeg inside)\r\n");
    if (options.files.empty()) {
        Print("No file given\r\n\r\nExiting... (error parsing command line)\r\n");
        return 1;
    }
    const std::wstring source = options.files[0];
    if (!FileExists(FFmpegPath())) {
        Print("Sorry, ffmpeg.exe is missing beside mencoder.exe.\r\n");
        return 1;
    }
    if (!FileExists(source)) {
        Print("File not found: '" + UserText(source) + "'\r\nFailed to open " + UserText(source) +
              ".\r\nCannot open file or stream.\r\nCannot open demuxer.\r\n\r\nExiting...\r\n");
        return 1;
    }
    const MediaFacts facts = Probe(source);
    if (!facts.readable) {
        Print("Cannot open demuxer.\r\n\r\nExiting...\r\n");
        return 1;
    }
    if (!facts.video) {
        Print("Video stream is mandatory!\r\nSorry, this file has no picture to convert.\r\n");
        return 1;
    }

    // Subtitles in the spirit of mencoder's subfont options, burnt in at the output's size: the
    // file of -sub, or text track -sid N of the movie.
    SubtitleJob subtitles;
    std::wstring filter;
    const SubtitleChoice choice = ChosenSubtitles(options);
    if (!choice.file.empty() || choice.track >= 0) {
        SubtitleStyle style;
        OutputSize(options, facts, style.width, style.height);
        style.textScale = _wtof(options.Value(L"-subfont-text-scale", L"3.5").c_str());
        style.blur = _wtof(options.Value(L"-subfont-blur", L"2").c_str());
        style.outline = _wtof(options.Value(L"-subfont-outline", L"2").c_str());
        if (subtitles.Prepare(choice, source, facts, style)) {
            filter = subtitles.Filter();
            Print(choice.Note());
        }
    }

    Child ffmpeg;
    const std::wstring line =
        QuoteArg(FFmpegPath()) + L" " + JoinArgs(EncoderJob(options, facts, filter));
    // Shown as mencoder shows its configuration; the benchmark runs the same job directly.
    Print("ffmpeg job: " + UserText(line) + "\r\n");
    if (!ffmpeg.Start(line, subtitles.Folder(), Child::kPipe, Child::kPipe)) {
        Print("Sorry, the encoder could not be started.\r\n");
        return 1;
    }

    const std::wstring output = PathForFFmpeg(options.Value(L"-o", L"test.avi"));
    const DWORD stallMs = StallLimitMs();
    const ULONGLONG start = GetTickCount64();
    ULONGLONG lastStatus = 0, lastMove = start;
    std::string pending, tail;
    double position = 0;
    long long frames = 0, bytes = 0;
    const std::regex progress(
        R"(frame=\s*(\d+).*?size=\s*(\d+)kB\s+time=(\d+):(\d+):(\d+(\.\d+)?))");
    bool open = true, stalled = false;
    while (open) {
        const size_t before = pending.size();
        open = ffmpeg.ReadAvailable(pending);
        const ULONGLONG now = GetTickCount64();
        if (pending.size() != before)
            lastMove = now;
        // ffmpeg ends its progress lines with a carriage return, the others with a line feed.
        size_t from = 0, end;
        while ((end = pending.find_first_of("\r\n", from)) != std::string::npos) {
            const std::string text = pending.substr(from, end - from);
            from = end + 1;
            std::smatch m;
            if (std::regex_search(text, m, progress)) {
                frames = std::stoll(m[1]);
                bytes = std::stoll(m[2]) * 1024;
                position = std::stoi(m[3]) * 3600.0 + std::stoi(m[4]) * 60.0 +
                           std::atof(m[5].str().c_str());
            } else if (!text.empty()) {
                tail = text;
            }
        }
        pending.erase(0, from);
        // A few status lines a second, as mencoder prints them.
        if (now - lastStatus >= 200) {
            Print(EncoderStatus(position, facts.length, frames, facts.fps, (now - start) / 1000.0,
                                bytes));
            lastStatus = now;
        }
        if (open && now - lastMove >= stallMs) {
            stalled = true;
            ffmpeg.Terminate();
            break;
        }
        if (open)
            Sleep(50);
    }
    const int code = stalled ? -1 : ffmpeg.Wait(10000);
    if (stalled || code != 0) {
        RemoveIfEmpty(output);
        if (stalled)
            tail = "ffmpeg printed nothing for " + std::to_string(stallMs / 1000) + " s";
        Print("\r\n" + tail + "\r\nSorry, this file could not be converted.\r\n");
        return 1;
    }
    Print(EncoderStatus(position, facts.length, frames, facts.fps,
                        (GetTickCount64() - start) / 1000.0, bytes));
    if (FellShort(position, facts.length)) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "\r\nThe source ends at %.1f s of its %.1f s.\r\nSorry, this file could "
                      "not be converted whole.\r\n",
                      position, facts.length);
        Print(text);
        return 1;
    }
    const bool sound = facts.audio && !options.Has(L"-nosound");
    Print(sound ? "\r\nVideo stream: XviD, audio stream: MP3 128 kbit/s\r\n"
                : "\r\nVideo stream: XviD, no audio stream\r\n");
    return 0;
}
