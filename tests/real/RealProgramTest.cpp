// The whole program with the real engines: identification, conversion and preview of real
// movies that ffmpeg makes for the run.
#include "MainDialogFixture.h"
#include "RealSupport.h"
#include "common/File.h"
#include "common/Text.h"
#include "redirect/RedirMediaInfo.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <tuple>

namespace {

// The movies of the run, made once.
struct Clips {
    ScratchDir dir;
    std::wstring hd, sd, longer;
    bool made = false;
};
Clips& TheClips() {
    static Clips clips;
    if (!clips.made) {
        clips.made = true;
        clips.hd = clips.dir.Path() + L"\\hd.avi";
        clips.sd = clips.dir.Path() + L"\\sd.avi";
        clips.longer = clips.dir.Path() + L"\\long.avi";
        MakeClip(clips.hd, 1280, 720, L"60000/1001", 6);
        MakeClip(clips.sd, 640, 352, L"24000/1001", 3);
        MakeClip(clips.longer, 640, 352, L"25", 15);
    }
    return clips;
}

std::wstring Converting(const std::wstring& name) {
    return L"\n" + name + L" file converting...";
}

std::wstring CopyTo(const std::wstring& source, const ScratchDir& dir, const std::wstring& name) {
    const std::wstring path = dir.Path() + L"\\" + name;
    CopyFileW(source.c_str(), path.c_str(), FALSE);
    return path;
}

// A movie that plays the clip `times` over: ffmpeg's concatenation script, which it recognises
// by its first line. This ffmpeg finds the script's relative names in the working directory,
// which the engines and their ffmpeg inherit: keep a Here of the folder while it plays.
std::wstring Looped(const std::wstring& clip, int seconds, int times, const std::wstring& folder,
                    const std::wstring& name) {
    CopyFileW(clip.c_str(), (folder + L"\\clip.avi").c_str(), FALSE);
    std::string script = "ffconcat version 1.0\n";
    for (int i = 0; i < times; ++i)
        script += "file 'clip.avi'\nduration " + std::to_string(seconds) + "\n";
    const std::wstring path = folder + L"\\" + name;
    WriteFileBytes(path, script);
    return path;
}

// The working directory of this process while the object lives.
class Here {
public:
    explicit Here(const std::wstring& folder) {
        GetCurrentDirectoryW(MAX_PATH, m_before);
        SetCurrentDirectoryW(folder.c_str());
    }
    ~Here() { SetCurrentDirectoryW(m_before); }
    Here(const Here&) = delete;
    Here& operator=(const Here&) = delete;

private:
    wchar_t m_before[MAX_PATH] = L"";
};

// The ffmpeg processes a process started (wine also starts a conhost.exe for each).
std::vector<DWORD> FFmpegChildren(DWORD parent) {
    std::vector<DWORD> children;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == parent && _wcsicmp(entry.szExeFile, L"ffmpeg.exe") == 0)
            children.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return children;
}

// A running process's priority class, 0 when it cannot be read.
DWORD PriorityOf(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process)
        return 0;
    const DWORD priority = GetPriorityClass(process);
    CloseHandle(process);
    return priority;
}

// How many pixels of a band of rows differ clearly between two pictures of one size.
int DifferingPixels(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b,
                    int width, int fromRow, int toRow) {
    int count = 0;
    for (int y = fromRow; y < toRow; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t at = (size_t(y) * width + x) * 3;
            if (std::abs(a[at] - b[at]) + std::abs(a[at + 1] - b[at + 1]) +
                    std::abs(a[at + 2] - b[at + 2]) >
                96)
                ++count;
        }
    return count;
}

// One Korean cue from 0 to 2.5 s, the same as KoreanSami's, in the other formats; and an
// English cue from 2.6 s.
const std::wstring kCueLines =
    L"\uC548\uB155\uD558\uC138\uC694 \uC790\uB9C9\r\n\uB450 \uBC88\uC9F8 \uC904\r\n";
const std::wstring kKoreanSubRip = L"1\r\n00:00:00,000 --> 00:00:02,500\r\n" + kCueLines;
const std::string kEnglishSubRip = "1\r\n00:00:02,600 --> 00:00:03,000\r\nEnglish only\r\n";

// A movie with an English and a Korean SubRip track, the Korean one marked default.
std::wstring WithTracks(const ScratchDir& dir, const std::wstring& movie,
                        const std::wstring& name) {
    const std::wstring english = dir.Write(L"english.srt", kEnglishSubRip),
                       korean = dir.Write(L"korean.srt", InCodePage(kKoreanSubRip, CP_UTF8)),
                       path = dir.Path() + L"\\" + name;
    RunCapture(L"\"" + TestFFmpeg() + L"\" -hide_banner -loglevel error -nostdin -y -i \"" + movie +
               L"\" -i \"" + english + L"\" -i \"" + korean +
               L"\" -map 0:v -map 0:a? -map 1 -map 2 -c:v copy -c:a copy -c:s srt "
               L"-metadata:s:s:0 language=eng -metadata:s:s:1 language=kor "
               L"-metadata:s:s:1 title=Korean -disposition:s:0 0 -disposition:s:1 default \"" +
               path + L"\"");
    return path;
}

// The same cue as a UTF-8 ASS script of its own style: at the top, in yellow.
std::string KoreanAss() {
    return InCodePage(
        L"[Script Info]\r\nPlayResX: 384\r\nPlayResY: 288\r\n\r\n"
        L"[V4+ Styles]\r\nFormat: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, "
        L"OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, "
        L"Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\r\n"
        L"Style: Top,Arial,28,&H0000FFFF,&H0000FFFF,&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,"
        L"2,0,8,10,10,10,1\r\n\r\n[Events]\r\nFormat: Layer, Start, End, Style, Name, MarginL, "
        L"MarginR, MarginV, Effect, Text\r\nDialogue: 0,0:00:00.00,0:00:02.50,Top,,0,0,0,,"
        L"\uC548\uB155\r\n",
        CP_UTF8);
}

