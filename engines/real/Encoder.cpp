#include "Encoder.h"

#include "Container.h"
#include "SubtitleJob.h"
#include "common/AwakeClock.h"
#include "common/Print.h"
#include "common/Text.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// A failed job's output that holds nothing is no movie.
void RemoveIfEmpty(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
        !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && data.nFileSizeHigh == 0 &&
        data.nFileSizeLow == 0)
        DeleteFileW(path.c_str());
}

// What ffmpeg says of its input before it converts: enough to know the source.
constexpr size_t kHeadLimit = 64 * 1024;

// A source mencoder would convert; otherwise says why not.
bool Usable(const MediaFacts& facts) {
    if (!facts.readable) {
        Print("Cannot open demuxer.\r\n\r\nExiting...\r\n");
        return false;
    }
    if (!facts.video) {
        Print("Video stream is mandatory!\r\nSorry, this file has no picture to convert.\r\n");
        return false;
    }
    return true;
}

// A rate as ffmpeg takes it: the usual NTSC rates exactly.
std::wstring Rate(const std::wstring& text) {
    std::string rational;
    ExactRate(_wtof(text.c_str()), &rational);
    return FromUtf8(rational);
}

// An on/off sub-option: "name" or "noname", else the default.
bool Switch(const std::map<std::wstring, std::wstring>& options, const std::wstring& name,
            bool fallback) {
    if (options.count(L"no" + name))
        return false;
    return options.count(name) ? true : fallback;
}

std::wstring Hundredths(const std::wstring& value) {
    wchar_t text[32];
    swprintf(text, 32, L"%g", _wtof(value.c_str()) / 100);
    return text;
}

} // namespace

int XvidOptions(const std::map<std::wstring, std::wstring>& xvid, double fps,
                std::vector<std::wstring>& args) {
    auto value = [&](const wchar_t* name, const wchar_t* fallback) {
        const auto it = xvid.find(name);
        return it == xvid.end() || it->second.empty() ? std::wstring(fallback) : it->second;
    };
    args.insert(args.end(), {L"-c:v", L"libxvid"});
    if (xvid.count(L"fixed_quant")) {
        args.insert(args.end(), {L"-q:v", value(L"fixed_quant", L"4")});
    } else {
        // Bit rates below 16000 are kbit/s, larger ones bit/s; a negative one is a target size,
        // which only a second pass could honour: the default rate then.
        long bitrate = _wtol(value(L"bitrate", L"687").c_str());
        if (bitrate <= 0)
            bitrate = 687;
        if (bitrate < 16000)
            bitrate *= 1000;
        args.insert(args.end(), {L"-b:v", std::to_wstring(bitrate)});
    }
    const long keyInterval = fps > 0 ? std::lround(fps * 10) : 250;
    args.insert(args.end(),
                {L"-g", value(L"max_key_interval", std::to_wstring(keyInterval).c_str())});
    if (xvid.count(L"threads"))
        args.insert(args.end(), {L"-threads", value(L"threads", L"1")});
    // B-frames as DivX players take them: at most one in a row unless asked, packed with the
    // frame after (ffmpeg packs them in an AVI), which keeps one chunk per frame.
    const int bframes = std::clamp(_wtoi(value(L"max_bframes", L"1").c_str()), 0, 4);
    args.insert(args.end(), {L"-bf", std::to_wstring(bframes)});
    if (bframes > 0)
        args.insert(args.end(), {L"-b_qfactor", Hundredths(value(L"bquant_ratio", L"150")),
                                 L"-b_qoffset", Hundredths(value(L"bquant_offset", L"100"))});
    args.insert(args.end(), {L"-me_quality", value(L"me_quality", L"6")});
    const int vhq = _wtoi(value(L"vhq", L"1").c_str());
    if (vhq > 0)
        args.insert(args.end(), {L"-mbd", vhq > 1 ? L"rd" : L"bits"});
    args.insert(args.end(), {L"-trellis", Switch(xvid, L"trellis", true) ? L"1" : L"0"});
    std::wstring flags = L"+mv4";
    if (Switch(xvid, L"hq_ac", true))
        flags += L"+aic";
    if (Switch(xvid, L"closed_gop", true))
        flags += L"+cgop";
    if (Switch(xvid, L"qpel", false))
        flags += L"+qpel";
    args.insert(args.end(), {L"-flags", flags});
    if (Switch(xvid, L"gmc", false))
        args.insert(args.end(), {L"-gmc", L"1"});
    return bframes;
}

