// The pieces of the real engines that need no ffmpeg run: command lines, probe reading, SAMI
// decoding and parsing, the subtitle script and the status lines; and the helpers they share
// with the scripted engines.
#include "Colour.h"
#include "Container.h"
#include "Encoder.h"
#include "Output.h"
#include "Progress.h"
#include "Player.h"
#include "Restarter.h"
#include "SubtitleJob.h"
#include "common/AwakeClock.h"
#include "common/File.h"
#include "common/ProgramPath.h"
#include "common/Text.h"
#include "common/VideoDriver.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

namespace {

std::vector<std::wstring> Args(std::initializer_list<const wchar_t*> words) {
    return std::vector<std::wstring>(words.begin(), words.end());
}

Options Parse(std::vector<std::wstring> words) {
    std::vector<wchar_t*> argv{const_cast<wchar_t*>(L"mencoder.exe")};
    for (std::wstring& w : words)
        argv.push_back(w.data());
    return ParseOptions(static_cast<int>(argv.size()), argv.data());
}

// A command line split at its blanks, as the system splits one without quotes.
Options Words(const std::wstring& line) {
    std::vector<std::wstring> words;
    for (size_t at = 0; at < line.size();) {
        const size_t end = std::min(line.find(L' ', at), line.size());
        if (end > at)
            words.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    return Parse(words);
}

// The encoder's options as Quelvox gives them after the source and "-o OUT -ofps RATE", for the
// AVI and the MP4 at Normal, with the subtitle options.
const std::wstring kAviOptions =
    L"-ovc xvid -xvidencopts max_key_interval=120:bitrate=1000:threads=2 -ffourcc XVID "
    L"-vf scale -zoom -xy 720 -mc 0 -audio-preload 0.0 -noodml -oac mp3lame -lameopts vbr=0 "
    L"-lameopts br=128 -af volnorm";
const std::wstring kMp4Options =
    L"-ovc x264 -x264encopts crf=23:preset=medium:keyint=250:threads=auto -oac faac -faacopts "
    L"br=160:mpeg=4:object=2 -af volnorm -of lavf -lavfopts format=mp4";
const std::wstring kSubtitleOptions =
    L" -font C:\\WINDOWS\\Fonts\\gulim.ttc -subcp cp949 -subfont-text-scale 4 "
    L"-subfont-blur 2 -subfont-outline 2 -sub D:\\Movies\\clip.smi";

bool Follows(const std::vector<std::wstring>& args, const std::wstring& option,
             const std::wstring& value) {
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == option && args[i + 1] == value)
            return true;
    return false;
}

const char* kProbe =
    "Input #0, avi, from 'x.avi':\n"
    "  Duration: 00:01:02.50, start: 0.000000, bitrate: 1455 kb/s\n"
    "    Stream #0:0: Video: mpeg4 (Simple Profile) (XVID / 0x44495658), yuv420p, 1280x720 [SAR "
    "1:1 "
    "DAR 16:9], 1288 kb/s, 59.94 fps, 59.94 tbr, 59.94 tbn, 59.94 tbc\n"
    "    Stream #0:1(kor): Audio: mp3 (U[0][0][0] / 0x0055), 48000 Hz, stereo, fltp, 128 kb/s\n"
    "At least one output file must be specified\n";

// What phones and cameras record, as ffmpeg describes it: an iPhone's HLG movie (Dolby Vision
// 8.4 underneath, which ffmpeg 4.1 does not see), HDR10 with its mastering display and two sound
// tracks, Dolby Vision of profile 5, the same as a newer ffmpeg describes it, an SD camera's
// full-range MJPEG, a DVD's BT.601, a camera's 10-bit 4:2:2 and a screen recording in RGB.
std::string Described(const std::string& video, const std::string& more = {}) {
    return "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'movie.mov':\n"
           "  Duration: 00:00:10.00, start: 0.000000, bitrate: 9000 kb/s\n"
           "    Stream #0:0(und): Video: " +
           video + "\n" + more;
}
const std::string kHlgProbe = Described(
    "hevc (Main 10) (hvc1 / 0x31637668), yuv420p10le(tv, bt2020nc/bt2020/arib-std-b67), "
    "1920x1080, 8800 kb/s, 29.97 fps, 29.97 tbr, 600 tbn, 600 tbc (default)",
    "    Stream #0:1(und): Audio: aac (LC) (mp4a / 0x6134706D), 44100 Hz, stereo, fltp, 160 "
    "kb/s (default)\n");
const std::string kPqProbe = Described(
    "hevc (Main 10), yuv420p10le(tv, bt2020nc/bt2020/smpte2084), 3840x2160 [SAR 1:1 DAR 16:9], "
    "23.98 fps, 23.98 tbr, 1k tbn, 23.98 tbc (default)",
    "    Side data:\n      Mastering Display Metadata, has_primaries:1 has_luminance:1 "
    "r(0.6800,0.3200) g(0.2650,0.6900) b(0.1500 0.0600) wp(0.3127, 0.3290) "
    "min_luminance=0.005000, max_luminance=4000.000000\n"
    "      Content Light Level Metadata, MaxCLL=1500, MaxFALL=400\n"
    "    Stream #0:1(eng): Audio: eac3, 48000 Hz, 5.1(side), fltp, 640 kb/s (default)\n"
    "    Metadata:\n      title           : Surround\n"
    "    Stream #0:2(kor): Audio: aac (LC), 48000 Hz, 7.1, fltp, 384 kb/s\n");
const std::string kDolbyVisionProbe =
    Described("hevc (Main 10) (dvh1 / 0x31687664), yuv420p10le(tv), 3840x2160, 29.97 fps");
const std::string kDoviRecord = "    Side data:\n      DOVI configuration record: version: 1.0, "
                                "profile: %d, level: 6, rpu flag: 1, el flag: 0, bl flag: 1, "
                                "compatibility id: %d\n";
const std::string kFullRangeProbe =
    Described("mjpeg (MJPG / 0x47504A4D), yuvj420p(pc, bt470bg/unknown/unknown), 640x480, 30 fps");
const std::string kDvdProbe =
    Described("h264 (Main), yuv420p(tv, smpte170m), 720x480 [SAR 8:9 DAR 4:3], 29.97 fps");
const std::string kCameraProbe = Described(
    "prores (HQ) (apch / 0x68637061), yuv422p10le(tv, bt709, progressive), 1920x1080, 25 fps");
const std::string kScreenProbe = Described("qtrle (rle  / 0x20656C72), rgb24, 2560x1440, 30 fps");

std::string WithDovi(const std::string& probe, int profile, int compatibility) {
    char record[200];
    std::snprintf(record, sizeof record, kDoviRecord.c_str(), profile, compatibility);
    return probe + record;
}

// Whether the chain holds the pieces in this order.
bool InOrder(const std::wstring& chain, const std::vector<std::wstring>& pieces) {
    size_t at = 0;
    for (const std::wstring& piece : pieces) {
        at = chain.find(piece, at);
        if (at == std::wstring::npos)
            return false;
        at += piece.size();
    }
    return true;
}

} // namespace

MediaFacts Picture(int width, int height) {
    MediaFacts facts;
    facts.readable = facts.video = true;
    facts.width = width;
    facts.height = height;
    facts.aspect = double(width) / height;
    return facts;
}