class RealProgramTest : public MainDialogTest {
protected:
    std::wstring Add(const std::wstring& path) {
        m_dialog->AppendFile(m_dialog->m_listFiles.GetItemCount(), path);
        return path;
    }
    void Click(int id) { m_dialog->PostMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    std::wstring Log() const { return EditLines(m_dialog->m_step3.m_editLog); }
    bool RunToEnd(DWORD timeoutMs = 90000) {
        return PumpDialogUntil([this] { return m_dialog->m_conversion.Finished(); }, timeoutMs);
    }

    ScratchDir m_dir;
};

TEST_F(RealProgramTest, IdentifiesRealMovies) {
    const Clips& clips = TheClips();
    struct Expected {
        std::wstring path;
        int width, height;
        const char* fps;
        int length;
    };
    for (const Expected& e : {Expected{clips.hd, 1280, 720, "ID_VIDEO_FPS=59.940", 6},
                              Expected{clips.sd, 640, 352, "ID_VIDEO_FPS=23.976", 3}}) {
        const std::string out = RunCapture(
            L"\"" + EnginePath(L"mplayer") +
            L"\" -nosound -vo null -frames 1 -really-quiet -identify \"" + e.path + L"\"");
        EXPECT_NE(out.find(e.fps), std::string::npos) << out;
        EXPECT_NE(out.find("ID_LENGTH=" + std::to_string(e.length) + "."), std::string::npos)
            << out;
        EXPECT_NE(out.find("ID_AUDIO_RATE=44100"), std::string::npos) << out;
        // Read back by the program's own parser.
        CRedirMediaInfo info;
        info.WriteStdOut(Widen(out).c_str());
        info.ParseMediaInfo();
        EXPECT_EQ(info.m_nWidth, e.width);
        EXPECT_EQ(info.m_nHeight, e.height);
        EXPECT_EQ(info.m_nDuration, e.length);
    }
    // A phone's portrait movie: stored on its side, with a quarter turn to show it upright.
    const std::wstring portrait = m_dir.Path() + L"\\portrait.mp4";
    RunCapture(L"\"" + TestFFmpeg() + L"\" -hide_banner -loglevel error -nostdin -y -i \"" +
               clips.sd + L"\" -map 0:v -c:v copy -metadata:s:v:0 rotate=90 -f mp4 \"" + portrait +
               L"\"");
    const std::string upright =
        RunCapture(L"\"" + EnginePath(L"mplayer") + L"\" -identify \"" + portrait + L"\"");
    EXPECT_NE(upright.find("ID_VIDEO_WIDTH=352\r\n"), std::string::npos) << upright;
    EXPECT_NE(upright.find("ID_VIDEO_HEIGHT=640\r\n"), std::string::npos) << upright;

    const std::wstring junk = m_dir.Write(L"junk.avi", std::string(5000, 'x'));
    const std::string out =
        RunCapture(L"\"" + EnginePath(L"mplayer") + L"\" -identify \"" + junk + L"\"");
    for (const char* key : {"ID_VIDEO_WIDTH=", "ID_VIDEO_HEIGHT=", "ID_VIDEO_FPS=", "ID_LENGTH="})
        EXPECT_EQ(out.find(key), std::string::npos) << out;
}

TEST_F(RealProgramTest, ConvertsToXvidAndMp3At720PixelsAndNtscRate) {
    const std::wstring source = Add(CopyTo(TheClips().hd, m_dir, L"wide clip.avi"));
    Add(m_dir.Write(L"corrupt.avi", "RIFF\x10\0\0\0AVI garbage that is no movie at all"));
    Click(IDC_CONVERT);
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(Log(), Converting(L"wide clip.avi") + L"OK.\n" + Converting(L"corrupt.avi") +
                         L"Unsupported file.\n    The player cannot read this file.\n\n1 file(s) "
                         L"converted.\n");

    const AviFacts avi = ReadAvi(m_dir.Path() + L"\\QV_wide clip.avi.avi");
    ASSERT_TRUE(avi.riff);
    EXPECT_EQ(avi.videoHandler, "XVID");
    EXPECT_EQ(avi.videoCompression, "XVID");
    EXPECT_EQ(avi.width, 720);
    EXPECT_EQ(avi.height, 404);
    ASSERT_GT(avi.scale, 0u);
    EXPECT_NEAR(double(avi.rate) / avi.scale, 29.970, 0.0005);
    EXPECT_EQ(avi.audioFormat, 0x55); // MPEG layer 3
    EXPECT_EQ(avi.audioBytesPerSecond, 128000u / 8);
}

// MP4 for phones and the web: a phone's portrait movie (stored on its side with a quarter turn)
// with a SubRip file beside it, and a Full HD movie at 50 fps. Each comes out as H.264 High and
// AAC, upright at its size and rate, the index before the pictures.
TEST_F(RealProgramTest, ConvertsToH264AndAacMp4sUprightAtTheirSizesAndRates) {
    const std::wstring phone = m_dir.Path() + L"\\phone.mp4", full = m_dir.Path() + L"\\full.avi";
    // As a phone records it: H.264 and AAC, then marked to be turned.
    const std::wstring flat = m_dir.Path() + L"\\flat.mp4";
    RunFFmpeg(L"-f lavfi -i testsrc2=size=640x360:rate=30:duration=3 -f lavfi -i "
              L"sine=frequency=440:sample_rate=48000:duration=3 -c:v libx264 -preset ultrafast "
              L"-pix_fmt yuv420p -c:a aac \"" +
              flat + L"\"");
    RunFFmpeg(L"-i \"" + flat + L"\" -map 0 -c copy -metadata:s:v:0 rotate=90 \"" + phone + L"\"");
    ASSERT_TRUE(MakeClip(full, 1920, 1080, L"50", 2));
    m_dir.Write(L"phone.srt", InCodePage(kKoreanSubRip, 949));
    Add(phone);
    Add(full);
    m_dialog->m_step1.m_cmbFormat.SetCurSel(1);
    Click(IDC_CONVERT);
    ASSERT_TRUE(RunToEnd(240000));
    EXPECT_EQ(Log(), Converting(L"phone.mp4") + L"OK.\n" + Converting(L"full.avi") +
                         L"OK.\n\n2 file(s) converted.\n");

    struct Expected {
        std::wstring output, source;
        int width, height;
        double fps;
        int level; // at most
    };
    for (const Expected& e : {Expected{L"QV_phone.mp4.mp4", phone, 360, 640, 30, 30},
                              Expected{L"QV_full.avi.mp4", full, 1920, 1080, 50, 42}}) {
        const std::wstring output = m_dir.Path() + L"\\" + e.output;
        const Description facts = Describe(output);
        EXPECT_EQ(facts.videoCodec, "h264") << ToUtf8(e.output);
        EXPECT_EQ(facts.audioCodec, "aac") << ToUtf8(e.output);
        EXPECT_EQ(facts.width, e.width) << ToUtf8(e.output);
        EXPECT_EQ(facts.height, e.height) << ToUtf8(e.output);
        EXPECT_NEAR(facts.fps, e.fps, 0.01) << ToUtf8(e.output);
        EXPECT_FALSE(facts.turned) << ToUtf8(e.output);
        const Mp4Facts mp4 = ReadMp4(output);
        const auto at = [&](const char* box) {
            return std::find(mp4.boxes.begin(), mp4.boxes.end(), box) - mp4.boxes.begin();
        };
        EXPECT_LT(at("moov"), at("mdat")) << ToUtf8(e.output);
        EXPECT_EQ(mp4.profile, 100) << ToUtf8(e.output);
        EXPECT_LE(mp4.level, e.level) << ToUtf8(e.output);
        EXPECT_EQ(GetFileAttributesW((output + L".part").c_str()), INVALID_FILE_ATTRIBUTES);
    }
    // The cue at the bottom of the upright picture, and nothing over the rest of it.
    int w = 0, h = 0, sw = 0, sh = 0;
    const auto converted = FrameAt(m_dir.Path() + L"\\QV_phone.mp4.mp4", 1.0, w, h);
    const auto source = FrameAt(phone, 1.0, sw, sh);
    ASSERT_EQ(w, sw);
    ASSERT_EQ(h, sh);
    EXPECT_GT(DifferingPixels(source, converted, w, h * 2 / 3, h), 1000);
    EXPECT_LT(DifferingPixels(source, converted, w, 0, h / 2), 200);
}

// Each kind of subtitle the program finds for a movie is burnt in at its cue's time and gone
// after it: SAMI in cp949 under a Korean name, SubRip in cp949, WebVTT, ASS in its own style,
// the default Korean track inside an MKV, and the SubRip beside an empty SAMI file.
TEST_F(RealProgramTest, BurnsEveryKindOfKoreanSubtitleIntoThePicture) {
    const std::wstring korean = L"\uD55C\uAE00 \uC601\uD654";
    const std::wstring sd = TheClips().sd;
    Add(CopyTo(sd, m_dir, L"plain.avi"));
    Add(CopyTo(sd, m_dir, korean + L".avi"));
    m_dir.Write(korean + L".smi", KoreanSami(SamiEncoding::Cp949));
    Add(CopyTo(sd, m_dir, L"srt.avi"));
    m_dir.Write(L"srt.srt", InCodePage(kKoreanSubRip, 949));
    Add(CopyTo(sd, m_dir, L"vtt.avi"));
    m_dir.Write(L"vtt.vtt",
                InCodePage(L"WEBVTT\r\n\r\n00:00.000 --> 00:02.500\r\n" + kCueLines, CP_UTF8));
    Add(CopyTo(sd, m_dir, L"ass.avi"));
    m_dir.Write(L"ass.ass", KoreanAss());
    Add(WithTracks(m_dir, sd, L"track.mkv"));
    Add(CopyTo(sd, m_dir, L"empty smi.avi"));
    m_dir.Write(L"empty smi.smi", "");
    m_dir.Write(L"empty smi.srt", InCodePage(kKoreanSubRip, 949));
    Click(IDC_CONVERT);
    ASSERT_TRUE(RunToEnd(240000));
    EXPECT_NE(Log().find(L"\n7 file(s) converted.\n"), std::wstring::npos) << Log();
    EXPECT_EQ(Log().find(L"Failed."), std::wstring::npos) << Log();

    auto frame = [&](const std::wstring& source, double seconds) {
        int w = 0, h = 0;
        auto pixels = FrameAt(m_dir.Path() + L"\\QV_" + source + L".avi", seconds, w, h);
        EXPECT_EQ(w, 640) << source;
        EXPECT_EQ(h, 352) << source;
        pixels.resize(size_t(640) * 352 * 3);
        return pixels;
    };
    auto differing = [](const auto& a, const auto& b, int fromRow, int toRow) {
        return DifferingPixels(a, b, 640, fromRow, toRow);
    };
    // In the cue: the SAMI text at the bottom and nowhere else; the others as SAMI's.
    const auto plain = frame(L"plain.avi", 1.0), sami = frame(korean + L".avi", 1.0);
    EXPECT_GT(differing(plain, sami, 352 * 2 / 3, 352), 1000);
    EXPECT_LT(differing(plain, sami, 0, 352 / 2), 200);
    for (const wchar_t* name : {L"srt.avi", L"vtt.avi", L"track.mkv", L"empty smi.avi"})
        EXPECT_LT(differing(sami, frame(name, 1.0), 0, 352), 200) << name;
    // ASS keeps its own style: at the top.
    const auto top = frame(L"ass.avi", 1.0);
    EXPECT_GT(differing(plain, top, 0, 352 / 3), 1000);
    EXPECT_LT(differing(plain, top, 352 / 2, 352), 200);
    // After the cue: nothing, not even the English track's cue.
    const auto late = frame(L"plain.avi", 2.8);
    for (const std::wstring& name :
         {korean + L".avi", std::wstring(L"srt.avi"), std::wstring(L"vtt.avi"),
          std::wstring(L"ass.avi"), std::wstring(L"track.mkv"), std::wstring(L"empty smi.avi")})
        EXPECT_LT(differing(late, frame(name, 2.8), 0, 352), 200) << name;
}

// The encoder's ffmpeg runs at the encoder's priority. Stopping ends both, leaves the movie of an
// earlier run as it was, and removes the stopped one's partial file.
TEST_F(RealProgramTest, StopEndsTheEncoderAndItsFFmpegAndKeepsTheEarlierMovie) {
    // No machine converts the clip a thousand times over before the test stops it.
    const Here here(m_dir.Path());
    Add(Looped(TheClips().hd, 6, 1000, m_dir.Path(), L"a.avi"));
    const std::string earlier = ReadWholeFile(TheClips().sd, 1 << 26);
    const std::wstring output = m_dir.Write(L"QV_a.avi.avi", earlier);
    Click(IDC_CONVERT);
    std::vector<DWORD> children;
    ASSERT_TRUE(PumpDialogUntil(
        [&] {
            if (!m_dialog->m_conversion.Converting() ||
                !ProcessIsRunning(m_dialog->m_conversion.Encoder().ProcessId()))
                return false;
            children = ChildProcesses(m_dialog->m_conversion.Encoder().ProcessId());
            // Stopped once the new movie is being written.
            return !children.empty() &&
                   GetFileAttributesW((output + L".part").c_str()) != INVALID_FILE_ATTRIBUTES;
        },
        60000))
        << Log();
    const DWORD encoder = m_dialog->m_conversion.Encoder().ProcessId();
    ASSERT_TRUE(ProcessIsRunning(encoder));
    // The encoder runs below normal, and its ffmpeg with it, as on Windows.
    EXPECT_EQ(PriorityOf(encoder), DWORD(BELOW_NORMAL_PRIORITY_CLASS));
    const std::vector<DWORD> ffmpegs = FFmpegChildren(encoder);
    EXPECT_FALSE(ffmpegs.empty());
    for (DWORD ffmpeg : ffmpegs)
        EXPECT_EQ(PriorityOf(ffmpeg), DWORD(BELOW_NORMAL_PRIORITY_CLASS));
    m_seam.answers = {IDYES};
    Click(IDC_CONVERT);
    ASSERT_TRUE(PumpDialogUntil([&] { return m_dialog->m_conversion.Finished(); }, 10000));
    EXPECT_TRUE(PumpDialogUntil([&] { return !ProcessIsRunning(encoder); }, 30000));
    for (DWORD child : children)
        EXPECT_TRUE(PumpDialogUntil([&] { return !ProcessIsRunning(child); }, 30000));
    EXPECT_EQ(Log(), Converting(L"a.avi") + L"\nConversion has been canceled.\n");
    EXPECT_TRUE(ReadWholeFile(output, 1 << 26) == earlier);
    EXPECT_TRUE(m_dialog->m_conversion.WaitForFileWork(30000));
    EXPECT_EQ(GetFileAttributesW((output + L".part").c_str()), INVALID_FILE_ATTRIBUTES);
}

// The running processes of a program, by its file name.
std::vector<DWORD> ProcessesNamed(const wchar_t* name) {
    std::vector<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, name) == 0)
            found.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return found;
}