void X264Options(const std::map<std::wstring, std::wstring>& x264, double fps,
                 std::vector<std::wstring>& args) {
    // mencoder hands these to x264 by x264's own names; ffmpeg takes the usual ones as its own
    // options and the rest through -x264-params.
    std::map<std::wstring, std::wstring> rest = x264;
    auto take = [&](const wchar_t* name, const std::wstring& fallback) {
        const auto it = rest.find(name);
        std::wstring value = it == rest.end() || it->second.empty() ? fallback : it->second;
        if (it != rest.end())
            rest.erase(it);
        return value;
    };
    args.insert(args.end(), {L"-c:v", L"libx264", L"-preset", take(L"preset", L"medium")});
    if (const std::wstring tune = take(L"tune", L""); !tune.empty())
        args.insert(args.end(), {L"-tune", tune});
    if (x264.count(L"bitrate"))
        args.insert(args.end(), {L"-b:v", take(L"bitrate", L"") + L"k"});
    else if (x264.count(L"qp"))
        args.insert(args.end(), {L"-qp", take(L"qp", L"")});
    else
        args.insert(args.end(), {L"-crf", take(L"crf", L"23")});
    const long keyInterval = fps > 0 ? std::lround(fps * 10) : 250;
    args.insert(args.end(), {L"-g", take(L"keyint", std::to_wstring(keyInterval))});
    args.insert(args.end(), {L"-threads", take(L"threads", L"auto")});
    // 8-bit 4:2:0 in the High profile is what every phone, TV and browser decodes; x264 picks
    // the smallest level the size and rate need.
    args.insert(args.end(), {L"-profile:v", take(L"profile", L"high"), L"-pix_fmt", L"yuv420p"});
    if (const std::wstring level = take(L"level", L""); !level.empty())
        args.insert(args.end(), {L"-level", level});
    std::wstring params;
    for (const auto& [name, value] : rest)
        params += (params.empty() ? L"" : L":") + name + L"=" + (value.empty() ? L"1" : value);
    if (!params.empty())
        args.insert(args.end(), {L"-x264-params", params});
}

std::wstring AudioOptions(const Options& options, std::vector<std::wstring>& args) {
    const std::wstring oac = options.Value(L"-oac", L"mp3lame");
    if (oac == L"copy") {
        args.insert(args.end(), {L"-c:a", L"copy"});
        return L"";
    }
    if (oac == L"faac" || oac == L"lavc") {
        // faac's "br" and lavc's "abitrate" are kbit/s of all channels together.
        auto faac = options.SubOptions(L"-faacopts"), lavc = options.SubOptions(L"-lavcopts");
        const std::wstring codec = oac == L"faac"            ? L"aac"
                                   : lavc[L"acodec"].empty() ? L"mp2"
                                                             : lavc[L"acodec"];
        std::wstring br = oac == L"faac" ? faac[L"br"] : lavc[L"abitrate"];
        if (_wtoi(br.c_str()) <= 0)
            br = oac == L"faac" ? L"128" : L"224";
        args.insert(args.end(), {L"-c:a", codec, L"-b:a", br + L"k"});
        return (codec == L"aac" ? L"AAC " : codec + L" ") + br + L" kbit/s";
    }
    auto lame = options.SubOptions(L"-lameopts");
    const std::wstring br = lame.count(L"br") ? lame[L"br"] : L"128";
    args.insert(args.end(), {L"-c:a", L"libmp3lame"});
    // vbr=0 is a constant bit rate; otherwise leave lame its variable quality.
    if (!lame.count(L"vbr") || lame[L"vbr"] == L"0" || lame[L"cbr"].size())
        args.insert(args.end(), {L"-b:a", br + L"k"});
    else
        args.insert(args.end(), {L"-q:a", L"4"});
    return L"MP3 " + br + L" kbit/s";
}

std::wstring Muxer(const Options& options) {
    if (options.Value(L"-of", L"avi") != L"lavf")
        return L"avi";
    const std::wstring format = options.SubOptions(L"-lavfopts")[L"format"];
    if (!format.empty())
        return format;
    // lavf without a format goes by the output's extension, as mencoder does.
    const std::wstring output = options.Value(L"-o", L"test.avi");
    std::wstring extension = output.substr(output.find_last_of(L'.') + 1);
    for (wchar_t& c : extension)
        c = towlower(c);
    if (extension == L"mp4" || extension == L"m4v")
        return L"mp4";
    if (extension == L"mkv")
        return L"matroska";
    return extension == L"mov" ? L"mov" : L"avi";
}

