// Media identification: the four facts read from the collected identify output.
#include "redirect/RedirMediaInfo.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct Facts {
    int width, height, duration;
    double fps;
};

Facts Parse(std::initializer_list<const wchar_t*> chunks) {
    CRedirMediaInfo info;
    info.Reset();
    for (const wchar_t* chunk : chunks)
        info.WriteStdOut(chunk);
    EXPECT_TRUE(info.ParseMediaInfo());
    return {info.m_nWidth, info.m_nHeight, info.m_nDuration, info.m_dFps};
}

} // namespace

TEST(MediaInfo, WorkedExample) {
    Facts f = Parse({L"ID_VIDEO_ID=0\r\nID_VIDEO_WIDTH=640\r\nID_VIDEO_HEIGHT=352\r\n",
                     L"ID_VIDEO_FPS=23.976\r\nID_LENGTH=5702.50\r\n"});
    EXPECT_EQ(f.width, 640);
    EXPECT_EQ(f.height, 352);
    EXPECT_DOUBLE_EQ(f.fps, 23.976);
    EXPECT_EQ(f.duration, 5702);
}

TEST(MediaInfo, MissingKeysAndEmptyOutputGiveZero) {
    Facts none = Parse({});
    EXPECT_EQ(none.width, 0);
    EXPECT_EQ(none.height, 0);
    EXPECT_EQ(none.duration, 0);
    EXPECT_EQ(none.fps, 0.0);

    Facts noFps = Parse({L"ID_VIDEO_WIDTH=320\r\nID_LENGTH=0.00\r\n"});
    EXPECT_EQ(noFps.width, 320);
    EXPECT_EQ(noFps.fps, 0.0);
    EXPECT_EQ(noFps.duration, 0);
}

TEST(MediaInfo, NumbersNeedAFullStopSomewhereAfterTheirKey) {
    // The full stop of a later line is enough.
    Facts later = Parse({L"ID_VIDEO_FPS=25\r\nID_LENGTH=60.00\r\n"});
    EXPECT_DOUBLE_EQ(later.fps, 25.0);
    EXPECT_EQ(later.duration, 60);

    Facts none = Parse({L"ID_LENGTH=60\r\nID_VIDEO_FPS=25\r\n"});
    EXPECT_EQ(none.fps, 0.0);
    EXPECT_EQ(none.duration, 0);
}

TEST(MediaInfo, FirstOccurrenceCountsAndKeysMayBeSplitAcrossChunks) {
    Facts f = Parse({L"ID_VIDEO_WI", L"DTH=1280\r\nID_VIDEO_HEIGHT=7", L"20\r\n",
                     L"ID_VIDEO_WIDTH=352\r\nID_VIDEO_HEIGHT=288\r\n"});
    EXPECT_EQ(f.width, 1280);
    EXPECT_EQ(f.height, 720);
}

TEST(MediaInfo, WidthIsReadFromFourCharacters) {
    EXPECT_EQ(Parse({L"ID_VIDEO_WIDTH=12345\r\n"}).width, 1234);
    // A range that runs past the end of the text is cut there.
    EXPECT_EQ(Parse({L"ID_VIDEO_WIDTH=72"}).width, 72);
    EXPECT_EQ(Parse({L"ID_VIDEO_WIDTH="}).width, 0);
}

TEST(MediaInfo, RateIsReadUpTo23CharactersPastTheFullStop) {
    EXPECT_DOUBLE_EQ(Parse({L"ID_VIDEO_FPS=29.970\r\n"}).fps, 29.97);
    EXPECT_DOUBLE_EQ(Parse({L"ID_VIDEO_FPS=  59.940000000000000000000000\r\n"}).fps, 59.94);
}