// Quelvox ended outright in the middle of a conversion (a crash, Task Manager, logging off):
// its encoder and the encoder's ffmpeg end with it, and the next start brings the list back,
// removes the unfinished file and converts it again with one encoder only. The Quelvox that is
// ended is a second run of this test program, which converts until it is ended.
constexpr const wchar_t* kEndedFlag = L"QV_TEST_ENDED_OUTRIGHT";
constexpr const wchar_t* kEndedMutex = L"Local\\QuelvoxTest.EndedOutright";

TEST_F(RealProgramTest, AQuelvoxEndedOutrightLeavesNoEngineAndItsListComesBack) {
    wchar_t folder[MAX_PATH] = L"";
    if (GetEnvironmentVariableW(kEndedFlag, folder, MAX_PATH)) {
        const Here here(folder);
        ASSERT_TRUE(m_dialog->m_queueStore.Open(folder, kEndedMutex));
        const std::wstring movie = Add(Looped(TheClips().hd, 6, 1000, folder, L"a.avi"));
        ASSERT_TRUE(PumpDialogUntil([&] { return m_dialog->m_queueStore.Read().items.size() == 1; },
                                    30000));
        Click(IDC_CONVERT);
        const std::wstring partial = std::wstring(folder) + L"\\QV_a.avi.avi.part";
        ASSERT_TRUE(PumpDialogUntil(
            [&] {
                return GetFileAttributesW(partial.c_str()) != INVALID_FILE_ATTRIBUTES &&
                       !FFmpegChildren(m_dialog->m_conversion.Encoder().ProcessId()).empty();
            },
            60000));
        WriteFileBytes(std::wstring(folder) + L"\\writing", "");
        PumpDialogFor(600000); // ended long before
        return;
    }
    const Here here(m_dir.Path());
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line =
        L"\"" + std::wstring(self) + L"\" --gtest_filter=RealProgramTest.AQuelvoxEndedOutright*";
    SetEnvironmentVariableW(kEndedFlag, m_dir.Path().c_str());
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION quelvox{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &quelvox));
    SetEnvironmentVariableW(kEndedFlag, nullptr);
    const CHandle process(quelvox.hProcess), thread(quelvox.hThread);
    ASSERT_TRUE(PumpUntil(
        [&] {
            return GetFileAttributesW((m_dir.Path() + L"\\writing").c_str()) !=
                       INVALID_FILE_ATTRIBUTES ||
                   WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
        },
        120000));
    std::vector<DWORD> engines = ChildProcesses(quelvox.dwProcessId);
    for (DWORD engine : std::vector<DWORD>(engines))
        for (DWORD ffmpeg : FFmpegChildren(engine))
            engines.push_back(ffmpeg);
    ASSERT_GE(engines.size(), 2u);
    TerminateProcess(process, 1);
    for (DWORD engine : engines)
        EXPECT_TRUE(PumpUntil([&] { return !ProcessIsRunning(engine); }, 30000)) << engine;

    // The next start: the list comes back, without the unfinished file.
    const std::wstring partial = m_dir.Path() + L"\\QV_a.avi.avi.part";
    EXPECT_NE(GetFileAttributesW(partial.c_str()), INVALID_FILE_ATTRIBUTES);
    m_dialog.reset();
    m_seam.answers = {IDYES};
    m_dialog = std::make_unique<CQuelvoxDlg>(&TheApp());
    TheApp().m_pMainWnd = m_dialog.get();
    ASSERT_TRUE(m_dialog->m_queueStore.Open(m_dir.Path(), kEndedMutex));
    ASSERT_TRUE(m_dialog->Create(IDD_QUELVOX_DIALOG, nullptr));
    ASSERT_TRUE(PumpDialogUntil([&] { return m_dialog->PreviousListTaken(); }, 30000));
    ASSERT_EQ(m_seam.boxes.size(), 1u);
    ASSERT_EQ(m_dialog->m_listFiles.GetItemCount(), 1);
    EXPECT_EQ(GetFileAttributesW(partial.c_str()), INVALID_FILE_ATTRIBUTES);
    // Converted again by one encoder.
    Click(IDC_CONVERT);
    ASSERT_TRUE(PumpDialogUntil(
        [&] {
            return GetFileAttributesW(partial.c_str()) != INVALID_FILE_ATTRIBUTES &&
                   !FFmpegChildren(m_dialog->m_conversion.Encoder().ProcessId()).empty();
        },
        60000));
    EXPECT_EQ(ProcessesNamed(L"mencoder.exe").size(), 1u);
    m_dialog->StopConversion();
}