TEST(EncoderOptions, QuelvoxCommandsBecomeTheMatchingFFmpegJobs) {
    const Options avi = Words(L"D:\\Movies\\clip.avi -o D:\\Movies\\QV_clip.avi.avi -ofps 29.970 " +
                              kAviOptions + kSubtitleOptions);
    ASSERT_EQ(avi.files, Args({L"D:\\Movies\\clip.avi"}));
    EXPECT_TRUE(avi.Has(L"-zoom"));
    EXPECT_TRUE(avi.Has(L"-noodml"));
    EXPECT_EQ(avi.SubOptions(L"-lameopts").at(L"br"), L"128");

    const std::wstring subtitles = L"ass=subs.ass:fontsdir=fonts",
                       sound = L"aresample=async=1:first_pts=0," + VolnormFilter(L"volnorm"),
                       even = L"crop=trunc(iw/2)*2:trunc(ih/2)*2";
    struct Case {
        const char* what;
        std::wstring command, subtitleFilter;
        MediaFacts source;
        std::vector<std::wstring> expected; // pairs of option and value
        std::vector<std::wstring> absent = {};
        std::vector<std::wstring> chain = {}; // pieces of -vf, in their order
    };
    const std::wstring sd = L" -ofps 29.970 -ovc xvid -oac mp3lame -af volnorm",
                       mp4 = L" -ofps 25.000 " + kMp4Options;
    const std::vector<Case> cases = {
        // Whole frames from the start, mencoder's 16:9 height, subtitles at the output's size,
        // and the one packed B-frame's delay taken back.
        {"AVI of a wide movie",
         L"D:\\Movies\\clip.avi -o D:\\Movies\\QV_clip.avi.avi -ofps 29.970 " + kAviOptions +
             kSubtitleOptions,
         subtitles,
         ParseProbe(kProbe),
         {L"-i",
          L"D:\\Movies\\clip.avi",
          L"-c:v",
          L"libxvid",
          L"-b:v",
          L"1000000",
          L"-g",
          L"120",
          L"-vtag",
          L"XVID",
          L"-vf",
          L"fps=30000/1001:start_time=0,scale=720:404,colormatrix=bt709:bt601," + subtitles +
              L",setpts=PTS-min(N\\,1)",
          L"-vsync",
          L"passthrough",
          L"-c:a",
          L"libmp3lame",
          L"-b:a",
          L"128k",
          L"-af",
          sound,
          L"-avoid_negative_ts",
          L"disabled",
          L"-f",
          L"avi"},
         {L"-movflags", L"-pix_fmt"}},
        {"AVI of a narrow movie",
         L"D:\\a.avi -o D:\\b.avi -ofps 23.976 -ovc xvid -xvidencopts bitrate=800 -oac mp3lame",
         L"",
         Picture(640, 352),
         {L"-vf", L"fps=24000/1001:start_time=0,setpts=PTS-min(N\\,1)", L"-b:v", L"800000", L"-af",
          L"aresample=async=1:first_pts=0"}},
        // H.264 and AAC at the size and rate asked, the index at the front.
        {"MP4 of a 720p movie",
         L"D:\\Movies\\clip.avi -o D:\\Movies\\QV_clip.avi.mp4 -ofps 25.000 " + kMp4Options +
             kSubtitleOptions,
         subtitles,
         ParseProbe(kProbe),
         {L"-c:v",
          L"libx264",
          L"-crf",
          L"23",
          L"-preset",
          L"medium",
          L"-g",
          L"250",
          L"-threads",
          L"auto",
          L"-profile:v",
          L"high",
          L"-pix_fmt",
          L"yuv420p",
          L"-vf",
          L"fps=25:start_time=0," + subtitles,
          L"-vsync",
          L"passthrough",
          L"-c:a",
          L"aac",
          L"-b:a",
          L"160k",
          L"-af",
          sound,
          L"-avoid_negative_ts",
          L"disabled",
          L"-movflags",
          L"+faststart",
          L"-f",
          L"mp4"},
         {L"-vtag", L"-bf", L"-x264-params"}},
        {"MP4 of a 4K movie at 60 fps",
         L"D:\\a.mkv -o D:\\QV_a.mkv.mp4 -ofps 60.000 -ovc x264 -x264encopts "
         L"crf=20:preset=medium:keyint=600:threads=auto -vf scale -zoom -xy 1920 -oac faac "
         L"-faacopts br=160:mpeg=4:object=2 -af volnorm -of lavf -lavfopts format=mp4",
         L"",
         Picture(3840, 2160),
         {L"-vf", L"fps=60:start_time=0,scale=1920:1080", L"-crf", L"20", L"-g", L"600"}},
        {"MP4 of an odd size",
         L"D:\\a.avi -o D:\\a.mp4 -ofps 25.000 " + kMp4Options,
         L"",
         Picture(641, 361),
         {L"-vf", L"fps=25:start_time=0," + even}},
        {"MP4 of a movie not described before the job",
         L"D:\\a.avi -o D:\\a.mp4 " + kMp4Options,
         L"",
         MediaFacts{},
         {L"-vf", even}},
        {"lavc's AAC, the muxer by the extension",
         L"D:\\a.avi -o D:\\a.MP4 -ovc x264 -oac lavc -lavcopts acodec=aac:abitrate=192 -of lavf",
         L"",
         Picture(640, 352),
         {L"-c:a", L"aac", L"-b:a", L"192k", L"-movflags", L"+faststart", L"-f", L"mp4"}},
        {"lavc's defaults into Matroska",
         L"D:\\a.avi -o D:\\a.mkv -oac lavc -of lavf",
         L"",
         Picture(640, 352),
         {L"-c:a", L"mp2", L"-b:a", L"224k", L"-f", L"matroska"},
         {L"-movflags"}},
        {"copies",
         L"D:\\a.avi -o D:\\a.avi -ovc copy -oac copy -af volnorm",
         L"",
         MediaFacts{},
         {L"-c:v", L"copy", L"-c:a", L"copy", L"-f", L"avi"},
         {L"-vf", L"-af"}},
        // HDR tone-mapped to BT.601 once at the AVI's size; a track it has not plays the first.
        {"AVI of a phone's HLG movie",
         L"D:\\a.mov -o D:\\a.avi -aid 9 " + kAviOptions,
         L"",
         ParseProbe(kHlgProbe),
         {L"-map", L"0:a:0?", L"-af", sound},
         {L"-color_primaries", L"-colorspace"},
         {L"fps=30000/1001:start_time=0,scale=720:404,zscale=r=full:min=bt2020nc:rin=tv", L"1.2)",
          L"pin=bt2020", L"tonemap=mobius:param=0.6:desat=0:peak=4.926", L"pow(val/maxval\\,1/2.4)",
          L"m=170m:r=tv:d=ordered,format=yuv420p,setpts"}},
        // The file's own peak, BT.709 stated, and the Korean 7.1 track mixed down to stereo.
        {"MP4 of an HDR10 movie",
         L"D:\\a.mkv -o D:\\a.mp4 -ofps 23.976 -vf scale -zoom -xy 1920 -aid 1 " + kMp4Options,
         L"",
         ParseProbe(kPqProbe),
         {L"-map", L"0:a:1?", L"-af",
          L"aresample=async=1:first_pts=0:ocl=stereo:clev=0.7071:slev=0.7071:lfe_mix_level=0:"
          L"rematrix_maxval=1," +
              VolnormFilter(L"volnorm"),
          L"-color_primaries", L"bt709", L"-colorspace", L"bt709"},
         {},
         {L"scale=1920:1080,zscale", L"*6.66667", L"peak=15", L"m=709:r=tv"}},
        {"AVI of a full-range SD movie",
         L"D:\\a.mov -o D:\\a.avi" + sd,
         L"",
         ParseProbe(kFullRangeProbe),
         {L"-vf",
          L"fps=30000/1001:start_time=0,scale=in_range=pc:out_range=tv,setpts=PTS-min(N\\,1)"}},
        {"MP4 of a DVD",
         L"D:\\a.mov -o D:\\a.mp4" + mp4,
         L"",
         ParseProbe(kDvdProbe),
         {L"-vf", L"fps=25:start_time=0", L"-color_primaries", L"smpte170m", L"-colorspace",
          L"smpte170m", L"-color_range", L"tv"}},
        {"MP4 of a camera's 10-bit 4:2:2",
         L"D:\\a.mov -o D:\\a.mp4" + mp4,
         L"",
         ParseProbe(kCameraProbe),
         {L"-vf", L"fps=25:start_time=0", L"-pix_fmt", L"yuv420p", L"-color_trc", L"bt709",
          L"-color_range", L"tv"}},
        {"AVI of a screen recording",
         L"D:\\a.mov -o D:\\a.avi" + sd + L" -vf scale -zoom -xy 720",
         L"",
         ParseProbe(kScreenProbe),
         {L"-vf", L"fps=30000/1001:start_time=0,scale=720:404,setpts=PTS-min(N\\,1)"}},
        {"MP4 of a screen recording",
         L"D:\\a.mov -o D:\\a.mp4" + mp4 + L" -vf scale -zoom -xy 1920",
         L"",
         ParseProbe(kScreenProbe),
         {L"-vf", L"fps=25:start_time=0,scale=1920:1080:out_color_matrix=bt709"}},
    };
    for (const Case& c : cases) {
        const Options options = Words(c.command);
        const auto job = EncoderJob(options, c.source, c.subtitleFilter);
        for (size_t i = 0; i + 1 < c.expected.size(); i += 2)
            EXPECT_TRUE(Follows(job, c.expected[i], c.expected[i + 1]))
                << c.what << ": " << ToUtf8(c.expected[i]) << " " << ToUtf8(c.expected[i + 1])
                << "\n"
                << ToUtf8(JoinArgs(job));
        for (const std::wstring& option : c.absent)
            EXPECT_EQ(std::find(job.begin(), job.end(), option), job.end())
                << c.what << ": " << ToUtf8(option);
        const auto vf = std::find(job.begin(), job.end(), L"-vf");
        if (!c.chain.empty()) {
            EXPECT_TRUE(vf != job.end() && InOrder(vf[1], c.chain)) << c.what << "\n"
                                                                    << ToUtf8(JoinArgs(job));
        }
        // Written beside the output, which only a conversion that ends well replaces.
        EXPECT_EQ(job.back(), options.Value(L"-o") + L".part") << c.what;
    }
}

