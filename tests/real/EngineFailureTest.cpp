// The real encoder's failure paths, with a scripted ffmpeg.exe beside copies of the engines
// (tests-real/fake/): names that read like failures, short sources, stalls, crashes, and the
// handles a child gets; and the engines' reading of a child that is ended as it starts.
#include "Process.h"
#include "common/File.h"
#include "common/Text.h"
#include "RealSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace {

std::wstring FakeFolder() {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"fake\\";
}

struct EngineRun {
    DWORD exitCode = ~0u;
    std::string output;
};

// Something done to the encoder's run from outside once its output shows a text.
struct Meddle {
    const char* at = nullptr;
    std::function<void(HANDLE encoder)> act = [](HANDLE encoder) { TerminateProcess(encoder, 1); };
    // How long the encoder waits for an earlier movie another program holds.
    const wchar_t* holdSeconds = L"1";
};

// Runs the fake folder's encoder on a source of the given name as Quelvox does, with the
// system's default error mode (not the tests' own, which would hide crash dialogs), and reads
// its output to the end; by default meddle ends the encoder from outside once its output shows
// meddle.at. The guard only stops a hang.
EngineRun Encode(const ScratchDir& dir, const std::wstring& name, const wchar_t* mode,
                 const std::string& content = "not really a movie", Meddle meddle = {}) {
    SetEnvironmentVariableW(L"QV_FAKE_FFMPEG", mode);
    SetEnvironmentVariableW(L"QV_STALL_SECONDS", L"2");
    SetEnvironmentVariableW(L"QV_HOLD_SECONDS", meddle.holdSeconds);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    CreatePipe(&read, &write, &inherit, 1 << 16);
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    // The value of our pipe's end, which the engine inherits at the same value.
    SetEnvironmentVariableW(L"QV_FAKE_HANDLE",
                            std::to_wstring(reinterpret_cast<INT_PTR>(write)).c_str());
    const std::wstring source = dir.Write(name, content);
    std::wstring line = L"\"" + FakeFolder() + L"mencoder.exe\" \"" + source + L"\" -o \"" +
                        dir.Path() + L"\\QV_" + name + L".avi\" -oac mp3lame -ovc xvid";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = write;
    PROCESS_INFORMATION pi{};
    EngineRun run;
    const BOOL started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                       CREATE_NO_WINDOW | CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &si, &pi);
    CloseHandle(write);
    for (const wchar_t* variable :
         {L"QV_FAKE_FFMPEG", L"QV_STALL_SECONDS", L"QV_HOLD_SECONDS", L"QV_FAKE_HANDLE"})
        SetEnvironmentVariableW(variable, nullptr);
    if (!started) {
        CloseHandle(read);
        return run;
    }
    const ULONGLONG guard = GetTickCount64() + 120000;
    char buffer[4096];
    for (DWORD got = 0; GetTickCount64() < guard;) {
        DWORD available = 0;
        if (!PeekNamedPipe(read, nullptr, 0, nullptr, &available, nullptr))
            break; // every writer has gone
        if (available && ReadFile(read, buffer, sizeof buffer, &got, nullptr))
            run.output.append(buffer, got);
        else
            Sleep(20);
        if (meddle.at && run.output.find(meddle.at) != std::string::npos) {
            meddle.act(pi.hProcess);
            meddle.at = nullptr;
        }
    }
    if (WaitForSingleObject(pi.hProcess, 5000) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &run.exitCode);
    else
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(read);
    return run;
}

bool Has(const EngineRun& run, const char* text) {
    return run.output.find(text) != std::string::npos;
}

LONGLONG SizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (LONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

} // namespace

TEST(EngineFailures, ANameThatReadsLikeAFailureIsNeverPrintedAsOne) {
    ScratchDir dir;
    const EngineRun run = Encode(dir, L"I'm Sorry, I Love You E01.avi", L"ok");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_FALSE(Has(run, "Sorry,")) << run.output;
    EXPECT_TRUE(Has(run, "I'm Sorry%2C I Love You")) << run.output;
    EXPECT_TRUE(Has(run, "audio stream: MP3")) << run.output;
    const EngineRun demuxer = Encode(dir, L"Cannot open demuxer.avi", L"ok");
    EXPECT_EQ(demuxer.exitCode, 0u);
    EXPECT_FALSE(Has(demuxer, "Cannot open demuxer.")) << demuxer.output;
}

