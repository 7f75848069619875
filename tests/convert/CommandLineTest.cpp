// The command lines a conversion passes to the player and the encoder.
#include "convert/CommandLine.h"
#include "preview/PreviewPlan.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace convert;

namespace {
EncodeSettings Settings(int width, double fps, int quality = 1) {
    EncodeSettings s;
    s.programFolder = L"C:\\Q\\";
    s.windowsFolder = L"C:\\WINDOWS";
    s.quality = quality;
    s.width = width;
    s.fps = fps;
    return s;
}
} // namespace

TEST(EncoderCommand, NormalQualityWithoutScaling) {
    EXPECT_EQ(EncoderCommand(Settings(640, 25.0), L"D:\\Movies\\clip.avi"),
              L"\"C:\\Q\\bin\\mencoder.exe\" \"D:\\Movies\\clip.avi\" -o "
              L"\"D:\\Movies\\QV_clip.avi.avi\" -ofps   25.000 -ovc xvid -xvidencopts "
              L"max_key_interval=120:bitrate=1000:threads=2 -ffourcc XVID  -mc 0 -audio-preload "
              L"0.0 -noodml -oac mp3lame -lameopts vbr=0 -lameopts br=128 -af volnorm  -font "
              L"\"C:\\WINDOWS\\Fonts\\gulim.ttc\" -subcp cp949 -subfont-text-scale 4 "
              L"-subfont-blur 2 -subfont-outline 2 -sub \"D:\\Movies\\clip.smi\"");
}

TEST(EncoderCommand, WidePictureIsScaledAndFastRateCapped) {
    const std::wstring command = EncoderCommand(Settings(1280, 59.94), L"D:\\Movies\\clip.avi");
    EXPECT_NE(command.find(L"-ofps   29.970 -ovc xvid"), std::wstring::npos) << command;
    EXPECT_NE(command.find(L"-ffourcc XVID -vf scale -zoom -xy 720 -mc 0"), std::wstring::npos)
        << command;
}

TEST(EncoderCommand, ScalingStartsAbove720Pixels) {
    EXPECT_EQ(EncoderCommand(Settings(720, 25.0), L"a.avi").find(L"-vf scale"), std::wstring::npos);
    EXPECT_NE(EncoderCommand(Settings(721, 25.0), L"a.avi").find(L"XVID -vf scale -zoom -xy 720 "),
              std::wstring::npos);
}

TEST(EncoderCommand, RateKeepsEightCharactersAndThreeDecimals) {
    auto rate = [](double fps) {
        const std::wstring c = EncoderCommand(Settings(640, fps), L"a.avi");
        const size_t at = c.find(L"-ofps ") + 6;
        return c.substr(at, 8);
    };
    EXPECT_EQ(rate(30.0), L"  30.000");
    EXPECT_EQ(rate(30.01), L"  29.970");
    EXPECT_EQ(rate(23.976), L"  23.976");
    EXPECT_EQ(rate(29.97), L"  29.970");
}

TEST(EncoderCommand, QualityChoosesTheBitrate) {
    EXPECT_NE(EncoderCommand(Settings(640, 25, 0), L"a.avi").find(L"bitrate=1200:"),
              std::wstring::npos);
    EXPECT_NE(EncoderCommand(Settings(640, 25, 2), L"a.avi").find(L"bitrate=800:"),
              std::wstring::npos);
    EXPECT_NE(EncoderCommand(Settings(640, 25, 7), L"a.avi").find(L"bitrate=1200:"),
              std::wstring::npos);
}

// The subtitle the encoder burns and the preview shows: the classic .smi form unless another
// file or a track inside was chosen; the sound track, when one was chosen among several.
TEST(SubtitleOptions, TheChoiceIsNamedToTheEncoderAndThePreviewAlike) {
    const struct {
        Subtitle subtitle;
        const wchar_t* encoder; // after "-subfont-outline 2 "
        const wchar_t* preview; // before the movie's path
        int audioTrack = -1;
    } cases[] = {
        {{}, L"-sub \"D:\\Movies\\clip.smi\"", L"-wid 7 \"D:"},
        {{Subtitle::Kind::File, L"D:\\Movies\\clip.smi", -1},
         L"-sub \"D:\\Movies\\clip.smi\"",
         L"-wid 7 \"D:"},
        {{Subtitle::Kind::File, L"D:\\Movies\\clip.srt", -1},
         L"-sub \"D:\\Movies\\clip.srt\"",
         L"-wid 7 -sub \"D:\\Movies\\clip.srt\" \"D:"},
        {{Subtitle::Kind::Track, L"", 2}, L"-sid 2", L"-wid 7 -sid 2 \"D:"},
        {{}, L"-sub \"D:\\Movies\\clip.smi\" -aid 1", L"-wid 7 -aid 1 \"D:", 1},
        {{Subtitle::Kind::Track, L"", 0}, L"-sid 0 -aid 3", L"-wid 7 -aid 3 -sid 0 \"D:", 3},
    };
    for (const auto& c : cases) {
        for (OutputFormat format : {OutputFormat::Avi, OutputFormat::Mp4}) {
            EncodeSettings settings = Settings(640, 25.0);
            settings.subtitle = c.subtitle;
            settings.audioTrack = c.audioTrack;
            settings.format = format;
            const std::wstring command = EncoderCommand(settings, L"D:\\Movies\\clip.avi");
            const std::wstring tail =
                L"-subfont-blur 2 -subfont-outline 2 " + std::wstring(c.encoder);
            EXPECT_EQ(command.substr(command.size() - std::min(command.size(), tail.size())), tail);
        }
        const std::wstring play = preview::PlayCommand(
            L"C:\\Q\\", L"C:\\W", L"gl", reinterpret_cast<HWND>(static_cast<INT_PTR>(7)),
            L"D:\\Movies\\clip.avi", c.subtitle, c.audioTrack);
        EXPECT_NE(play.find(c.preview), std::wstring::npos) << play;
    }
}