TEST(EncoderOptions, X264SubOptionsMapToFFmpegsAndTheRestPassThrough) {
    struct Case {
        const wchar_t* x264;
        std::vector<std::wstring> expected; // pairs of option and value
        std::vector<std::wstring> absent = {};
    };
    const std::vector<Case> cases = {
        {L"",
         {L"-c:v", L"libx264", L"-preset", L"medium", L"-crf", L"23", L"-g", L"300", L"-threads",
          L"auto", L"-profile:v", L"high", L"-pix_fmt", L"yuv420p"},
         {L"-b:v", L"-qp", L"-level", L"-tune", L"-x264-params"}},
        {L"crf=26:preset=slow:keyint=250:threads=2",
         {L"-crf", L"26", L"-preset", L"slow", L"-g", L"250", L"-threads", L"2"}},
        {L"bitrate=2000", {L"-b:v", L"2000k"}, {L"-crf"}},
        {L"qp=18", {L"-qp", L"18"}, {L"-crf"}},
        {L"profile=main:level=4.0:tune=film:bframes=2:ref=3:nocabac",
         {L"-profile:v", L"main", L"-level", L"4.0", L"-tune", L"film", L"-x264-params",
          L"bframes=2:nocabac=1:ref=3"}},
    };
    for (const Case& c : cases) {
        std::vector<std::wstring> args;
        X264Options(Parse({L"a.avi", L"-x264encopts", c.x264}).SubOptions(L"-x264encopts"), 30,
                    args);
        for (size_t i = 0; i + 1 < c.expected.size(); i += 2)
            EXPECT_TRUE(Follows(args, c.expected[i], c.expected[i + 1]))
                << ToUtf8(c.x264) << ": " << ToUtf8(c.expected[i]) << "\n"
                << ToUtf8(JoinArgs(args));
        for (const std::wstring& option : c.absent)
            EXPECT_EQ(std::find(args.begin(), args.end(), option), args.end())
                << ToUtf8(c.x264) << ": " << ToUtf8(option);
    }
}

TEST(EncoderOptions, XvidSubOptionsMapToFFmpegsWithMencodersDefaults) {
    struct Case {
        const wchar_t* xvid;
        std::vector<std::wstring> expected; // pairs of option and value
        int bframes;
    };
    const std::vector<Case> cases = {
        {L"bitrate=1000",
         {L"-b:v", L"1000000", L"-g", L"300", L"-bf", L"1", L"-b_qfactor", L"1.5", L"-b_qoffset",
          L"1", L"-me_quality", L"6", L"-mbd", L"bits", L"-trellis", L"1", L"-flags",
          L"+mv4+aic+cgop"},
         1},
        {L"bitrate=800000:max_key_interval=120:threads=2",
         {L"-b:v", L"800000", L"-g", L"120", L"-threads", L"2"},
         1},
        {L"fixed_quant=3:max_bframes=2:bquant_ratio=120:bquant_offset=50",
         {L"-q:v", L"3", L"-bf", L"2", L"-b_qfactor", L"1.2", L"-b_qoffset", L"0.5"},
         2},
        {L"max_bframes=0:vhq=0:me_quality=2", {L"-bf", L"0", L"-me_quality", L"2"}, 0},
        {L"vhq=3:notrellis:nohq_ac:noclosed_gop:qpel:gmc",
         {L"-mbd", L"rd", L"-trellis", L"0", L"-flags", L"+mv4+qpel", L"-gmc", L"1"},
         1},
        {L"bitrate=-700000", {L"-b:v", L"687000"}, 1},
    };
    for (const Case& c : cases) {
        std::vector<std::wstring> args;
        const Options options = Parse({L"a.avi", L"-xvidencopts", c.xvid});
        EXPECT_EQ(XvidOptions(options.SubOptions(L"-xvidencopts"), 30, args), c.bframes) << c.xvid;
        for (size_t i = 0; i + 1 < c.expected.size(); i += 2)
            EXPECT_TRUE(Follows(args, c.expected[i], c.expected[i + 1]))
                << c.xvid << ": " << ToUtf8(c.expected[i]);
        const bool noBframes = c.bframes == 0;
        EXPECT_EQ(std::find(args.begin(), args.end(), L"-b_qfactor") == args.end(), noBframes);
        EXPECT_EQ(std::find(args.begin(), args.end(), L"-mbd") == args.end(),
                  std::wstring(c.xvid).find(L"vhq=0") != std::wstring::npos);
    }
}

TEST(EncoderOptions, VolnormReachesItsTargetFromTheSilenceLevel) {
    // Gain at the silence level sqrt(target / 0.01), taken back off below it by the gate.
    for (auto [af, expected] :
         {std::pair{L"volnorm", L"makeup=5:"}, std::pair{L"volume=2,volnorm=1:0.04", L"makeup=2:"},
          std::pair{L"volnorm=2:0", L"makeup=5:"}}) {
        const std::wstring filter = VolnormFilter(af), makeup = expected;
        const std::wstring gain = makeup.substr(7, makeup.size() - 8);
        EXPECT_NE(filter.find(L"threshold=0.01:ratio=2:" + makeup), std::wstring::npos);
        EXPECT_NEAR(_wtof(filter.substr(filter.find(L"agate=threshold=") + 16).c_str()),
                    0.01 * _wtof(gain.c_str()), 1e-9);
        EXPECT_NEAR(_wtof(filter.substr(filter.find(L"range=") + 6).c_str()),
                    1 / _wtof(gain.c_str()), 1e-9);
    }
    EXPECT_EQ(VolnormFilter(L"volume=2"), L"");
}

TEST(EncoderStatus, FFmpegsProgressBecomesMencodersShareInTwoCharacters) {
    struct Case {
        const char* line;
        bool read;
        double seconds;
        const char* share; // in the status line of a 10-second movie
    };
    const Case cases[] = {
        {"frame=   17 fps=0.0 q=2.0 size=      12kB time=00:00:00.70 bitrate= 1.0kbits/s", true,
         0.7, "( 7%)"},
        {"frame=  105 fps= 25 q=3.0 Lsize=    4096kB time=00:00:04.20 speed=1.0x", true, 4.2,
         "(42%)"},
        // Never 100 while running: three digits would not be read.
        {"frame=  250 fps= 25 q=3.0 size=  4096kB time=01:00:10.00 bitrate=N/A", true, 3610,
         "(99%)"},
        {"frame=    0 fps=0.0 q=0.0 size=       0kB time=N/A bitrate=N/A", false, 0, "( 0%)"},
        // A name echoed elsewhere is no progress.
        {"Input #0, avi, from 'frame=1 size=2kB time=00:00:09.00.avi':", false, 0, "( 0%)"},
        {"frame=", false, 0, "( 0%)"},
    };
    for (const Case& c : cases) {
        JobProgress progress;
        EXPECT_EQ(ReadProgress(c.line, progress), c.read) << c.line;
        EXPECT_DOUBLE_EQ(progress.seconds, c.seconds) << c.line;
        const std::string status = EncoderStatus(progress, 10, 1);
        EXPECT_NE(status.find(c.share), std::string::npos) << c.line << " -> " << status;
        EXPECT_EQ(status.back(), '\r');
    }
    JobProgress progress;
    ASSERT_TRUE(ReadProgress(cases[1].line, progress));
    EXPECT_EQ(progress.frames, 105);
    EXPECT_EQ(progress.bytes, 4096 * 1024);
}

TEST(Probe, ReadsTheFactsFFmpegPrints) {
    const MediaFacts facts = ParseProbe(kProbe);
    EXPECT_TRUE(facts.readable);
    EXPECT_EQ(facts.demuxer, "avi");
    EXPECT_DOUBLE_EQ(facts.length, 62.5);
    EXPECT_EQ(facts.width, 1280);
    EXPECT_EQ(facts.height, 720);
    EXPECT_NEAR(facts.fps, 59.94005994, 1e-6);
    EXPECT_EQ(facts.videoCodec, "mpeg4");
    EXPECT_EQ(facts.videoFourcc, "XVID");
    EXPECT_EQ(facts.audioRate, 48000);
    EXPECT_EQ(facts.audioChannels, 2);
    EXPECT_EQ(facts.audioBitrate, 128);
    EXPECT_FALSE(ParseProbe("x.avi: Invalid data found when processing input\n").readable);
}