TEST(MediaInfo, EndMarkerSetsExitedEvenWhenSplit) {
    CRedirMediaInfo info;
    info.Reset();
    info.WriteStdOut(L"ID_LENGTH=1.00\r\n<EX");
    EXPECT_FALSE(info.m_bExited);
    info.WriteStdOut(L"IT>");
    EXPECT_TRUE(info.m_bExited);
    info.Reset();
    EXPECT_FALSE(info.m_bExited);
    EXPECT_TRUE(info.Output().empty());
}

TEST(MediaInfo, IdentifyRunOfTheScriptedPlayer) {
    ScratchDir dir;
    std::wstring movie = dir.Write(L"movie clip.avi", "[identify]\n"
                                                      "out ID_VIDEO_WIDTH=640\n"
                                                      "out ID_VIDEO_HEIGHT=352\n"
                                                      "out ID_VIDEO_FPS=23.976\n"
                                                      "out ID_LENGTH=5702.50\n");
    std::wstring line = L"\"" + EnginePath(L"mplayer") +
                        L"\" -nosound -vo null -frames 1 -really-quiet -identify \"" + movie +
                        L"\"";
    CRedirMediaInfo info;
    info.Reset();
    ASSERT_TRUE(info.Open(line.c_str()));
    ASSERT_TRUE(PumpUntil([&] { return info.m_bExited.load(); }, 10000));
    info.ParseMediaInfo();
    EXPECT_EQ(info.m_nWidth, 640);
    EXPECT_EQ(info.m_nHeight, 352);
    EXPECT_EQ(info.m_nDuration, 5702);
}

TEST(MediaInfo, ParsingWhileTheReaderStillAppendsIsSafe) {
    // An owner that stops waiting parses while output keeps arriving.
    ScratchDir dir;
    std::wstring movie = dir.Write(L"big.avi", "[identify]\n"
                                               "out ID_VIDEO_WIDTH=640\n"
                                               "flood 8\n"
                                               "out ID_LENGTH=12.00\n");
    std::wstring line = L"\"" + EnginePath(L"mplayer") + L"\" -identify \"" + movie + L"\"";
    CRedirMediaInfo info;
    info.Reset();
    ASSERT_TRUE(info.Open(line.c_str()));
    int parses = 0;
    PumpUntil(
        [&] {
            info.ParseMediaInfo();
            ++parses;
            return info.m_bExited.load();
        },
        60000);
    ASSERT_TRUE(info.m_bExited);
    info.ParseMediaInfo();
    EXPECT_GT(parses, 1);
    EXPECT_EQ(info.m_nWidth, 640);
    EXPECT_EQ(info.m_nDuration, 12);
}

TEST(MediaInfo, IdentifyCommandQuotesProgramAndSource) {
    EXPECT_EQ(CRedirMediaInfo::IdentifyCommand(L"C:\\Q\\", L"D:\\Movies\\clip.avi"),
              L"\"C:\\Q\\bin\\mplayer.exe\" -nosound -vo null -frames 1 -really-quiet -identify "
              L"\"D:\\Movies\\clip.avi\"");
}