TEST(EngineFailures, ACutSourceFailsAndSaysWhereAnOverstatedOneDoesNot) {
    ScratchDir dir;
    // The fake describes 20 s and converts 5.1 s of either: a download that broke off (its RIFF
    // promises a megabyte) and a whole file whose header counts its frames wrong.
    const std::string riff = "RIFF" + std::string("\x08\0\0\0", 4) + "AVI data";
    const EngineRun cut = Encode(dir, L"cut.avi", L"short",
                                 riff.substr(0, 4) + std::string("\0\0\x10\0", 4) + riff.substr(8));
    EXPECT_EQ(cut.exitCode, 1u);
    EXPECT_TRUE(Has(cut, "ID_FAILURE=CUT 5.1\r\nSorry, the source breaks off at 5.1 s"))
        << cut.output;
    // The last status line tells where the conversion really got to.
    EXPECT_TRUE(Has(cut, "Pos:   5.1s")) << cut.output;
    EXPECT_FALSE(Has(cut, "Pos:  20.0s")) << cut.output;
    EXPECT_EQ(SizeOf(dir.Path() + L"\\QV_cut.avi.avi"), -1);
    EXPECT_EQ(SizeOf(dir.Path() + L"\\QV_cut.avi.avi.part"), -1);

    const EngineRun whole = Encode(dir, L"whole.avi", L"short", riff);
    EXPECT_EQ(whole.exitCode, 0u) << whole.output;
    EXPECT_FALSE(Has(whole, "Sorry,")) << whole.output;
    EXPECT_GT(SizeOf(dir.Path() + L"\\QV_whole.avi.avi"), 0);
}

TEST(EngineFailures, ASilentSourceIsNotSaidToHaveSound) {
    ScratchDir dir;
    const EngineRun run = Encode(dir, L"silent.avi", L"silent");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_FALSE(Has(run, "audio stream: MP3")) << run.output;
}

// A conversion that does not finish leaves the movie of an earlier run as it was: only one that
// ends well replaces it. It leaves no partial file either, but when it is ended from outside
// (Quelvox removes that one), and its last line says why.
TEST(EngineFailures, StalledCrashedFailedOrKilledRunsKeepTheEarlierMovieAndSayWhy) {
    ScratchDir dir;
    const std::wstring output = dir.Path() + L"\\QV_movie.avi.avi", partial = output + L".part";
    ASSERT_EQ(Encode(dir, L"movie.avi", L"ok").exitCode, 0u);
    const std::string complete = ReadWholeFile(output, 1 << 20);
    ASSERT_EQ(complete, "RIFF ok");
    EXPECT_EQ(SizeOf(partial), -1);
    struct Case {
        const wchar_t* mode;
        const char* killAt; // ended from outside once this is printed
        const char* said;   // the last lines
        const char* left;   // the partial file's content, if any
    };
    for (const Case& c : {
             Case{L"stall", nullptr, "ID_FAILURE=STALL 2\r\nSorry, ffmpeg printed nothing for 2 s.",
                  nullptr},
             // Windows ends a crashed ffmpeg with its exception code; wine hands it to its
             // debugger, where it stalls.
             Case{L"crash", nullptr, "Sorry, ffmpeg ", nullptr},
             Case{L"fail", nullptr, "Sorry, ffmpeg failed: Conversion failed!", nullptr},
             Case{L"full", nullptr, "ID_FAILURE=DISK_FULL\r\nSorry, the disk is full.", nullptr},
             Case{L"stall", "Pos:   1.0s", nullptr, "RIFF stall"},
         }) {
        const std::string what = ToUtf8(c.mode) + (c.killAt ? ", killed" : "");
        const EngineRun run =
            Encode(dir, L"movie.avi", c.mode, "not really a movie", Meddle{.at = c.killAt});
        if (c.said) {
            EXPECT_EQ(run.exitCode, 1u) << what << run.output;
            EXPECT_TRUE(Has(run, c.said)) << what << run.output;
        }
        EXPECT_EQ(ReadWholeFile(output, 1 << 20), complete) << what;
        if (c.left)
            EXPECT_EQ(ReadWholeFile(partial, 1 << 20), c.left) << what;
        else
            EXPECT_EQ(SizeOf(partial), -1) << what;
    }
    // The next conversion of the file removes what a killed one left, whatever its end.
    EXPECT_EQ(Encode(dir, L"movie.avi", L"fail").exitCode, 1u);
    EXPECT_EQ(SizeOf(partial), -1);
    // A probe that never ends leaves the file unreadable.
    const EngineRun probe = Encode(dir, L"probe.avi", L"probe-stall");
    EXPECT_EQ(probe.exitCode, 1u);
    EXPECT_TRUE(Has(probe, "Cannot open demuxer.")) << probe.output;
}