// Both formats by quality, picture size and rate. MP4: H.264 at a quality level, AAC, at most
// 1920 wide and 60 frames a second, a key frame every ten seconds; AVI as ever.
TEST(EncoderCommand, BothFormatsByQualitySizeAndRate) {
    const wchar_t* mp4Audio =
        L"-oac faac -faacopts br=160:mpeg=4:object=2 -af volnorm -of lavf -lavfopts format=mp4 ";
    const wchar_t* subtitles = L"-font \"C:\\WINDOWS\\Fonts\\gulim.ttc\" -subcp cp949 "
                               L"-subfont-text-scale 4 -subfont-blur 2 -subfont-outline 2 -sub "
                               L"\"D:\\Movies\\clip.smi\"";
    const struct {
        OutputFormat format;
        int quality, width;
        double fps;
        std::wstring middle; // between the output path and the subtitle options
    } cases[] = {
        {OutputFormat::Mp4, 1, 1280, 25.0,
         L"-ofps   25.000 -ovc x264 -x264encopts crf=23:preset=medium:keyint=250:threads=auto " +
             std::wstring(mp4Audio)},
        {OutputFormat::Mp4, 0, 1920, 29.97,
         L"-ofps   29.970 -ovc x264 -x264encopts crf=20:preset=medium:keyint=300:threads=auto " +
             std::wstring(mp4Audio)},
        {OutputFormat::Mp4, 2, 3840, 120.0,
         L"-ofps   60.000 -ovc x264 -x264encopts crf=26:preset=medium:keyint=600:threads=auto "
         L"-vf scale -zoom -xy 1920 " +
             std::wstring(mp4Audio)},
        {OutputFormat::Avi, 1, 1280, 59.94,
         L"-ofps   29.970 -ovc xvid -xvidencopts max_key_interval=120:bitrate=1000:threads=2 "
         L"-ffourcc XVID -vf scale -zoom -xy 720 -mc 0 -audio-preload 0.0 -noodml -oac mp3lame "
         L"-lameopts vbr=0 -lameopts br=128 -af volnorm  "},
    };
    for (const auto& c : cases) {
        EncodeSettings settings = Settings(c.width, c.fps, c.quality);
        settings.format = c.format;
        const std::wstring output = c.format == OutputFormat::Mp4 ? L"mp4" : L"avi";
        EXPECT_EQ(EncoderCommand(settings, L"D:\\Movies\\clip.mov"),
                  L"\"C:\\Q\\bin\\mencoder.exe\" \"D:\\Movies\\clip.mov\" -o "
                  L"\"D:\\Movies\\QV_clip.mov." +
                      output + L"\" " + c.middle + subtitles);
    }
}

TEST(ConversionPaths, OutputBesideTheSourceKeepsTheExtension) {
    EXPECT_EQ(OutputPathFor(L"D:\\Movies\\clip.wmv"), L"D:\\Movies\\QV_clip.wmv.avi");
    EXPECT_EQ(FolderOf(L"D:\\Movies\\clip.wmv"), L"D:\\Movies");
    EXPECT_EQ(NameOf(L"D:\\Movies\\clip.wmv"), L"clip.wmv");
    // No folder at all: the output path begins with a backslash.
    EXPECT_EQ(OutputPathFor(L"clip.avi"), L"\\QV_clip.avi.avi");
    EXPECT_EQ(FolderOf(L"clip.avi"), L"");
    EXPECT_EQ(NameOf(L"clip.avi"), L"clip.avi");
}

TEST(ConversionPaths, SubtitleIsCutAtTheLastFullStop) {
    EXPECT_EQ(QuotedSubtitlePathFor(L"D:\\Movies\\a.b.mkv"), L"\"D:\\Movies\\a.b.smi\"");
    // A name without extension is cut in the folder's name.
    EXPECT_EQ(QuotedSubtitlePathFor(L"D:\\My.Movies\\clip"), L"\"D:\\My.smi\"");
    EXPECT_EQ(QuotedSubtitlePathFor(L"D:\\Movies\\clip"), L"\".smi\"");
}

TEST(CanConvert, NeedsWidthLengthAndRate) {
    EXPECT_TRUE(CanConvert(640, 10, 25.0));
    EXPECT_FALSE(CanConvert(0, 10, 25.0));
    EXPECT_FALSE(CanConvert(640, 0, 25.0));
    EXPECT_FALSE(CanConvert(640, 10, 0.0));
}