class RealPreviewTest : public RealProgramTest {
protected:
    void TearDown() override {
        m_dialog->StopPreview();
        RealProgramTest::TearDown();
    }
    void Select(int index) {
        m_dialog->m_listFiles.SetItemState(-1, 0, LVIS_SELECTED);
        m_dialog->m_listFiles.SetItemState(index, LVIS_SELECTED, LVIS_SELECTED);
    }
    int Position() const { return m_dialog->m_preview.Player().Position(); }
};

TEST_F(RealPreviewTest, ShowsTheRealPictureOnScreenAndSeeksOnTheArrows) {
    // Long enough that it cannot end while the test seeks, however slow the machine.
    const Here here(m_dir.Path());
    Add(Looped(TheClips().longer, 15, 8, m_dir.Path(), L"long clip.avi"));
    Select(0);
    ASSERT_TRUE(TogglePreviewAndWait(*m_dialog));
    ASSERT_TRUE(m_dialog->m_preview.Previewing());
    ASSERT_TRUE(
        PumpDialogUntil([&] { return IsWindowVisible(m_dialog->m_stcPane) != FALSE; }, 60000));
    EXPECT_TRUE(PumpDialogUntil([&] { return m_dialog->Length() == 120; }, 60000));
    const HWND player = FindWindowExW(m_dialog->m_stcPane, nullptr, L"MPlayer - The Movie Player",
                                      L"MPlayer - The Movie Player");
    ASSERT_NE(player, nullptr);

    // The clock advances.
    ASSERT_TRUE(PumpDialogUntil([&] { return Position() >= 2; }, 60000));
    // The pattern is on the screen where the pane is.
    PumpDialogFor(300);
    const ScreenColours colours = ColoursOnScreen(m_dialog->m_stcPane.GetWindowRect());
    EXPECT_LT(colours.dark, colours.pixels / 3);
    EXPECT_GT(colours.red, colours.pixels / 50);
    EXPECT_GT(colours.green, colours.pixels / 50);
    EXPECT_GT(colours.blue, colours.pixels / 50);

    // Forward ten seconds, then back. A failure tells whether the player is still there.
    auto state = [&] {
        const CRedirMPlayer& monitor = m_dialog->m_preview.Player();
        return " at " + std::to_string(Position()) +
               (ProcessIsRunning(monitor.ProcessId()) ? ", running" : ", ended") +
               (monitor.Exited() ? ", end seen" : "");
    };
    const int before = Position();
    m_dialog->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_SEEK_FORWARD, BN_CLICKED), 0);
    EXPECT_TRUE(PumpDialogUntil([&] { return Position() >= before + 9; }, 60000)) << state();
    const int ahead = Position();
    m_dialog->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_SEEK_BACK, BN_CLICKED), 0);
    EXPECT_TRUE(PumpDialogUntil([&] { return Position() > 0 && Position() <= ahead - 8; }, 60000))
        << state();

    // 'q' ends the player and its decoders.
    const DWORD process = m_dialog->m_preview.Player().ProcessId();
    const std::vector<DWORD> children = ChildProcesses(process);
    EXPECT_FALSE(children.empty());
    // The preview's decoders keep normal priority.
    std::vector<DWORD> decoders;
    EXPECT_TRUE(
        PumpDialogUntil([&] { return !(decoders = FFmpegChildren(process)).empty(); }, 60000));
    for (DWORD ffmpeg : decoders)
        EXPECT_EQ(PriorityOf(ffmpeg), DWORD(NORMAL_PRIORITY_CLASS));
    m_dialog->TogglePreview();
    EXPECT_FALSE(m_dialog->m_preview.Previewing());
    EXPECT_TRUE(PumpDialogUntil([&] { return !ProcessIsRunning(process); }, 30000));
    for (DWORD child : children)
        EXPECT_TRUE(PumpDialogUntil([&] { return !ProcessIsRunning(child); }, 30000));
}