std::wstring VolnormFilter(const std::wstring& af) {
    // "volnorm[=method:target]" anywhere in the chain; the target is the RMS level to reach.
    const size_t at = af.find(L"volnorm");
    if (at == std::wstring::npos)
        return L"";
    const size_t end = af.find(L',', at);
    const std::wstring item = af.substr(at, end == std::wstring::npos ? end : end - at);
    double target = 0.25;
    const size_t colon = item.find(L':');
    if (colon != std::wstring::npos && _wtof(item.c_str() + colon + 1) > 0)
        target = std::min(1.0, _wtof(item.c_str() + colon + 1));
    // mencoder's volnorm moves its gain smoothly towards sqrt(target / level) while the sound
    // is above its silence level (an RMS of 0.01) and leaves it alone below. In ffmpeg's words:
    // a 2:1 compressor from the silence level with the gain that reaches the target, and a
    // gate that takes that gain back off below the silence level. Equal attack and release
    // keep the RMS unbiased; the gate follows the compressor's output, so its threshold is the
    // silence level with the gain.
    constexpr double kSilence = 0.01;
    const double gain = std::clamp(std::sqrt(target / kSilence), 1.0, 64.0);
    wchar_t filter[400];
    swprintf(filter, 400,
             L"acompressor=threshold=%g:ratio=2:makeup=%.4g:attack=1000:release=1000:knee=1:"
             L"detection=rms:link=average,agate=threshold=%.4g:range=%.4g:ratio=9000:knee=1:"
             L"attack=1000:release=1000:detection=rms:link=average",
             kSilence, gain, kSilence * gain, 1 / gain);
    return filter;
}

void OutputSize(const Options& options, const MediaFacts& source, int& width, int& height) {
    width = source.width;
    height = source.height;
    const int xy = _wtoi(options.Value(L"-xy").c_str());
    if (options.Value(L"-vf").find(L"scale") != std::wstring::npos && xy > 0) {
        width = xy;
        height = 0;
        if (source.width <= 0)
            return;
        const double aspect =
            source.aspect > 0 ? source.aspect : double(source.width) / source.height;
        // Rounded, then made even by dropping the odd line, as mencoder does (16:9 is 404).
        height = std::max(2, static_cast<int>(std::lround(xy / aspect)) & ~1);
    }
}