// What files put into the description (tags of any length, brackets and colons in them, numbers
// no integer holds, lines of nothing but markers) is read in one pass and costs no fact around
// it. An 8,000-character tag once overflowed the stack: nothing was identified.
TEST(Probe, HostileDescriptionsKeepTheFactsAroundThem) {
    const std::string head = "Input #0, matroska,webm, from 'movie.mkv':\n"
                             "  Duration: 00:00:03.00, start: 0.000000, bitrate: 1479 kb/s\n"
                             "    Stream #0:0: Video: mpeg4, yuv420p, 640x352, 25 fps, 25 tbr\n";
    const std::string tag(8000, 'k');
    struct Case {
        const char* what;
        std::string text;
        int width, height;
        double length;
        std::vector<std::string> languages; // of the subtitle tracks, in order
        std::string firstTitle = {};
    };
    const std::vector<Case> cases = {
        {"a language tag of 8,000 characters",
         head + "    Stream #0:1(" + tag + "): Subtitle: subrip (default)\n",
         640,
         352,
         3,
         {tag}},
        {"a title of 8,000 characters",
         head + "    Stream #0:1(kor): Subtitle: ass\n    Metadata:\n      title           : " +
             tag + "\n",
         640,
         352,
         3,
         {"kor"},
         tag},
        {"brackets and colons inside the language",
         head + "    Stream #0:1[0x20](a:b)c(): Subtitle: subrip\n",
         640,
         352,
         3,
         {"a:b)c("}},
        {"brackets that never close",
         "Input #0, avi, from 'x.avi':\n  Duration: 00:01:00.00, bitrate: 9 kb/s\n"
         "    Stream #0:0: Video: h264 " +
             std::string(100000, '(') + ", 1280x720\n    Stream #0:1: Subtitle: ass\n",
         0,
         0,
         60,
         {""}},
        {"numbers no integer holds",
         "Input #0, avi, from 'x.avi':\n  Duration: 99999999999999999999999:00:01.00\n"
         "    Stream #0:0: Video: mpeg4, yuv420p, 720x99999999999, 99999999999999999999 kb/s, "
         "99999999999999999999999999999999999999999999999999 fps\n",
         720,
         99999,
         999999999999999 * 3600.0 + 1,
         {}},
        {"a megabyte of stream markers on one line",
         head + std::string(50000, ' ') +
             [] {
                 std::string markers;
                 for (int i = 0; i < 100000; ++i)
                     markers += "Stream #0:";
                 return markers;
             }() +
             "\n    Stream #0:1(eng): Subtitle: webvtt\n",
         640,
         352,
         3,
         {"eng"}},
        {"a title line that ends the description", head + "      title:", 640, 352, 3, {}},
    };
    for (const Case& c : cases) {
        const MediaFacts facts = ParseProbe(c.text);
        EXPECT_TRUE(facts.readable) << c.what;
        EXPECT_EQ(facts.width, c.width) << c.what;
        EXPECT_EQ(facts.height, c.height) << c.what;
        EXPECT_DOUBLE_EQ(facts.length, c.length) << c.what;
        ASSERT_EQ(facts.subtitles.size(), c.languages.size()) << c.what;
        for (size_t i = 0; i < c.languages.size(); ++i)
            EXPECT_EQ(facts.subtitles[i].language, c.languages[i]) << c.what;
        if (!facts.subtitles.empty()) {
            EXPECT_EQ(facts.subtitles[0].title, c.firstTitle) << c.what;
        }
        // Every tag stays on its own line of the identification.
        const std::string lines = IdentifyLines(L"movie.mkv", facts);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'),
                  std::count(lines.begin(), lines.end(), '='))
            << c.what;
    }
}

// The colours of each stream (HDR, matrix, range, Dolby Vision) and every sound track.
TEST(Probe, ColoursAndSoundTracksAreReadAsFFmpegNamesThem) {
    struct Case {
        const char* what;
        std::string text;
        std::string pixelFormat, range, matrix; // the last as the filters name it
        Dynamic dynamic;
        bool onlyDolbyVision;
        std::vector<std::string> audio = {}; // language, "*" when default, channels
    };
    const std::vector<Case> cases = {
        {"iPhone HLG", kHlgProbe, "yuv420p10le", "tv", "bt2020", Dynamic::Hlg, false, {"*2"}},
        {"HDR10, two tracks",
         kPqProbe,
         "yuv420p10le",
         "tv",
         "bt2020",
         Dynamic::Pq,
         false,
         {"eng*6", "kor8"}},
        {"Dolby Vision 5, old ffmpeg", kDolbyVisionProbe, "yuv420p10le", "tv", "bt709",
         Dynamic::Sdr, true},
        {"Dolby Vision 5, new ffmpeg", WithDovi(kDolbyVisionProbe, 5, 0), "yuv420p10le", "tv",
         "bt709", Dynamic::Sdr, true},
        {"Dolby Vision 8.4",
         WithDovi(kHlgProbe, 8, 4),
         "yuv420p10le",
         "tv",
         "bt2020",
         Dynamic::Hlg,
         false,
         {"*2"}},
        {"full-range MJPEG", kFullRangeProbe, "yuvj420p", "pc", "bt601", Dynamic::Sdr, false},
        {"DVD", kDvdProbe, "yuv420p", "tv", "bt601", Dynamic::Sdr, false},
        {"camera 4:2:2", kCameraProbe, "yuv422p10le", "tv", "bt709", Dynamic::Sdr, false},
        {"untagged HD", kProbe, "yuv420p", "", "bt709", Dynamic::Sdr, false, {"kor2"}},
    };
    for (const Case& c : cases) {
        const MediaFacts facts = ParseProbe(c.text);
        EXPECT_EQ(facts.pixelFormat, c.pixelFormat) << c.what;
        EXPECT_EQ(facts.colourRange, c.range) << c.what;
        EXPECT_EQ(SourceMatrix(facts), c.matrix) << c.what;
        EXPECT_EQ(DynamicOf(facts), c.dynamic) << c.what;
        EXPECT_EQ(OnlyDolbyVision(facts), c.onlyDolbyVision) << c.what;
        std::vector<std::string> audio;
        for (const AudioTrack& track : facts.audioTracks)
            audio.push_back(track.language + (track.isDefault ? "*" : "") +
                            std::to_string(track.channels));
        EXPECT_EQ(audio, c.audio) << c.what;
    }
    EXPECT_DOUBLE_EQ(ParseProbe(kPqProbe).peakNits, 1500);
    EXPECT_EQ(ParseProbe(kPqProbe).audioTracks[0].title, "Surround");
    EXPECT_EQ(ParseProbe(kPqProbe).audioChannels, 6);
}

TEST(Probe, RoundedRatesBecomeTheNtscRates) {
    std::string rational;
    EXPECT_NEAR(ExactRate(23.98, &rational), 23.976, 0.0005);
    EXPECT_EQ(rational, "24000/1001");
    EXPECT_NEAR(ExactRate(29.97, &rational), 29.970, 0.0005);
    EXPECT_EQ(rational, "30000/1001");
    EXPECT_DOUBLE_EQ(ExactRate(25, &rational), 25);
    EXPECT_EQ(rational, "25");
}

TEST(Identify, PrintsTheKeysWithTheEncodersConventions) {
    const std::string lines = IdentifyLines(L"x.avi", ParseProbe(kProbe));
    for (const char* line :
         {"ID_VIDEO_WIDTH=1280\r\n", "ID_VIDEO_HEIGHT=720\r\n", "ID_VIDEO_FPS=59.940\r\n",
          "ID_LENGTH=62.50\r\n", "ID_DEMUXER=avi\r\n", "ID_VIDEO_FORMAT=XVID\r\n",
          "ID_AUDIO_RATE=48000\r\n", "ID_AUDIO_NCH=2\r\n", "ID_AUDIO_FORMAT=mp3\r\n"})
        EXPECT_NE(lines.find(line), std::string::npos) << line;
    EXPECT_EQ(IdentifyLines(L"x.avi", MediaFacts{}), "");
}

TEST(PlayerOutput, StatusLineCarriesTheClockAfterV) {
    const std::string silent = PlayerStatus(12.34, false, 308);
    EXPECT_EQ(silent.substr(0, 8), "V:  12.3");
    EXPECT_EQ(silent.back(), '\r');
    const std::string sound = PlayerStatus(3.0, true, 75);
    EXPECT_EQ(sound.substr(0, 17), "A:   3.0 V:   3.0");
    int w = 0, h = 0;
    MediaFacts hd = ParseProbe(kProbe);
    DecodeSize(hd, 640, 480, w, h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 360);
}

// The preview draws what the conversion gives: each matrix and range read as the source's own,
// HDR tone-mapped in the same way.
TEST(PlayerOutput, ThePreviewShowsTheColoursOfTheConversion) {
    const std::wstring size = L"scale=640:360";
    const struct {
        std::string probe;
        std::vector<std::wstring> chain;
    } cases[] = {
        {kProbe, {L"scale=640:360:in_color_matrix=bt709:in_range=tv"}},
        {kFullRangeProbe, {L"scale=640:360:in_color_matrix=bt601:in_range=pc"}},
        {kHlgProbe, {L"scale=640:360,zscale=r=full:min=bt2020nc", L"tonemap=mobius", L"1/2.4)'"}},
        {kScreenProbe, {L"scale=640:360"}},
    };
    for (const auto& c : cases) {
        const std::wstring filters = PreviewFilters(ParseProbe(c.probe), size);
        EXPECT_TRUE(InOrder(filters, c.chain)) << ToUtf8(filters);
        EXPECT_TRUE(filters.ends_with(c.chain.back())) << ToUtf8(filters);
    }
}