// A seek only moves the clock on the player's window thread; the decoders restart on a thread of
// their own. Through a burst of seeks the player's window answers messages all along, and the
// clock ends where the seeks' sum puts it.
TEST_F(RealPreviewTest, ABurstOfSeeksEndsAtItsSumWhileThePlayerKeepsAnswering) {
    const Here here(m_dir.Path());
    Add(Looped(TheClips().longer, 15, 8, m_dir.Path(), L"burst.avi"));
    Select(0);
    ASSERT_TRUE(TogglePreviewAndWait(*m_dialog));
    ASSERT_TRUE(PumpDialogUntil([&] { return Position() >= 1; }, 60000));
    const HWND player = FindWindowExW(m_dialog->m_stcPane, nullptr, L"MPlayer - The Movie Player",
                                      L"MPlayer - The Movie Player");
    ASSERT_NE(player, nullptr);
    AnswerProbe probe(player, 20, 2000);
    const int before = Position();
    const ULONGLONG start = GetTickCount64();
    // Forward, so that the clock passes each step on its way: one lost never gets there.
    for (int i = 0; i < 6; ++i)
        PostMessageW(player, WM_KEYDOWN, VK_RIGHT, 0);
    ASSERT_TRUE(PumpDialogUntil([&] { return Position() >= before + 60; }, 60000)) << Position();
    const int seconds = static_cast<int>((GetTickCount64() - start) / 1000);
    EXPECT_LE(Position(), before + 60 + seconds + 1);
    // Played on from there, answering all along.
    const int reached = Position();
    EXPECT_TRUE(PumpDialogUntil([&] { return Position() >= reached + 2; }, 60000));
    EXPECT_GT(probe.Sent(), 0);
    EXPECT_EQ(probe.Unanswered(), 0);
}

TEST_F(RealPreviewTest, PlaysToTheEndOfTheFile) {
    Add(CopyTo(TheClips().sd, m_dir, L"short.avi"));
    Select(0);
    ASSERT_TRUE(TogglePreviewAndWait(*m_dialog));
    ASSERT_TRUE(m_dialog->m_preview.Previewing());
    const DWORD process = m_dialog->m_preview.Player().ProcessId();
    EXPECT_TRUE(PumpDialogUntil([&] { return !m_dialog->m_preview.Previewing(); }, 60000));
    EXPECT_TRUE(PumpDialogUntil([&] { return !ProcessIsRunning(process); }, 30000));
    EXPECT_GE(Position(), 2);
}

} // namespace