std::wstring PartialOutput(const std::wstring& output) {
    return output + L".part";
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
    const std::wstring ovc = options.Value(L"-ovc", L"xvid");
    const bool copyVideo = ovc == L"copy", x264 = ovc == L"x264";
    std::vector<std::wstring> video;
    int bframes = 0;
    double fps = source.fps;
    std::wstring rate = FromUtf8(source.fpsRational);
    if (options.Has(L"-ofps")) {
        rate = Rate(options.Value(L"-ofps"));
        fps = _wtof(options.Value(L"-ofps").c_str());
    }
    if (copyVideo)
        video = {L"-c:v", L"copy"};
    else if (x264)
        X264Options(options.SubOptions(L"-x264encopts"), fps, video);
    else
        bframes = XvidOptions(options.SubOptions(L"-xvidencopts"), fps, video);

    // Picture: whole frames at the output's rate from the start of the movie (a picture that
    // starts late is held from 0, as a sound that starts late is padded), then the resize of
    // "-vf scale -zoom -xy W", so the subtitles are drawn at the output's size.
    std::vector<std::wstring> filters;
    if (!copyVideo && !rate.empty())
        filters.push_back(L"fps=" + rate + L":start_time=0");
    int width = 0, height = 0;
    OutputSize(options, source, width, height);
    // Without the source's facts the height is mencoder's rule in ffmpeg's words.
    if (width != source.width || height != source.height)
        filters.push_back(L"scale=" + std::to_wstring(width) + L":" +
                          (height > 0 ? std::to_wstring(height)
                                      : L"floor(round(" + std::to_wstring(width) + L"/dar)/2)*2"));
    // H.264 in 4:2:0 takes only even sizes: an odd one loses its last line or column (a size
    // that is even already passes untouched).
    else if (x264 && (source.width <= 0 || (source.width | source.height) & 1))
        filters.push_back(L"crop=trunc(iw/2)*2:trunc(ih/2)*2");
    if (!subtitleFilter.empty())
        filters.push_back(subtitleFilter);
    // The encoder hands out each packed B-frame with the frame after it, so its first packets
    // come that many frames late; an AVI has no times but its chunks' places, and a late packet
    // leaves an empty chunk before it, after which every frame plays late. The frames after the
    // first are given earlier times to match.
    if (bframes > 0)
        filters.push_back(L"setpts=PTS-min(N\\," + std::to_wstring(bframes) + L")");
    std::wstring chain;
    for (const std::wstring& filter : filters)
        chain += (chain.empty() ? L"" : L",") + filter;
    if (!chain.empty())
        args.insert(args.end(), {L"-vf", chain});
    args.insert(args.end(), {L"-vsync", L"passthrough"});
    args.insert(args.end(), video.begin(), video.end());
    if (options.Has(L"-ffourcc"))
        args.insert(args.end(), {L"-vtag", options.Value(L"-ffourcc")});

    if (options.Has(L"-nosound")) {
        args.push_back(L"-an");
    } else if (!AudioOptions(options, args).empty()) {
        // The sound from the movie's start too: a late start is padded with silence.
        std::wstring sound = L"aresample=async=1:first_pts=0";
        const std::wstring volnorm = VolnormFilter(options.Value(L"-af"));
        if (!volnorm.empty())
            sound += L"," + volnorm;
        args.insert(args.end(), {L"-af", sound});
    }
    // The encoders' first packets may have times before 0 (the sound encoder's delay); shifting
    // everything to make them 0 would move the pictures off whole frames.
    args.insert(args.end(), {L"-avoid_negative_ts", L"disabled"});
    // The muxer is named, as the file written is the partial one. An MP4's index goes before
    // the pictures, so that it plays while it is still downloading.
    const std::wstring muxer = Muxer(options);
    if (muxer == L"mp4" || muxer == L"mov")
        args.insert(args.end(), {L"-movflags", L"+faststart"});
    args.insert(args.end(),
                {L"-f", muxer, PartialOutput(PathForFFmpeg(options.Value(L"-o", L"test.avi")))});
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
    // The job needs the source's facts beforehand only for a rate the command line does not
    // settle or for subtitles (their size, and a track's place among the movie's); otherwise it
    // reads them from the job's own description of its input, which spares a start of ffmpeg.
    const SubtitleChoice choice = ChosenSubtitles(options);
    const bool probe = !options.Has(L"-ofps") || choice.track >= 0 ||
                       (!choice.file.empty() && FileExists(choice.file));
    MediaFacts facts;
    if (probe && !Usable(facts = Probe(source)))
        return 1;

    // Subtitles in the spirit of mencoder's subfont options, burnt in at the output's size: the
    // file of -sub, or text track -sid N of the movie.
    SubtitleJob subtitles;
    std::wstring filter;
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

    // The job writes beside the output; only a conversion that ends well replaces it, so a
    // failed, stopped or killed one never destroys a complete movie of an earlier run.
    const std::wstring output = PathForFFmpeg(options.Value(L"-o", L"test.avi")),
                       partial = PartialOutput(output);
    const DWORD stallMs = StallLimitMs();
    StallWatch stall(stallMs);
    const ULONGLONG start = AwakeMilliseconds();
    ULONGLONG lastStatus = 0;
    std::string pending, tail, head;
    bool described = probe;
    double position = 0;
    long long frames = 0, bytes = 0;
    bool open = true, stalled = false;
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
        size_t from = 0, end;
        while ((end = pending.find_first_of("\r\n", from)) != std::string::npos) {
            const std::string text = pending.substr(from, end - from);
            from = end + 1;
            Progress progress;
            if (ParseProgress(text, progress)) {
                frames = progress.frames;
                bytes = progress.bytes;
                position = progress.seconds;
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
        if (open && stall.Stalled()) {
            stalled = true;
            ffmpeg.Terminate();
            break;
        }
        if (open)
            Sleep(50);
    }
    const int code = stalled ? -1 : ffmpeg.Wait(10000);
    if (!probe && !stalled && code != 0 && !Usable(facts)) {
        RemoveIfEmpty(partial);
        return 1;
    }
    if (stalled || code != 0) {
        RemoveIfEmpty(partial);
        if (stalled)
            tail = "ffmpeg printed nothing for " + std::to_string(stallMs / 1000) + " s";
        Print("\r\n" + tail + "\r\nSorry, this file could not be converted.\r\n");
        return 1;
    }
    Print(EncoderStatus(position, facts.length, frames, facts.fps,
                        (AwakeMilliseconds() - start) / 1000.0, bytes));
    // Whether all of the source was converted is told by the source itself: a header may
    // promise more than its streams hold (a transport stream's times jump, an AVI counts its
    // frames wrong), but a file that stops before its container does was cut off.
    if (CutShort(PathForFFmpeg(source))) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "\r\nThe source breaks off at %.1f s: its file is cut short.\r\nSorry, "
                      "this file could not be converted whole.\r\n",
                      position);
        Print(text);
        return 1;
    }
    if (!MoveFileExW(partial.c_str(), output.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        // Another program holds the earlier movie open, say: it stays, and so does ours.
        Print("\r\nThe new movie could not replace " + UserText(output) + " (error " +
              std::to_string(GetLastError()) +
              ").\r\nSorry, this file could not be converted.\r\n");
        return 1;
    }
    std::vector<std::wstring> unused;
    const std::wstring ovc = options.Value(L"-ovc", L"xvid"), audio = AudioOptions(options, unused);
    const std::string video = ovc == L"x264"   ? "H.264"
                              : ovc == L"copy" ? "as the source's"
                                               : "XviD";
    const bool sound = facts.audio && !options.Has(L"-nosound");
    Print("\r\nVideo stream: " + video + ", " +
          (sound ? "audio stream: " + (audio.empty() ? "as the source's" : ToUtf8(audio))
                 : "no audio stream") +
          "\r\n");
    return 0;
}