// The player's decoder starts before the movie is described, with filters that read the matrix
// from the stream (untagged HD as BT.709); it starts again with the conversion's filters only
// for the movies those would show in other colours.
TEST(PlayerOutput, ADecoderStartedBeforeTheDescriptionStartsAgainOnlyForOtherColours) {
    const struct {
        std::string probe;
        bool fits;
    } cases[] = {
        {kProbe, true},          // HD, untagged: colormatrix takes it as BT.709
        {kCameraProbe, true},    // HD in BT.709
        {kDvdProbe, true},       // SD in BT.601
        {kFullRangeProbe, true}, // full range, stated
        {kScreenProbe, true},    // RGB
        {Described("h264, yuv420p(tv, smpte170m), 1920x1080, 25 fps"), false}, // HD in BT.601
        {Described("h264, yuv420p(tv, fcc/bt470m/bt470m), 640x480, 25 fps"), false},
        {kHlgProbe, false},
        {kPqProbe, false},
        {Described("hevc, yuv420p10le(tv, bt2020nc/bt2020/bt709), 1920x1080, 25 fps"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PreviewFiltersUnknownFit(ParseProbe(c.probe)), c.fits) << c.probe;
    EXPECT_TRUE(PreviewFiltersUnknown(640, 480).starts_with(L"colormatrix=bt709:bt601:enable="));
}

TEST(Sami, EncodingFollowsTheMarkOrTheText) {
    const std::wstring korean = L"\uD55C\uAE00";
    EXPECT_EQ(DecodeText("\xC7\xD1\xB1\xDB", CodePageOf(L"cp949")), korean);         // cp949
    EXPECT_EQ(DecodeText("\xED\x95\x9C\xEA\xB8\x80", CodePageOf(L"cp949")), korean); // UTF-8
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF\xED\x95\x9C\xEA\xB8\x80", 949), korean);
    EXPECT_EQ(DecodeText(std::string("\xFF\xFE\x5C\xD5\x00\xAE", 6), 949), korean);
    EXPECT_EQ(DecodeText(std::string("\xFE\xFF\xD5\x5C\xAE\x00", 6), 949), korean);
    EXPECT_EQ(CodePageOf(L"CP949"), 949u);
    EXPECT_EQ(CodePageOf(L"utf-8"), 65001u);
}

TEST(Sami, CuesRunToTheNextSyncAndBlankOnesOnlyEndTheirPredecessor) {
    const auto cues = ParseSami(
        L"<SAMI><BODY>\r\n<SYNC Start=1000><P Class=KRCC>\uD558\uB098<br>two &amp; <b>three</b>\r\n"
        L"<P Class=ENCC>English\r\n<SYNC Start=\"2500\"><P Class=KRCC>&nbsp;\r\n"
        L"<sync start=4000><p class=krcc>last\r\n</BODY></SAMI>");
    ASSERT_EQ(cues.size(), 2u);
    EXPECT_EQ(cues[0].startMs, 1000);
    EXPECT_EQ(cues[0].endMs, 2500);
    EXPECT_EQ(cues[0].text, L"\uD558\uB098\ntwo & {\\b1}three{\\b0}");
    EXPECT_EQ(cues[1].text, L"last");
    EXPECT_EQ(cues[1].endMs, 9000);
    EXPECT_TRUE(ParseSami(L"no subtitles here").empty());
}

TEST(Sami, ScriptIsScaledBlurredAndOutlinedAtThePictureSize) {
    SubtitleStyle style;
    style.font = L"NanumGothic";
    style.width = 720;
    style.height = 406;
    const std::string ass = MakeAss({{0, 2500, L"\uD55C\nline"}}, style);
    EXPECT_NE(ass.find("PlayResX: 720\nPlayResY: 406"), std::string::npos);
    // Four percent of the diagonal, outline 2.
    EXPECT_NE(ass.find("Style: Default,NanumGothic,33,"), std::string::npos) << ass;
    EXPECT_NE(ass.find(",1,2,0,2,"), std::string::npos);
    EXPECT_NE(
        ass.find("Dialogue: 0,0:00:00.00,0:00:02.50,Default,,0,0,0,,{\\blur2}\xED\x95\x9C\\Nline"),
        std::string::npos);
}

// The smallest font file a family name can be read from: one "name" table with one record.
std::string FontWithFamily(const std::wstring& family, bool collection) {
    auto be16 = [](unsigned v) { return std::string{char(v >> 8), char(v & 0xFF)}; };
    auto be32 = [&](unsigned v) { return be16(v >> 16) + be16(v & 0xFFFF); };
    std::string name16;
    for (wchar_t c : family)
        name16 += be16(c);
    const unsigned face = collection ? 16 : 0, table = face + 28;
    std::string font = collection ? "ttcf" + be32(0x10000) + be32(1) + be32(face) : "";
    font += be32(0x10000) + be16(1) + be16(16) + be16(0) + be16(0);
    font += "name" + be32(0) + be32(table) + be32(18 + unsigned(name16.size()));
    font += be16(0) + be16(1) + be16(18);
    font += be16(3) + be16(1) + be16(0x409) + be16(1) + be16(unsigned(name16.size())) + be16(0);
    return font + name16;
}

TEST(Fonts, TheFamilyIsReadFromTheFileAndAMissingFontFallsBack) {
    ScratchDir dir;
    EXPECT_EQ(FontFamily(dir.Write(L"one.ttf", FontWithFamily(L"Test Gothic", false))),
              L"Test Gothic");
    EXPECT_EQ(FontFamily(dir.Write(L"many.ttc", FontWithFamily(L"Test Batang", true))),
              L"Test Batang");
    EXPECT_EQ(FontFamily(dir.Write(L"cut.ttf", FontWithFamily(L"Cut", false).substr(0, 30))), L"");
    EXPECT_EQ(FontFamily(L"C:\\no\\such.ttf"), L"");
    const std::wstring chosen = SubtitleFontFile(L"C:\\no\\such\\gulim.ttc");
    ASSERT_FALSE(chosen.empty());
    EXPECT_FALSE(FontFamily(chosen).empty());
    // Its character map: Latin and Hangul, but no Gurmukhi.
    const CharacterRanges ranges = ReadFontFace(chosen).characters;
    auto draws = [&](char32_t c) {
        return std::any_of(ranges.begin(), ranges.end(),
                           [&](const auto& r) { return r.first <= c && c <= r.second; });
    };
    for (char32_t c : {U'A', U'z', U'\uD55C', U'\uAE00'})
        EXPECT_TRUE(draws(c)) << unsigned(c);
    EXPECT_FALSE(draws(U'\u0A00'));
    EXPECT_TRUE(std::is_sorted(ranges.begin(), ranges.end()));
    EXPECT_TRUE(ReadFontFace(dir.Path() + L"\\one.ttf").characters.empty());
}

TEST(CommandLines, ArgumentsSurviveQuoting) {
    EXPECT_EQ(QuoteArg(L"plain"), L"plain");
    EXPECT_EQ(QuoteArg(L"a b"), L"\"a b\"");
    EXPECT_EQ(QuoteArg(L"C:\\dir x\\"), L"\"C:\\dir x\\\\\"");
    EXPECT_EQ(QuoteArg(L"say \"hi\""), L"\"say \\\"hi\\\"\"");
    EXPECT_EQ(QuoteArg(L""), L"\"\"");
    const std::wstring longPath = L"C:\\" + std::wstring(300, L'a') + L".avi";
    EXPECT_EQ(PathForFFmpeg(longPath).substr(0, 4), L"\\\\?\\");
    EXPECT_EQ(PathForFFmpeg(L"C:\\short.avi"), L"C:\\short.avi");
    // A long network path has a mark of its own.
    const std::wstring share = L"\\\\server\\share\\" + std::wstring(300, L'b') + L".avi";
    EXPECT_EQ(PathForFFmpeg(share),
              L"\\\\?\\UNC\\server\\share\\" + std::wstring(300, L'b') + L".avi");
    // ffmpeg.exe is looked for beside the program that runs.
    const std::wstring self = ProgramPath();
    EXPECT_EQ(self.substr(self.size() - 15), L"\\real_tests.exe");
    EXPECT_EQ(FFmpegPath(), self.substr(0, self.size() - 14) + L"ffmpeg.exe");
}

TEST(VideoDrivers, TheNameLosesItsOptionsAndFallbacks) {
    EXPECT_EQ(VideoDriverName("direct3d"), "direct3d");
    EXPECT_EQ(VideoDriverName("gl:yuv=2"), "gl");
    EXPECT_EQ(VideoDriverName("direct3d,gl,"), "direct3d");
    EXPECT_EQ(VideoDriverName(""), "directx");
    EXPECT_EQ(VideoDriverName(":yuv=2"), "directx");
}

TEST(Text, HangulSurvivesTheConversionsBothWays) {
    const std::wstring korean = L"\uD55C\uAE00 clip.avi";
    const std::string utf8 = "\xED\x95\x9C\xEA\xB8\x80 clip.avi";
    EXPECT_EQ(ToUtf8(korean), utf8);
    EXPECT_EQ(FromUtf8(utf8), korean);
    EXPECT_EQ(Narrow(korean, 949), "\xC7\xD1\xB1\xDB clip.avi");
    EXPECT_EQ(Widen("\xC7\xD1\xB1\xDB clip.avi", 949), korean);
    EXPECT_EQ(ToAnsi(L"plain.avi"), "plain.avi");
    EXPECT_EQ(ToAnsi(korean), Narrow(korean, GetACP()));
    // Empty and embedded zeros as they are: the length counts, not a terminator.
    EXPECT_EQ(ToAnsi(L""), "");
    EXPECT_EQ(FromUtf8(""), L"");
    EXPECT_EQ(ToUtf8(std::wstring(L"a\0b", 3)), std::string("a\0b", 3));
}

TEST(Files, AWholeFileIsReadUpToTheLimitAndAMissingOneIsEmpty) {
    ScratchDir dir;
    // Longer than one read, under a name that is not ASCII.
    const std::string content = std::string(200000, 'x') + "end";
    const std::wstring path = dir.Write(L"\uD55C\uAE00 file.bin", content);
    EXPECT_EQ(ReadWholeFile(path, 1 << 20), content);
    EXPECT_EQ(ReadWholeFile(path, 10), "xxxxxxxxxx");
    EXPECT_EQ(ReadWholeFile(dir.Path() + L"\\missing.bin", 1 << 20), "");
    EXPECT_EQ(ReadWholeFile(dir.Path(), 1 << 20), "");
}

TEST(Files, WrittenBytesAreReadableWhileTheWriterStillHasTheFile) {
    ScratchDir dir;
    const std::wstring path = dir.Path() + L"\\written.bin";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string content = std::string("RIFF\0\0\0\0", 8) + std::string(100000, 'y');
    EXPECT_TRUE(WriteAll(file, content));
    EXPECT_EQ(ReadWholeFile(path, 1 << 20), content);
    CloseHandle(file);
}

TEST(Probe, APortraitMovieIsReportedAsItIsShown) {
    const std::string portrait =
        "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'phone.mp4':\n"
        "  Duration: 00:00:10.00, start: 0.000000, bitrate: 9000 kb/s\n"
        "    Stream #0:0(und): Video: h264 (High) (avc1 / 0x31637661), yuv420p, 1280x720 [SAR 1:1 "
        "DAR 16:9], 8000 kb/s, 30 fps, 30 tbr, 90k tbn, 60 tbc (default)\n"
        "    Metadata:\n"
        "      rotate          : 90\n"
        "      handler_name    : VideoHandle\n"
        "    Side data:\n"
        "      displaymatrix: rotation of -90.00 degrees\n"
        "    Stream #0:1(und): Audio: aac (LC) (mp4a / 0x6134706D), 48000 Hz, stereo, fltp, "
        "128 kb/s (default)\n";
    const MediaFacts facts = ParseProbe(portrait);
    EXPECT_EQ(facts.width, 720);
    EXPECT_EQ(facts.height, 1280);
    EXPECT_NEAR(facts.aspect, 9.0 / 16, 1e-9);
    EXPECT_NE(IdentifyLines(L"phone.mp4", facts).find("ID_VIDEO_WIDTH=720\r\n"), std::string::npos);
    // The conversion's and the preview's sizes keep the upright shape.
    int width = 0, height = 0;
    OutputSize(Parse(Args({L"phone.mp4", L"-vf", L"scale", L"-zoom", L"-xy", L"720"})), facts,
               width, height);
    EXPECT_EQ(width, 720);
    EXPECT_EQ(height, 1280);
    DecodeSize(facts, 640, 480, width, height);
    EXPECT_EQ(width, 270);
    EXPECT_EQ(height, 480);
    // Half a turn keeps the size; a rotation in another stream is not this picture's.
    const std::string upsideDown =
        std::regex_replace(portrait, std::regex("rotate +: 90"), "rotate          : 180");
    EXPECT_EQ(
        ParseProbe(std::regex_replace(upsideDown, std::regex("displaymatrix[^\n]*\n"), "")).width,
        1280);
    const std::string elsewhere =
        std::string(kProbe) + "    Metadata:\n      rotate          : 90\n";
    EXPECT_EQ(ParseProbe(elsewhere).width, 1280);
}

TEST(EncoderOptions, AnUnknownFlagDoesNotSwallowTheMoviesName) {
    ScratchDir dir;
    const std::wstring movie = dir.Write(L"movie.avi", "x");
    const Options options =
        Parse({L"-newflag", movie, L"-o", L"out.avi", L"-unknown", L"value", L"-o", movie});
    EXPECT_EQ(options.files, std::vector<std::wstring>{movie});
    EXPECT_TRUE(options.Has(L"-newflag"));
    EXPECT_EQ(options.Value(L"-unknown"), L"value");
    // A known option takes its value even when that names a file.
    EXPECT_EQ(options.Value(L"-o"), movie);
}

TEST(Text, UserTextNeverCarriesAFailureText) {
    EXPECT_EQ(UserText(L"D:\\Movies\\clip.avi"), "D:\\Movies\\clip.avi");
    EXPECT_EQ(UserText(L"I'm Sorry, I Love You.avi"), "I'm Sorry%2C I Love You.avi");
    EXPECT_EQ(UserText(L"Sorry,annot open demuxer.avi"), "Sorry%2Cannot open demuxer%2Eavi");
    // A letter the code page lacks may come out as one that would complete the text.
    const std::string shown = UserText(L"Sorr\u00FD, again");
    EXPECT_EQ(shown.find("Sorry,"), std::string::npos) << shown;
}

TEST(Sami, MalformedFilesLoseOnlyWhatIsMalformed) {
    // A NUL, raw or as a reference, and other control characters are dropped, not the cues
    // after them; a reference beyond the first plane is one character.
    auto cues = ParseSami(L"<SYNC Start=0><P Class=KRCC>a" + std::wstring(1, L'\0') +
                          L"b&#0;c&#7;d\r\n"
                          L"<SYNC Start=1000><P Class=KRCC>&#128512;\r\n"
                          L"<SYNC Start=2000><P Class=KRCC>after");
    ASSERT_EQ(cues.size(), 3u);
    EXPECT_EQ(cues[0].text, L"abcd");
    EXPECT_EQ(cues[1].text, L"\U0001F600");
    EXPECT_EQ(cues[2].text, L"after");
    // An opening paragraph without a class does not choose the language.
    cues = ParseSami(L"<SYNC Start=0><P>&nbsp;\r\n<SYNC Start=1000><P Class=KRCC>\uD55C"
                     L"<P Class=ENCC>English\r\n<SYNC Start=2000><P Class=KRCC>\uAE00");
    ASSERT_EQ(cues.size(), 2u);
    EXPECT_EQ(cues[0].text, L"\uD55C");
    EXPECT_EQ(cues[1].text, L"\uAE00");
    // A start that is no number, or too large a one, is skipped.
    cues = ParseSami(L"<SYNC Start=abc><P>never\r\n<SYNC Start=99999999999><P>nor this\r\n"
                     L"<SYNC Start=500><P>shown");
    ASSERT_EQ(cues.size(), 1u);
    EXPECT_EQ(cues[0].startMs, 500);
    EXPECT_EQ(cues[0].text, L"shown");
}

TEST(Sami, UnicodeWithAStrayByteIsStillUnicode) {
    const std::string korean = "\xED\x95\x9C\xEA\xB8\x80";
    std::string text;
    for (int i = 0; i < 20; ++i)
        text += korean + " ";
    const std::wstring decoded = DecodeText(text + "\xB0" + korean, 949);
    EXPECT_EQ(decoded.substr(0, 3), L"\uD55C\uAE00 ");
    EXPECT_NE(decoded.find(L"\uFFFD\uD55C\uAE00"), std::wstring::npos);
}

TEST(Sami, ALargeFileGivesEveryCue) {
    std::wstring sami = L"<SAMI><BODY>\r\n";
    for (int i = 0; i < 30000; ++i)
        sami += L"<SYNC Start=" + std::to_wstring(i * 1000) + L"><P Class=KRCC>cue " +
                std::to_wstring(i) + L"\r\n";
    const auto cues = ParseSami(sami + L"</BODY></SAMI>");
    ASSERT_EQ(cues.size(), 30000u);
    EXPECT_EQ(cues.back().text, L"cue 29999");
}

TEST(Sami, AFileAnotherProgramIsWritingIsStillRead) {
    ScratchDir dir;
    const std::wstring path = dir.Write(L"open.smi", "<SYNC Start=0><P Class=KRCC>open");
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    SubtitleJob job;
    EXPECT_TRUE(job.Prepare({SubtitleSource{path}}, {}, L"", MediaFacts{}, SubtitleStyle{}));
    CloseHandle(writer);
}

TEST(Sami, FoldersOfEnginesThatAreGoneAreRemoved) {
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    // A process id that no process has: ids are multiples of four.
    const std::wstring stale = std::wstring(temp) + L"qv-subs-4294967293-1";
    CreateDirectoryW(stale.c_str(), nullptr);
    CreateDirectoryW((stale + L"\\fonts").c_str(), nullptr);
    ScratchDir dir;
    SubtitleJob job;
    ASSERT_TRUE(job.Prepare({SubtitleSource{dir.Write(L"a.smi", "<SYNC Start=0><P>a")}}, {}, L"",
                            MediaFacts{}, SubtitleStyle{}));
    EXPECT_EQ(GetFileAttributesW(stale.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW(job.Folder().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Sami, AFolderLeftByAnEngineThatHadOurIdIsPassedOver) {
    ScratchDir dir;
    const std::wstring sami = dir.Write(L"a.smi", "<SYNC Start=0><P>a");
    SubtitleJob first;
    ASSERT_TRUE(first.Prepare({SubtitleSource{sami}}, {}, L"", MediaFacts{}, SubtitleStyle{}));
    // The next two names are taken, as process ids come round again.
    const std::wstring name = first.Folder();
    const size_t dash = name.find_last_of(L'-');
    const int number = _wtoi(name.c_str() + dash + 1);
    for (int taken : {number + 1, number + 2})
        CreateDirectoryW((name.substr(0, dash + 1) + std::to_wstring(taken)).c_str(), nullptr);
    SubtitleJob next;
    EXPECT_TRUE(next.Prepare({SubtitleSource{sami}}, {}, L"", MediaFacts{}, SubtitleStyle{}));
    EXPECT_EQ(next.Folder(), name.substr(0, dash + 1) + std::to_wstring(number + 3));
    for (int taken : {number + 1, number + 2})
        RemoveDirectoryW((name.substr(0, dash + 1) + std::to_wstring(taken)).c_str());
}

namespace {

// A file's bytes, read as the container check reads them.
bool Cut(const std::string& bytes, unsigned long long size) {
    return CutShort(
        [&](unsigned long long at, size_t count) {
            return at < bytes.size() ? bytes.substr(size_t(at), count) : std::string();
        },
        size);
}

std::string Le(unsigned v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}
std::string Be(unsigned v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

} // namespace

TEST(Containers, AFileThatStopsBeforeItsContainerIsCutShort) {
    const std::string riff = "RIFF" + Le(1000) + "AVI " + std::string(996, 'x');
    const std::string avix = "RIFF" + Le(500) + "AVIX" + std::string(496, 'x');
    const std::string mp4 = Be(16) + "ftypisom" + Be(0) + Be(5000) + "mdat" + std::string(100, 'x');
    const std::string mkv = std::string("\x1A\x45\xDF\xA3\x84", 5) + "abcd" +
                            std::string("\x18\x53\x80\x67\x42\x00", 6) + std::string(100, 'x');
    struct Case {
        const char* what;
        std::string bytes;
        unsigned long long size;
        bool cut;
    };
    for (const Case& c : std::vector<Case>{
             {"whole AVI", riff, 1008, false},
             {"AVI cut in its first RIFF", riff, 700, true},
             {"large AVI cut in a later RIFF", riff + avix, 1008 + 300, true},
             {"large AVI whole", riff + avix, 1008 + 508, false},
             {"MP4 whose media box runs past the end", mp4, mp4.size(), true},
             {"MP4 whole", Be(16) + "ftypisom" + Be(0) + Be(108) + "mdat" + std::string(100, 'x'),
              124, false},
             // Some download tools append an ID3v1 tag: 128 bytes that are no box.
             {"MP4 with a tag after its last box",
              Be(16) + "ftypisom" + Be(0) + Be(108) + "mdat" + std::string(100, 'x') + "TAG" +
                  std::string(125, ' '),
              252, false},
             {"AVI with a tag after its last RIFF", riff + "TAG" + std::string(125, ' '), 1136,
              false},
             {"Matroska with a tag after its segment",
              std::string("\x1A\x45\xDF\xA3\x84", 5) + "abcd" +
                  std::string("\x18\x53\x80\x67\x90", 5) + std::string(16, 'x') + "TAG" +
                  std::string(125, ' '),
              158, false},
             {"Matroska segment past the end", mkv, mkv.size(), true},
             {"Matroska segment of unknown size",
              std::string("\x1A\x45\xDF\xA3\x84", 5) + "abcd" +
                  std::string("\x18\x53\x80\x67\x01\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 12),
              200, false},
             {"transport stream", std::string("\x47\x40\x00\x10", 4) + std::string(184, 'x'), 188,
              false},
         })
        EXPECT_EQ(Cut(c.bytes, c.size), c.cut) << c.what;
}

namespace {

// ffmpeg's description of a movie with text and picture subtitle tracks, and an attachment
// whose metadata belongs to no track.
const std::string kTracksProbe =
    "Input #0, matroska,webm, from 'movie.mkv':\r\n"
    "  Duration: 00:00:03.00, start: 0.000000, bitrate: 1479 kb/s\r\n"
    "    Stream #0:0: Video: mpeg4 (Simple Profile), yuv420p, 640x352 [SAR 1:1 DAR 20:11], 25 "
    "fps, 25 tbr, 1k tbn, 25 tbc (default)\r\n"
    "    Stream #0:1(eng): Subtitle: subrip\r\n"
    "    Metadata:\r\n"
    "      title           : English\r\n"
    "    Stream #0:2(kor): Subtitle: ass (default)\r\n"
    "    Metadata:\r\n"
    "      title           : \xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4\r\n"
    "      DURATION        : 00:00:02.000000000\r\n"
    "    Stream #0:3(und): Subtitle: hdmv_pgs_subtitle, 1920x1080\r\n"
    "    Stream #0:4[0x1201](jpn): Subtitle: dvd_subtitle (mp4s / 0x7334706D), 720x480 "
    "(forced)\r\n"
    "    Metadata:\r\n"
    "      title           : two\x01words\r\n"
    "    Stream #0:5(eng): Audio: ac3, 48000 Hz, 5.1(side), fltp, 448 kb/s\r\n"
    "    Stream #0:6(kor): Audio: aac (LC), 48000 Hz, stereo, fltp (default)\r\n"
    "    Metadata:\r\n"
    "      title           : \xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4\r\n"
    "    Stream #0:7: Audio: mp3, 44100 Hz, mono, fltp, 64 kb/s\r\n"
    "    Stream #0:8: Attachment: ttf\r\n"
    "    Metadata:\r\n"
    "      filename        : font.ttf\r\n"
    "      title           : no track's\r\n"
    "At least one output file must be specified\r\n";

} // namespace

TEST(Identify, TracksAreListedAsMPlayerListsThemWithTheirKindAndDefault) {
    const MediaFacts facts = ParseProbe(kTracksProbe);
    ASSERT_EQ(facts.subtitles.size(), 4u);
    const std::string expected =
        "ID_SUBTITLE_ID=0\r\nID_SID_0_LANG=eng\r\nID_SID_0_NAME=English\r\nID_SID_0_TYPE=text\r\n"
        "ID_SUBTITLE_ID=1\r\nID_SID_1_LANG=kor\r\nID_SID_1_NAME=" +
        ToAnsi(L"\uD55C\uAD6D\uC5B4") +
        "\r\nID_SID_1_TYPE=text\r\nID_SID_1_DEFAULT=1\r\n"
        "ID_SUBTITLE_ID=2\r\nID_SID_2_TYPE=image\r\n"
        "ID_SUBTITLE_ID=3\r\nID_SID_3_LANG=jpn\r\nID_SID_3_NAME=twowords\r\nID_SID_3_TYPE="
        "image\r\n";
    EXPECT_EQ(SubtitleTrackLines(facts.subtitles), expected);
    const std::string lines = IdentifyLines(L"movie.mkv", facts);
    EXPECT_NE(lines.find("ID_VIDEO_WIDTH=640\r\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find(expected), std::string::npos) << lines;
    EXPECT_EQ(SubtitleTrackLines(ParseProbe(kProbe).subtitles), "");
    // The sound tracks in their order, the facts of the first.
    const std::string sound = "ID_AUDIO_ID=0\r\nID_AID_0_LANG=eng\r\nID_AUDIO_ID=1\r\n"
                              "ID_AID_1_LANG=kor\r\nID_AID_1_NAME=" +
                              ToAnsi(L"\uD55C\uAD6D\uC5B4") +
                              "\r\nID_AID_1_DEFAULT=1\r\nID_AUDIO_ID=2\r\nID_AUDIO_FORMAT=ac3\r\n";
    EXPECT_NE(lines.find(sound), std::string::npos) << lines;
    EXPECT_NE(lines.find("ID_AUDIO_NCH=6\r\n"), std::string::npos) << lines;
}

TEST(SubtitleOptions, TheFileTheTrackAndTheFilesFoundByNameAreRead) {
    const struct {
        std::vector<std::wstring> words;
        const wchar_t* file;
        int track;
        bool filesByName;
    } cases[] = {
        {{L"a.avi", L"-sub", L"D:\\a b.srt"}, L"D:\\a b.srt", -1, true},
        {{L"a.mkv", L"-sid", L"2"}, L"", 2, true},
        {{L"a.mkv", L"-sid", L"-1"}, L"", -1, true},
        {{L"a.mkv", L"-sid", L"two"}, L"", -1, true},
        {{L"a.mkv", L"-sid", L"1", L"-sub", L"a.ass"}, L"a.ass", 1, true},
        {{L"a.mkv", L"-noautosub"}, L"", -1, false},
        {{L"a.mkv"}, L"", -1, true},
    };
    for (const auto& c : cases) {
        const SubtitleChoice choice = ChosenSubtitles(Parse(c.words));
        EXPECT_EQ(choice.file, c.file) << c.words.back();
        EXPECT_EQ(choice.track, c.track) << c.words.back();
        EXPECT_EQ(choice.filesByName, c.filesByName) << c.words.back();
    }
    const SubtitleChoice read =
        ChosenSubtitles(Parse({L"a.mkv", L"-subcp", L"utf-8", L"-font", L"C:\\f.ttc"}));
    EXPECT_EQ(read.codePage, L"utf-8");
    EXPECT_EQ(read.font, L"C:\\f.ttc");
    EXPECT_EQ(ChosenSubtitles(Parse({L"a.mkv"})).codePage, L"cp949");
}

TEST(SubtitleOptions, ATrackIsCopiedInAFormatOfItsOwnKind) {
    const struct {
        const char* codec;
        const wchar_t* file;
        const wchar_t* args;
    } cases[] = {
        {"subrip", L"track.srt", L"-map 0:s:2 -c:s copy -f srt track.srt"},
        {"ass", L"track.ass", L"-map 0:s:2 -c:s copy -f ass track.ass"},
        {"ssa", L"track.ass", L"-map 0:s:2 -c:s ass -f ass track.ass"},
        {"webvtt", L"track.vtt", L"-map 0:s:2 -c:s copy -f webvtt track.vtt"},
        {"mov_text", L"track.srt", L"-map 0:s:2 -c:s srt -f srt track.srt"},
    };
    for (const auto& c : cases) {
        SubtitleTrack track;
        track.codec = c.codec;
        std::wstring file;
        EXPECT_EQ(JoinArgs(TrackCopyArgs(track, 2, file)), c.args) << c.codec;
        EXPECT_EQ(file, c.file) << c.codec;
    }
}

// The movie's tracks: 0 English SubRip, 1 Korean ASS marked default, 2 and 3 pictures.
TEST(SubtitleOptions, FilesComeFirstThenTheTrackAskedForThenTheDefaultAndKoreanOnes) {
    ScratchDir dir;
    const std::wstring movie = dir.Path() + L"\\Movie.mkv";
    // Named as the movie, but not in its case.
    dir.Write(L"movie.SMI", "");
    dir.Write(L"MOVIE.srt", "");
    const std::wstring other = dir.Write(L"other.ass", "");
    const std::vector<SubtitleTrack> tracks = ParseProbe(kTracksProbe).subtitles;
    auto described = [&](const std::vector<std::wstring>& words) {
        std::wstring list;
        for (const SubtitleSource& s :
             SubtitleCandidates(ChosenSubtitles(Parse(words)), movie, tracks))
            list += (list.empty() ? L"" : L" ") +
                    (s.file.empty() ? std::to_wstring(s.track)
                                    : s.file.substr(s.file.find_last_of(L'\\') + 1));
        return list;
    };
    const std::pair<std::vector<std::wstring>, const wchar_t*> cases[] = {
        {{movie}, L"Movie.smi Movie.srt 1"},
        {{movie, L"-sub", other}, L"other.ass Movie.smi Movie.srt 1"},
        {{movie, L"-sub", dir.Path() + L"\\MOVIE.SMI"}, L"MOVIE.SMI Movie.srt 1"},
        {{movie, L"-sid", L"0"}, L"Movie.smi Movie.srt 0 1"},
        // A picture track, or one the movie has not, is no source.
        {{movie, L"-sid", L"2"}, L"Movie.smi Movie.srt 1"},
        {{movie, L"-sid", L"99"}, L"Movie.smi Movie.srt 1"},
        {{movie, L"-noautosub", L"-sub", dir.Path() + L"\\none.srt"}, L"1"},
    };
    for (const auto& [words, expected] : cases)
        EXPECT_EQ(described(words), expected) << words.back();
    // A track that cannot be copied burns nothing.
    for (int track : {2, 3, 4, 99}) {
        SubtitleJob job;
        EXPECT_FALSE(job.Prepare({SubtitleSource{L"", track}}, {}, L"C:\\no\\movie.mkv",
                                 ParseProbe(kTracksProbe), SubtitleStyle{}))
            << track;
        EXPECT_FALSE(job.Ready()) << track;
    }
}

namespace {

// A machine whose clocks the test moves, and lets sleep.
struct FakeClocks : SystemClocks {
    ULONGLONG awakeMs = 5000, tickMs = 5000;
    ULONGLONG Unbiased() const override { return awakeMs * 10000; }
    ULONGLONG Ticks() const override { return tickMs; }
    void Run(ULONGLONG ms) { awakeMs += ms, tickMs += ms; }
    void Sleep(ULONGLONG ms) { tickMs += ms; }
};

} // namespace

TEST(StallWatch, OnlyAwakeTimeWithoutNewsCountsAsAStall) {
    // Steps: milliseconds awake (negative: asleep), 0 for news.
    struct Case {
        const char* what;
        std::vector<long long> steps;
        bool stalled;
    };
    for (const Case& c : std::vector<Case>{
             {"quiet for less than the limit", {59000}, false},
             {"quiet for the limit", {60000}, true},
             {"news just before the limit", {59000, 0, 59000}, false},
             {"asleep overnight", {-8LL * 3600 * 1000}, false},
             {"asleep, then quiet for the limit", {30000, -3600 * 1000, 30000}, true},
         }) {
        FakeClocks clocks;
        StallWatch watch(60000, clocks);
        for (long long step : c.steps) {
            if (step == 0)
                watch.Moved();
            else if (step > 0)
                clocks.Run(step);
            else
                clocks.Sleep(-step);
        }
        EXPECT_EQ(watch.Stalled(), c.stalled) << c.what;
    }
}

// The player's window thread only asks; seeks that come while the decoders restart add up to one
// restart more.
TEST(Restarter, RequestsThatComeWhileTheJobRunsAreTakenTogether) {
    HANDLE started = CreateEventW(nullptr, FALSE, FALSE, nullptr),
           gate = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> requested{0};
    std::vector<int> seen; // what each run found asked for
    {
        Restarter restarter([&] {
            seen.push_back(requested);
            SetEvent(started);
            WaitForSingleObject(gate, 60000);
        });
        EXPECT_FALSE(restarter.Busy());
        ++requested;
        restarter.Request();
        ASSERT_EQ(WaitForSingleObject(started, 60000), WAIT_OBJECT_0);
        // The job is held: the requests return at once.
        for (int i = 0; i < 10; ++i) {
            ++requested;
            restarter.Request();
        }
        EXPECT_TRUE(restarter.Busy());
        SetEvent(gate);
        ASSERT_EQ(WaitForSingleObject(started, 60000), WAIT_OBJECT_0);
        SetEvent(gate);
        // A job more would wait at the gate for ever.
        const ULONGLONG guard = GetTickCount64() + 60000;
        while (restarter.Busy() && GetTickCount64() < guard)
            Sleep(5);
        EXPECT_FALSE(restarter.Busy());
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 11}));
    CloseHandle(started);
    CloseHandle(gate);
}