// Which subtitle a movie gets: the first file beside it in the order .smi .srt .ass .ssa .vtt,
// else the text track marked default, else a Korean text track; pictures never. Its sound by the
// same rule (the default, else Korean, else the first), when there are tracks to choose from.
TEST(Subtitle, TheFileBesideFirstThenTheDefaultOrKoreanTextTrack) {
    const std::wstring soundEngKor = L"ID_AUDIO_ID=0\r\nID_AID_0_LANG=eng\r\nID_AUDIO_ID=1\r\n"
                                     L"ID_AID_1_LANG=kor\r\nID_AUDIO_ID=0\r\n";
    const std::wstring soundDefault = L"ID_AUDIO_ID=0\r\nID_AID_0_LANG=kor\r\nID_AUDIO_ID=1\r\n"
                                      L"ID_AID_1_LANG=jpn\r\nID_AID_1_DEFAULT=1\r\n";
    const std::wstring soundNone = L"ID_AUDIO_ID=3\r\nID_AID_3_LANG=eng\r\nID_AUDIO_ID=5\r\n";
    const std::wstring eng = L"ID_SUBTITLE_ID=0\r\nID_SID_0_LANG=eng\r\nID_SID_0_TYPE=text\r\n";
    const std::wstring korDefault =
        L"ID_SUBTITLE_ID=1\r\nID_SID_1_LANG=kor\r\nID_SID_1_TYPE=text\r\nID_SID_1_DEFAULT=1\r\n";
    const std::wstring korPicturesDefault =
        L"ID_SUBTITLE_ID=2\r\nID_SID_2_LANG=kor\r\nID_SID_2_TYPE=image\r\nID_SID_2_DEFAULT=1\r\n";
    const std::wstring korPlain = L"ID_SUBTITLE_ID=3\r\nID_SID_3_LANG=ko-KR\r\n";
    const std::wstring engDefault =
        L"ID_SUBTITLE_ID=4\r\nID_SID_4_LANG=eng\r\nID_SID_4_DEFAULT=1\r\n";
    const struct {
        std::vector<const wchar_t*> beside;
        std::wstring identify;
        Subtitle::Kind kind;
        const wchar_t* file;
        int track;
        int audioTrack = -1;
    } cases[] = {
        {{L".srt", L".smi"}, korDefault, Subtitle::Kind::File, L".smi", -1},
        {{L".vtt", L".srt"}, L"", Subtitle::Kind::File, L".srt", -1},
        {{L".ssa", L".ass"}, L"", Subtitle::Kind::File, L".ass", -1},
        {{L".vtt"}, korDefault, Subtitle::Kind::File, L".vtt", -1},
        {{L".txt", L".sub"}, L"", Subtitle::Kind::None, L"", -1},
        {{}, eng + korDefault, Subtitle::Kind::Track, L"", 1},
        {{}, engDefault + korPlain, Subtitle::Kind::Track, L"", 4},
        {{}, eng + korPicturesDefault + korPlain, Subtitle::Kind::Track, L"", 3},
        {{}, eng + korPicturesDefault, Subtitle::Kind::None, L"", -1},
        {{}, L"", Subtitle::Kind::None, L"", -1},
        {{L".smi"}, soundEngKor, Subtitle::Kind::File, L".smi", -1, 1},
        {{}, eng + soundDefault, Subtitle::Kind::None, L"", -1, 1},
        {{}, korDefault + soundNone, Subtitle::Kind::Track, L"", 1, 3},
        {{}, L"ID_AUDIO_ID=0\r\nID_AID_0_LANG=kor\r\n", Subtitle::Kind::None, L"", -1, -1},
    };
    for (const auto& c : cases) {
        CRedirMediaInfo info;
        info.Reset();
        info.WriteStdOut((L"ID_VIDEO_WIDTH=640\r\n" + c.identify).c_str());
        info.ParseMediaInfo();
        const auto exists = [&](const std::wstring& file) {
            for (const wchar_t* extension : c.beside)
                if (file == std::wstring(L"D:\\m.b\\clip") + extension)
                    return true;
            return false;
        };
        const Subtitle chosen = ChooseSubtitle(L"D:\\m.b\\clip.mkv", info.m_subtitleTracks, exists);
        EXPECT_EQ(chosen.kind, c.kind) << c.identify;
        if (c.kind == Subtitle::Kind::File) {
            EXPECT_EQ(chosen.file, std::wstring(L"D:\\m.b\\clip") + c.file);
        }
        EXPECT_EQ(chosen.track, c.track) << c.identify;
        EXPECT_EQ(ChooseAudioTrack(info.m_audioTracks), c.audioTrack) << c.identify;
    }
    // On disk, whatever the case of the name: as Windows compares names.
    ScratchDir dir;
    dir.Write(L"Clip.SRT", "1\n00:00:01,000 --> 00:00:02,000\nx\n");
    EXPECT_EQ(ChooseSubtitle(dir.Path() + L"\\clip.avi", {}).kind, Subtitle::Kind::File);
}