namespace {

// The encoder's command line as Quelvox builds it for a 23.976 fps movie, with the subtitle
// options given; its output.
std::string Convert(const std::wstring& source, const std::wstring& output,
                    const std::wstring& subtitles) {
    return RunCapture(L"\"" + EnginePath(L"mencoder") + L"\" \"" + source + L"\" -o \"" + output +
                      L"\" -ofps   23.976 -ovc xvid -xvidencopts "
                      L"max_key_interval=120:bitrate=800:threads=2 -ffourcc XVID "
                      L" -mc 0 -audio-preload 0.0 -noodml -oac mp3lame -lameopts vbr=0 -lameopts "
                      L"br=128 -af volnorm "
                      L" -font \"C:\\windows\\Fonts\\gulim.ttc\" -subcp cp949 "
                      L"-subfont-text-scale 4 -subfont-blur 2 -subfont-outline 2 " +
                      subtitles);
}

// A folder path longer than the usual limit, made through the long form.
std::wstring LongFolder(const ScratchDir& dir) {
    std::wstring folder = dir.Path();
    for (int i = 0; i < 4; ++i) {
        folder += L"\\" + std::wstring(60, static_cast<wchar_t>(L'a' + i)) + L" \uD3F4\uB354";
        CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr);
    }
    return folder;
}

} // namespace

TEST(RealEngines, LongPathsIdentifyAndConvert) {
    ScratchDir dir;
    const std::wstring folder = LongFolder(dir);
    ASSERT_GT(folder.size(), 260u);
    const std::wstring source = folder + L"\\clip.avi", output = folder + L"\\QV_clip.avi.avi";
    ASSERT_TRUE(
        CopyFileW((L"\\\\?\\" + TheClips().sd).c_str(), (L"\\\\?\\" + source).c_str(), FALSE));
    WriteFileBytes(L"\\\\?\\" + folder + L"\\clip.smi", KoreanSami(SamiEncoding::Utf16));

    const std::string identify =
        RunCapture(L"\"" + EnginePath(L"mplayer") +
                   L"\" -nosound -vo null -frames 1 -really-quiet -identify \"" + source + L"\"");
    EXPECT_NE(identify.find("ID_VIDEO_WIDTH=640"), std::string::npos) << identify;
    const std::string convert = Convert(source, output, L"-sub \"" + folder + L"\\clip.smi\"");
    EXPECT_EQ(convert.find("Sorry,"), std::string::npos) << convert;
    EXPECT_NE(convert.find("SUB: Added subtitle file"), std::string::npos) << convert;
    EXPECT_NE(convert.find("%) "), std::string::npos) << convert;
    const AviFacts avi = ReadAvi(L"\\\\?\\" + output);
    EXPECT_EQ(avi.videoHandler, "XVID");
    EXPECT_EQ(avi.width, 640);

    // A source that is not there cannot be opened.
    const std::string missing = RunCapture(L"\"" + EnginePath(L"mencoder") + L"\" \"" + folder +
                                           L"\\none.avi\" -o \"" + output + L"\"");
    EXPECT_NE(missing.find("Cannot open demuxer."), std::string::npos) << missing;

    // The scratch folder's own clean-up does not take long paths.
    for (const wchar_t* name : {L"clip.avi", L"clip.smi", L"QV_clip.avi.avi"})
        DeleteFileW((L"\\\\?\\" + folder + L"\\" + name).c_str());
    for (std::wstring at = folder; at.size() > dir.Path().size(); at.resize(at.find_last_of(L'\\')))
        RemoveDirectoryW((L"\\\\?\\" + at).c_str());
}

// The preview burns the first of the file it is given, the files named like the movie and the
// tracks inside it that has a cue; a track is copied out while the picture plays.
TEST(RealEngines, ThePreviewBurnsTheFirstFileOrTrackThatHasACue) {
    ScratchDir dir;
    // Long enough that no machine plays it to its end before the copy of its track is done.
    const std::wstring picture = dir.Path() + L"\\picture.mkv";
    RunCapture(L"\"" + TestFFmpeg() +
               L"\" -hide_banner -loglevel error -nostdin -y -f lavfi -i "
               L"testsrc2=size=160x90:rate=10:duration=120 -c:v mpeg4 \"" +
               picture + L"\"");
    const std::wstring movie = WithTracks(dir, picture, L"movie.mkv");
    dir.Write(L"movie.smi", KoreanSami(SamiEncoding::Utf8));
    const std::wstring srt = dir.Write(L"other.srt", InCodePage(kKoreanSubRip, 949)),
                       empty = dir.Write(L"empty.srt", "");
    const struct {
        std::wstring options;
        std::string shown;
    } cases[] = {
        {L"-noautosub -sid 0 ", "SUB: Burning subtitle track 0"},
        {L"-sub \"" + srt + L"\" ", "SUB: Added subtitle file (1): " + ToAnsi(srt)},
        {L"-sub \"" + empty + L"\" ",
         "SUB: Added subtitle file (1): " + ToAnsi(dir.Path() + L"\\movie.smi")},
        // The track marked default, when no file has a cue.
        {L"-noautosub -sub \"" + empty + L"\" ", "SUB: Burning subtitle track 1"},
    };
    for (const auto& c : cases) {
        const std::string output = RunUntil(
            L"\"" + EnginePath(L"mplayer") +
                L"\" -font \"C:\\windows\\Fonts\\gulim.ttc\" -vo null -vf scale -subcp cp949 "
                L"-osdlevel 0 " +
                c.options + L"\"" + movie + L"\"",
            c.shown);
        EXPECT_NE(output.find(c.shown), std::string::npos) << output;
        EXPECT_EQ(output.find("SUB:"), output.rfind("SUB:")) << output;
    }
}

