// The scenario language of the scripted engines, and the engines' command-line handling.
#include "support/TestSupport.h"
#include "framework/Paths.h"
#include "redirect/Redirector.h"

#include <gtest/gtest.h>

#include <mutex>

namespace {

// Runs an engine with a command line and returns everything it printed.
class Capture : public CRedirector {
public:
    ~Capture() override { Close(); }
    void WriteStdOut(const wchar_t* text) override {
        std::lock_guard guard(m_lock);
        m_text += text;
    }
    std::wstring Run(const std::wstring& line) {
        m_text.clear();
        if (!Open(line.c_str()))
            return L"<not started>";
        PumpUntil([this] { return !Reading(); }, 20000);
        std::lock_guard guard(m_lock);
        return m_text;
    }

private:
    std::mutex m_lock;
    std::wstring m_text;
};

std::wstring Quote(const std::wstring& s) {
    return L"\"" + s + L"\"";
}

const std::wstring kEnd = CRedirector::kEndMarker;

} // namespace

// The player's window lies in Quelvox's pane, which is aware of each monitor's DPI: so are the
// engines, the scripted ones here and the real ones of the program folder, or Windows would
// stretch their picture and size it in pixels of 96 DPI.
TEST(ScriptedEngines, AndTheRealOnesDeclareThemselvesAwareOfEachMonitorsDpi) {
    const std::wstring real = GetModuleDirectory() + L"..\\dist\\bin\\";
    for (const std::wstring& engine : {EnginePath(L"mplayer"), EnginePath(L"mencoder"),
                                       real + L"mplayer.exe", real + L"mencoder.exe"})
        EXPECT_NE(ManifestOf(engine).find(">PerMonitorV2<"), std::string::npos) << engine;
}

TEST(ScriptedEngines, PlayerPicksTheSectionByItsCommandLine) {
    ScratchDir dir;
    std::wstring movie = dir.Write(L"a b.avi", "# identify and play differ\n"
                                               "[identify]\n"
                                               "out ID_VIDEO_WIDTH=640\n"
                                               "[play]\n"
                                               "out playing\n"
                                               "[play gl]\n"
                                               "out playing with gl\n");
    Capture capture;
    std::wstring player = Quote(EnginePath(L"mplayer"));
    EXPECT_EQ(capture.Run(player + L" -nosound -vo null -frames 1 -really-quiet -identify " +
                          Quote(movie)),
              L"ID_VIDEO_WIDTH=640\r\n" + kEnd);
    EXPECT_EQ(capture.Run(player + L" -vo direct3d -wid 12 " + Quote(movie)),
              L"playing\r\n" + kEnd);
    EXPECT_EQ(capture.Run(player + L" -vo gl -wid 12 " + Quote(movie)),
              L"playing with gl\r\n" + kEnd);
}

TEST(ScriptedEngines, MissingMovieIsReportedLikeTheRealPrograms) {
    Capture capture;
    std::wstring text =
        capture.Run(Quote(EnginePath(L"mencoder")) + L" \"C:\\nowhere\\x.avi\" -o y");
    EXPECT_NE(text.find(L"Cannot open demuxer."), std::wstring::npos);
    text = capture.Run(Quote(EnginePath(L"mplayer")) + L" -identify \"C:\\nowhere\\x.avi\"");
    EXPECT_EQ(text.find(L"ID_"), std::wstring::npos);
}

TEST(ScriptedEngines, FileWithoutScenarioIdentifiesAsNothingAndEncodesByDefault) {
    ScratchDir dir;
    std::wstring movie = dir.Write(L"real.mkv", std::string("\x1A\x45\xDF\xA3 binary", 11));
    std::wstring output = dir.Path() + L"\\out.avi";
    Capture capture;
    EXPECT_EQ(capture.Run(Quote(EnginePath(L"mplayer")) + L" -identify " + Quote(movie)), kEnd);
    std::wstring text =
        capture.Run(Quote(EnginePath(L"mencoder")) + L" " + Quote(movie) + L" -o " + Quote(output));
    EXPECT_NE(text.find(L"(95%)"), std::wstring::npos);
    EXPECT_NE(GetFileAttributesW(output.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(ScriptedEngines, TextCommandsAndEscapes) {
    ScratchDir dir;
    std::wstring movie = dir.Write(L"t.avi", "[encode]\n"
                                             "print no line end\n"
                                             "print \\tand\\x41\\\\\\r\\n\n"
                                             "bytes 3 z tail\\n\n"
                                             "err to stderr\n"
                                             "progress 7 9 2 0\n"
                                             "bogus command\n"
                                             "exit 4\n"
                                             "out never\n");
    Capture capture;
    std::wstring text = capture.Run(Quote(EnginePath(L"mencoder")) + L" " + Quote(movie));
    EXPECT_EQ(text.rfind(L"no line end\tandA\\\r\nzzztail\nto stderr\r\n", 0), 0u) << text;
    EXPECT_NE(text.find(L"( 7%)"), std::wstring::npos);
    EXPECT_NE(text.find(L"( 9%)"), std::wstring::npos);
    EXPECT_EQ(text.find(L"( 8%)"), std::wstring::npos);
    EXPECT_NE(text.find(L"unknown command 'bogus'"), std::wstring::npos);
    EXPECT_EQ(text.find(L"never"), std::wstring::npos);
    DWORD code = 0;
    GetExitCodeProcess(capture.ChildProcess(), &code);
    EXPECT_EQ(code, 4u);
}

TEST(ScriptedEngines, CommandLinesAreLoggedWhenAsked) {
    ScratchDir dir;
    std::wstring log = dir.Path() + L"\\engines.log";
    SetEnvironmentVariableW(L"QV_DOUBLE_LOG", log.c_str());
    std::wstring movie = dir.Write(L"m.avi", "[identify]\n");
    Capture capture;
    std::wstring line = Quote(EnginePath(L"mplayer")) + L" -identify " + Quote(movie);
    capture.Run(line);
    SetEnvironmentVariableW(L"QV_DOUBLE_LOG", nullptr);

    HANDLE file =
        CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char buffer[4096];
    DWORD got = 0;
    ReadFile(file, buffer, sizeof buffer, &got, nullptr);
    CloseHandle(file);
    std::string logged(buffer, got);
    EXPECT_EQ(logged.rfind("mplayer\t", 0), 0u);
    EXPECT_NE(logged.find("-identify"), std::string::npos);
}