// A player, a scanner or OneDrive may hold the earlier movie open: the new one waits for it,
// and is kept beside it when it stays held. A second encoder on the same output refuses.
TEST(EngineFailures, AHeldMovieIsWaitedForThenKeptBesideAndASecondEncoderRefuses) {
    ScratchDir dir;
    const std::wstring output = dir.Path() + L"\\QV_movie.avi.avi";
    ASSERT_EQ(Encode(dir, L"movie.avi", L"ok").exitCode, 0u);
    auto hold = [&] {
        return CreateFileW(output.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    };
    HANDLE held = hold();
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const EngineRun waited =
        Encode(dir, L"movie.avi", L"short", "not really a movie",
               Meddle{"held by another program", [&](HANDLE) { CloseHandle(held); }, L"120"});
    EXPECT_EQ(waited.exitCode, 0u) << waited.output;
    EXPECT_EQ(ReadWholeFile(output, 1 << 20), "RIFF short");
    EXPECT_FALSE(Has(waited, "ID_KEPT_AS")) << waited.output;

    held = hold();
    const EngineRun kept = Encode(dir, L"movie.avi", L"ok");
    CloseHandle(held);
    EXPECT_EQ(kept.exitCode, 0u) << kept.output;
    EXPECT_TRUE(Has(kept, "ID_KEPT_AS=QV_movie.avi (2).avi")) << kept.output;
    EXPECT_EQ(ReadWholeFile(output, 1 << 20), "RIFF short");
    EXPECT_EQ(ReadWholeFile(dir.Path() + L"\\QV_movie.avi (2).avi", 1 << 20), "RIFF ok");
    EXPECT_EQ(SizeOf(output + L".part"), -1);

    // Another encoder writes the output: nothing of it is touched.
    const EngineRun second =
        Encode(dir, L"movie.avi", L"stall", "not really a movie",
               Meddle{"Pos:   1.0s", [&](HANDLE) {
                          const EngineRun busy = Encode(dir, L"movie.avi", L"ok");
                          EXPECT_TRUE(Has(busy, "ID_FAILURE=BUSY")) << busy.output;
                          EXPECT_EQ(ReadWholeFile(output + L".part", 100), "RIFF stall");
                      }});
    EXPECT_EQ(second.exitCode, 1u);
}

TEST(EngineFailures, FFmpegGetsNoneOfTheEnginesOwnHandles) {
    ScratchDir dir;
    const EngineRun run = Encode(dir, L"leak.avi", L"leak");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_FALSE(Has(run, "LEAKED")) << run.output;
}

// Wine may leave the pipe of a child that is ended while it starts open for ever; reading its
// output must end all the same. The child is ended at one moment after another of its start.
TEST(EngineFailures, ReadingAChildEndsWhenItIsEndedAtAnyMomentOfItsStart) {
    // The real ffmpeg, whose start is long enough to be hit.
    const std::wstring line =
        L"\"" + TestFFmpeg() + L"\" -nostdin -f lavfi -i testsrc2 -f rawvideo -";
    for (DWORD delay = 0; delay <= 250; delay += 10) {
        auto child = std::make_unique<Child>();
        ASSERT_TRUE(child->Start(line, L"", Child::kPipe, Child::kPipe));
        Sleep(delay);
        child->Terminate();
        HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::thread reader([&child, done] {
            char block[4096];
            while (child->ReadExactly(block, sizeof block)) {
            }
            SetEvent(done);
        });
        const bool ended = WaitForSingleObject(done, 30000) == WAIT_OBJECT_0;
        EXPECT_TRUE(ended) << "ended " << delay << " ms after its start";
        if (!ended) {
            // Left blocked to the end of the tests, with what it reads.
            reader.detach();
            child.release();
            break;
        }
        reader.join();
        CloseHandle(done);
    }
}