namespace {

// The real encoder on a source, as Quelvox runs it at Normal quality: into an AVI (scaled to
// 720 wide when the source is wider), or into an MP4 at 59.94 fps.
enum class Into { Avi, WideAvi, Mp4 };
std::string ConvertNormal(const std::wstring& source, const std::wstring& output, Into into) {
    const std::wstring options =
        into == Into::Mp4
            ? L"-ofps 59.940 -ovc x264 -x264encopts crf=23:preset=medium:keyint=599:threads=auto "
              L"-oac faac -faacopts br=160:mpeg=4:object=2 -af volnorm -of lavf -lavfopts "
              L"format=mp4"
            : std::wstring(L"-ofps 29.970 -ovc xvid -xvidencopts "
                           L"max_key_interval=120:bitrate=1000:threads=2 -ffourcc XVID ") +
                  (into == Into::WideAvi ? L"-vf scale -zoom -xy 720 " : L"") +
                  L"-mc 0 -audio-preload 0.0 -noodml -oac mp3lame -lameopts vbr=0 "
                  L"-lameopts br=128 -af volnorm";
    return RunCapture(L"\"" + EnginePath(L"mencoder") + L"\" \"" + source + L"\" -o \"" + output +
                          L"\" " + options,
                      120000);
}

double Rms(const std::vector<float>& samples, size_t from, size_t to) {
    double sum = 0;
    to = std::min(to, samples.size());
    for (size_t i = from; i < to; ++i)
        sum += double(samples[i]) * samples[i];
    return to > from ? std::sqrt(sum / (to - from)) : 0;
}

} // namespace

TEST(RealEncoder, FramesKeepTheirPlacesAndTheSoundStartsWithThePicture) {
    // 59.94 fps H.264 with B-frames, black but for a white flash at 2 s, silent but for a beep at
    // 2 s; converted to a 29.97 fps AVI with packed B-frames, and to an MP4 at its own rate.
    ScratchDir dir;
    const std::wstring source = dir.Path() + L"\\sync.avi";
    RunFFmpeg(L"-f lavfi -i color=black:s=1280x720:r=60000/1001:d=4,"
              L"drawbox=c=white:t=fill:enable='between(t,2,2.03)' -f lavfi -i "
              L"aevalsrc='0.5*sin(2*PI*1000*t)*between(t,2,2.2)':s=44100:d=4 -c:v libx264 "
              L"-preset veryfast -bf 2 -pix_fmt yuv420p -c:a libmp3lame \"" +
              source + L"\"");
    for (const auto& [into, name, fps] : {std::tuple{Into::WideAvi, L"QV_sync.avi", 30000 / 1001.0},
                                          std::tuple{Into::Mp4, L"QV_sync.mp4", 60000 / 1001.0}}) {
        const std::wstring output = dir.Path() + L"\\" + name;
        const std::string log = ConvertNormal(source, output, into);
        ASSERT_EQ(log.find("Sorry,"), std::string::npos) << log;

        if (into == Into::WideAvi) {
            const AviFacts avi = ReadAvi(output);
            EXPECT_EQ(avi.height, 404);
            const auto empty = std::count(avi.videoChunks.begin(), avi.videoChunks.end(), "");
            EXPECT_EQ(empty, 0) << "of " << avi.videoChunks.size() << " frames";
            EXPECT_NEAR(double(avi.videoChunks.size()), 4 * fps, 1.5);
            EXPECT_NEAR(avi.audioStart, 0, 1 / fps);
        }
        // The source's own B-frames hold its pictures up to two of its frames back, which the
        // output keeps.
        const double held = 2 / (60000 / 1001.0) + 0.5 / fps;
        const std::vector<double> brightness = BrightnessOf(output);
        EXPECT_NEAR(brightness.size() / fps, 4, held) << ToUtf8(name);
        const auto flash = std::find_if(brightness.begin(), brightness.end(),
                                        [](double level) { return level > 128; });
        ASSERT_NE(flash, brightness.end()) << ToUtf8(name);
        const std::vector<float> sound = SoundOf(output, 44100);
        const auto beep = std::find_if(sound.begin(), sound.end(),
                                       [](float sample) { return std::fabs(sample) > 0.05; });
        ASSERT_NE(beep, sound.end()) << ToUtf8(name);
        const double picture = (flash - brightness.begin()) / fps,
                     heard = (beep - sound.begin()) / 44100.0;
        EXPECT_NEAR(picture, 2, held) << ToUtf8(name);
        // One frame, and the sound decoder's delay.
        EXPECT_NEAR(heard, picture, 1 / fps + 0.03) << ToUtf8(name);
    }
}

TEST(RealEncoder, VolnormMovesEachLevelTowardsItsTargetWithoutSwelling) {
    // A tone whose level steps every 4 s: below the silence level, then ever louder.
    const double peaks[] = {0.005, 0.05, 0.2, 0.7};
    std::wstring level = L"0";
    for (int i = 0; i < 4; ++i)
        level += L"+" + std::to_wstring(peaks[i]) + L"*between(t," + std::to_wstring(4 * i) + L"," +
                 std::to_wstring(4 * i + 4) + L")";
    ScratchDir dir;
    const std::wstring source = dir.Path() + L"\\levels.avi",
                       output = dir.Path() + L"\\QV_levels.avi";
    RunFFmpeg(L"-f lavfi -i color=gray:s=160x96:r=25:d=16 -f lavfi -i aevalsrc='(" + level +
              L")*sin(2*PI*440*t)':s=44100:d=16 -c:v mpeg4 -c:a libmp3lame -b:a 192k \"" + source +
              L"\"");
    const std::string log = ConvertNormal(source, output, Into::Avi);
    ASSERT_EQ(log.find("Sorry,"), std::string::npos) << log;
    const std::vector<float> sound = SoundOf(output, 44100);
    ASSERT_GE(sound.size(), 15u * 44100);
    for (int i = 0; i < 4; ++i) {
        // mencoder's rule: an RMS above 0.01 becomes sqrt(0.25 RMS); below, it stays.
        const double in = peaks[i] / std::sqrt(2.0);
        const double expected = in > 0.01 ? std::sqrt(0.25 * in) : in;
        const size_t second = 44100, start = 4 * i * second;
        const double settled = Rms(sound, start + 2 * second, start + 4 * second);
        EXPECT_NEAR(20 * std::log10(settled / expected), 0, 1.5) << "peak " << peaks[i];
        for (size_t from = start; from + second <= start + 4 * second; from += second / 2)
            EXPECT_LT(20 * std::log10(Rms(sound, from, from + second) / settled), 3)
                << "peak " << peaks[i] << ", at " << double(from) / second << " s";
    }
}

