#include "Encoder.h"

#include "Colour.h"
#include "Output.h"
#include "common/Text.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

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

AudioEncoding AudioEncodingOf(const Options& options) {
    const std::wstring oac = options.Value(L"-oac", L"mp3lame");
    if (oac == L"copy")
        return {{L"-c:a", L"copy"}, L""};
    if (oac == L"faac" || oac == L"lavc") {
        // faac's "br" and lavc's "abitrate" are kbit/s of all channels together.
        auto faac = options.SubOptions(L"-faacopts"), lavc = options.SubOptions(L"-lavcopts");
        const std::wstring codec = oac == L"faac"            ? L"aac"
                                   : lavc[L"acodec"].empty() ? L"mp2"
                                                             : lavc[L"acodec"];
        std::wstring br = oac == L"faac" ? faac[L"br"] : lavc[L"abitrate"];
        if (_wtoi(br.c_str()) <= 0)
            br = oac == L"faac" ? L"128" : L"224";
        return {{L"-c:a", codec, L"-b:a", br + L"k"},
                (codec == L"aac" ? L"AAC " : codec + L" ") + br + L" kbit/s"};
    }
    auto lame = options.SubOptions(L"-lameopts");
    const std::wstring br = lame.count(L"br") ? lame[L"br"] : L"128";
    // vbr=0 is a constant bit rate; otherwise leave lame its variable quality.
    const bool constant = !lame.count(L"vbr") || lame[L"vbr"] == L"0" || lame[L"cbr"].size();
    return {{L"-c:a", L"libmp3lame", constant ? L"-b:a" : L"-q:a", constant ? br + L"k" : L"4"},
            L"MP3 " + br + L" kbit/s"};
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

int ChosenAudioTrack(const Options& options, const MediaFacts& source) {
    const std::wstring aid = options.Value(L"-aid");
    if (aid.empty() || aid.size() > 5 ||
        !std::all_of(aid.begin(), aid.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
        return 0;
    // A number no track has plays the first, as a file without the track asked for has sound.
    const int track = _wtoi(aid.c_str());
    return !source.readable || track < static_cast<int>(source.audioTracks.size()) ? track : 0;
}

std::wstring SoundFilter(const Options& options, const MediaFacts& source) {
    // The sound from the movie's start too: a late start is padded with silence.
    std::wstring sound = L"aresample=async=1:first_pts=0";
    // More than two channels are mixed down as the standard matrix has it: the centre and the
    // surrounds at -3 dB into both sides, the low frequencies left out, scaled so that nothing
    // clips.
    const size_t track = ChosenAudioTrack(options, source);
    if (track < source.audioTracks.size() &&
        (source.audioTracks[track].channels > 2 || source.audioTracks[track].channels == 0))
        sound += L":ocl=stereo:clev=0.7071:slev=0.7071:lfe_mix_level=0:rematrix_maxval=1";
    const std::wstring volnorm = VolnormFilter(options.Value(L"-af"));
    if (!volnorm.empty())
        sound += L"," + volnorm;
    return sound;
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
                                      L"0:a:" + std::to_wstring(ChosenAudioTrack(options, source)) +
                                          L"?"};
    const std::wstring ovc = options.Value(L"-ovc", L"xvid");
    const std::wstring muxer = Muxer(options);
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
    std::wstring size;
    if (width != source.width || height != source.height)
        size = L"scale=" + std::to_wstring(width) + L":" +
               (height > 0 ? std::to_wstring(height)
                           : L"floor(round(" + std::to_wstring(width) + L"/dar)/2)*2");
    // H.264 in 4:2:0 takes only even sizes: an odd one loses its last line or column (a size
    // that is even already passes untouched).
    else if (x264 && (source.width <= 0 || (source.width | source.height) & 1))
        filters.push_back(L"crop=trunc(iw/2)*2:trunc(ih/2)*2");
    // The colours players assume for the output, at limited range and 8 bits, from whatever the
    // source is in; HDR is tone-mapped once the picture has its output size, where it costs
    // least (engines/README.md).
    const std::string matrix = OutputMatrix(source, muxer != L"avi");
    if (!copyVideo) {
        const std::wstring picture = PictureFilters(source, size, matrix);
        if (!picture.empty())
            filters.push_back(picture);
    }
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
    // An AVI has no place for its colours; the others say what they are in.
    if (!copyVideo && muxer != L"avi")
        for (const std::wstring& tag : ColourTags(matrix, source))
            args.push_back(tag);
    if (options.Has(L"-ffourcc"))
        args.insert(args.end(), {L"-vtag", options.Value(L"-ffourcc")});

    if (options.Has(L"-nosound")) {
        args.push_back(L"-an");
    } else {
        const AudioEncoding audio = AudioEncodingOf(options);
        args.insert(args.end(), audio.args.begin(), audio.args.end());
        if (!audio.label.empty())
            args.insert(args.end(), {L"-af", SoundFilter(options, source)});
    }
    // The encoders' first packets may have times before 0 (the sound encoder's delay); shifting
    // everything to make them 0 would move the pictures off whole frames.
    args.insert(args.end(), {L"-avoid_negative_ts", L"disabled"});
    // The muxer is named, as the file written is the partial one. An MP4's index goes before
    // the pictures, so that it plays while it is still downloading.
    if (muxer == L"mp4" || muxer == L"mov")
        args.insert(args.end(), {L"-movflags", L"+faststart"});
    args.insert(args.end(),
                {L"-f", muxer, PartialOutput(PathForFFmpeg(options.Value(L"-o", L"test.avi")))});
    return args;
}