TEST(RealEncoder, ASourceIsJudgedByWhatItHoldsNotByWhatItsHeaderPromises) {
    ScratchDir dir;
    const std::wstring clip = dir.Path() + L"\\clip.avi";
    ASSERT_TRUE(MakeClip(clip, 320, 240, L"25", 6));
    // A transport stream whose times jump by 100 s half-way: two streams end to end.
    const std::wstring jumped = dir.Path() + L"\\jumped.ts";
    for (const wchar_t* part : {L"0", L"100"})
        RunFFmpeg(L"-i \"" + clip + L"\" -c copy -output_ts_offset " + part + L" -f mpegts \"" +
                  dir.Path() + L"\\part" + part + L".ts\"");
    WriteFileBytes(jumped, ReadWholeFile(dir.Path() + L"\\part0.ts", 1 << 26) +
                               ReadWholeFile(dir.Path() + L"\\part100.ts", 1 << 26));
    // An AVI whose video header counts three times its 150 frames.
    std::string avi = ReadWholeFile(clip, 1 << 26);
    const size_t length = avi.find("strh") + 8 + 32;
    avi.replace(length, 2, std::string{char(450 & 0xFF), char(450 >> 8)});
    const std::wstring miscounted = dir.Write(L"miscounted.avi", avi);
    // Downloads that broke off half-way.
    const std::wstring cutAvi =
        dir.Write(L"cut.avi", ReadWholeFile(clip, 1 << 26).substr(0, avi.size() / 2));
    const std::wstring mkv = dir.Path() + L"\\whole.mkv";
    RunFFmpeg(L"-i \"" + clip + L"\" -c copy \"" + mkv + L"\"");
    const std::string mkvBytes = ReadWholeFile(mkv, 1 << 26);
    const std::wstring cutMkv = dir.Write(L"cut.mkv", mkvBytes.substr(0, mkvBytes.size() / 2));

    struct Case {
        std::wstring source;
        bool converted;
    };
    for (const Case& c :
         {Case{jumped, true}, Case{miscounted, true}, Case{cutAvi, false}, Case{cutMkv, false}}) {
        const std::string log = ConvertNormal(c.source, c.source + L".out.avi", Into::Avi);
        EXPECT_EQ(log.find("Sorry,") == std::string::npos, c.converted)
            << ToUtf8(c.source) << "\n"
            << log.substr(log.size() > 600 ? log.size() - 600 : 0);
    }
}

// A chart of flat patches as a phone records it in HLG and as an HD camera in BT.709, through the
// encoder as Quelvox runs it: each patch comes out in the colours players show. What lies under
// reference white as it was, white rolled off but bright, saturated colours as saturated.
TEST(RealEncoder, HdrAndHdChartsComeOutInTheColoursPlayersShow) {
    struct Patch {
        unsigned char r, g, b;
    };
    const Patch patches[] = {
        {191, 0, 0}, {0, 255, 0}, {0, 0, 191}, {128, 128, 128}, {255, 255, 255}};
    auto chart = [&](int width, int height) {
        std::wstring graph, inputs;
        for (int i = 0; i < 5; ++i) {
            wchar_t patch[96];
            swprintf(patch, 96, L"color=c=0x%02X%02X%02X:s=%dx%d:d=1,format=gbrp[p%d];",
                     patches[i].r, patches[i].g, patches[i].b, width / 5, height, i);
            graph += patch;
            inputs += L"[p" + std::to_wstring(i) + L"]";
        }
        return graph + inputs + L"hstack=5";
    };
    ScratchDir dir;
    const std::wstring hlg = dir.Path() + L"\\hlg.mov", hd = dir.Path() + L"\\hd.mp4";
    RunFFmpeg(L"-f lavfi -i \"" + chart(640, 360) +
              L",zscale=tin=709:pin=709:rin=full:t=arib-std-b67:p=2020:m=2020_ncl:r=tv:npl=203,"
              L"format=yuv420p10le\" -r 30000/1001 -c:v libx265 -preset ultrafast -x265-params "
              L"crf=8:log-level=none -color_primaries bt2020 -color_trc arib-std-b67 -colorspace "
              L"bt2020nc -color_range tv \"" +
              hlg + L"\"");
    RunFFmpeg(L"-f lavfi -i \"" + chart(1280, 720) +
              L",zscale=tin=709:pin=709:rin=full:t=709:p=709:m=709:r=tv,format=yuv420p\" -r "
              L"30000/1001 -c:v libx264 -crf 8 -color_primaries bt709 -color_trc bt709 "
              L"-colorspace bt709 -color_range tv \"" +
              hd + L"\"");
    ASSERT_EQ(Describe(hlg).transfer, "arib-std-b67");
    const struct {
        std::wstring source, output;
        Into into;
        int width; // of the output
        bool hdr;
    } cases[] = {
        {hlg, L"hlg.avi", Into::Avi, 640, true},
        {hlg, L"hlg.mp4", Into::Mp4, 640, true},
        {hd, L"hd.avi", Into::WideAvi, 720, false},
    };
    for (const auto& c : cases) {
        const std::wstring output = dir.Path() + L"\\" + c.output;
        const std::string log = ConvertNormal(c.source, output, c.into);
        ASSERT_EQ(log.find("Sorry,"), std::string::npos) << log;
        int w = 0, h = 0;
        const std::vector<unsigned char> frame = FrameAt(output, 0.5, w, h);
        ASSERT_EQ(w, c.width) << ToUtf8(c.output);
        for (int i = 0; i < 5; ++i) {
            const size_t at = (size_t(h / 2) * w + w * (2 * i + 1) / 10) * 3;
            const Patch want = patches[i];
            const bool rolledOff = c.hdr && std::max({want.r, want.g, want.b}) == 255;
            for (int k = 0; k < 3; ++k) {
                const int got = frame[at + k], wanted = (&want.r)[k];
                if (rolledOff && wanted == 255)
                    EXPECT_TRUE(got >= 215 && got <= 248) << ToUtf8(c.output) << ": patch " << i
                                                          << ", component " << k << ": " << got;
                else
                    EXPECT_NEAR(got, wanted, 8)
                        << ToUtf8(c.output) << ": patch " << i << ", component " << k;
            }
        }
    }
    // The MP4 says what it holds.
    const Description mp4 = Describe(dir.Path() + L"\\hlg.mp4");
    EXPECT_EQ(mp4.matrix + " " + mp4.primaries + " " + mp4.transfer + " " + mp4.range,
              "bt709 bt709 bt709 tv");
}
