// The console redirector with real child processes: how output is cut into chunks, the end
// marker, the error texts and the life of a run.
#include "redirect/Redirector.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

class RecordingRedirector : public CRedirector {
public:
    ~RecordingRedirector() override { Close(); }
    void WriteStdOut(const wchar_t* text) override {
        std::lock_guard guard(m_lock);
        m_chunks.emplace_back(text);
    }
    void WriteStdError(const wchar_t* text) override {
        std::lock_guard guard(m_lock);
        m_errors.emplace_back(text);
    }
    std::vector<std::wstring> Chunks() const {
        std::lock_guard guard(m_lock);
        return m_chunks;
    }
    std::vector<std::wstring> Errors() const {
        std::lock_guard guard(m_lock);
        return m_errors;
    }
    std::wstring Joined() const {
        std::wstring all;
        for (const auto& chunk : Chunks())
            all += chunk;
        return all;
    }
    bool WaitForEnd(DWORD timeoutMs = 10000) const {
        return PumpUntil([this] { return !Reading(); }, timeoutMs);
    }

private:
    mutable std::mutex m_lock;
    std::vector<std::wstring> m_chunks, m_errors;
};

class RedirectorTest : public testing::Test {
protected:
    // Starts the scripted encoder on a scenario whose [encode] section is `commands`.
    BOOL Run(const std::string& commands) {
        std::wstring name = L"movie" + std::to_wstring(++m_runs) + L".avi";
        std::wstring movie = m_dir.Write(name, "[encode]\n" + commands);
        std::wstring line = L"\"" + EnginePath(L"mencoder") + L"\" \"" + movie + L"\"";
        return m_redirector.Open(line.c_str());
    }

    ScratchDir m_dir;
    int m_runs = 0;
    RecordingRedirector m_redirector;
};

const std::wstring kEnd = CRedirector::kEndMarker;

} // namespace

TEST_F(RedirectorTest, ChildThatWritesNothingGivesExactlyTheEndMarker) {
    ASSERT_TRUE(Run("exit 3\n"));
    ASSERT_TRUE(m_redirector.WaitForEnd());
    EXPECT_EQ(m_redirector.Chunks(), std::vector<std::wstring>{kEnd});
    EXPECT_TRUE(m_redirector.Errors().empty());
    // The reader released the run itself.
    EXPECT_FALSE(m_redirector.IsRunOpen());
}

TEST_F(RedirectorTest, WaitingBytesArriveInChunksOfAtMost255) {
    // 600 bytes written in one go, one "line" longer than a chunk.
    ASSERT_TRUE(Run("bytes 600 x\n"));
    ASSERT_TRUE(m_redirector.WaitForEnd());
    auto chunks = m_redirector.Chunks();
    ASSERT_EQ(chunks.size(), 4u);
    EXPECT_EQ(chunks[0], std::wstring(255, L'x'));
    EXPECT_EQ(chunks[1], std::wstring(255, L'x'));
    EXPECT_EQ(chunks[2], std::wstring(90, L'x'));
    EXPECT_EQ(chunks[3], kEnd);
}

TEST_F(RedirectorTest, StandardErrorIsInterleavedInWritingOrder) {
    ASSERT_TRUE(Run("out one\nerr two\nout three\nsleep 150\nerr four\n"));
    ASSERT_TRUE(m_redirector.WaitForEnd());
    EXPECT_EQ(m_redirector.Joined(), L"one\r\ntwo\r\nthree\r\nfour\r\n" + kEnd);
    EXPECT_TRUE(m_redirector.Errors().empty());
}

TEST_F(RedirectorTest, MultibyteCharacterAtTheChunkBoundaryIsWidenedInTwoHalves) {
    ASSERT_TRUE(Run("bytes 254 a \\xB0\\xA1\n"));
    ASSERT_TRUE(m_redirector.WaitForEnd());
    auto chunks = m_redirector.Chunks();
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0], Widen(std::string(254, 'a') + "\xB0"));
    EXPECT_EQ(chunks[1], Widen("\xA1"));
    EXPECT_EQ(chunks[2], kEnd);
}

TEST_F(RedirectorTest, CrashedChildStillEndsWithTheMarker) {
    ASSERT_TRUE(Run("out before\ncrash\n"));
    ASSERT_TRUE(m_redirector.WaitForEnd());
    EXPECT_EQ(m_redirector.Joined(), L"before\r\n" + kEnd);
}

TEST_F(RedirectorTest, ChildWhoseHelperHoldsThePipeStillEndsWithTheMarker) {
    // The child exits while a process it started still holds the pipe's write end, for ten
    // times the grace: the end comes while the helper still holds it. The helper then ends by
    // itself before the test goes on (under wine a console outlives an ended one).
    constexpr DWORD kHold = 10 * CRedirector::kExitGraceMs;
    ASSERT_TRUE(Run("hold " + std::to_string(kHold) + "\nout bye\n"));
    const DWORD child = m_redirector.ProcessId();
    ASSERT_TRUE(m_redirector.WaitForEnd(kHold));
    EXPECT_EQ(m_redirector.Joined(), L"bye\r\n" + kEnd);
    const std::vector<DWORD> helpers = ChildProcesses(child);
    ASSERT_EQ(helpers.size(), 1u);
    EXPECT_TRUE(ProcessIsRunning(helpers[0]));
    EXPECT_TRUE(PumpUntil([&] { return !ProcessIsRunning(helpers[0]); }, 10 * kHold));
}

TEST_F(RedirectorTest, CloseBeforeTheEndStopsTheReaderAndLeavesTheChildRunning) {
    // The child never ends by itself: Close returns only if it does not wait for it, and
    // without the dead-thread error only if the reader stopped on being asked.
    ASSERT_TRUE(Run("out early\nhang\n"));
    ASSERT_TRUE(PumpUntil([&] { return !m_redirector.Chunks().empty(); }, 5000));
    DWORD child = m_redirector.ProcessId();

    m_redirector.Close();
    EXPECT_FALSE(m_redirector.Reading());
    EXPECT_FALSE(m_redirector.IsRunOpen());
    EXPECT_TRUE(ProcessIsRunning(child));

    EXPECT_TRUE(m_redirector.TerminateChild());
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, child);
    if (process) {
        EXPECT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
        CloseHandle(process);
    }
    // Nothing reads the ended child's pipe any more.
    EXPECT_EQ(m_redirector.Chunks(), std::vector<std::wstring>{L"early\r\n"});
    EXPECT_TRUE(m_redirector.Errors().empty());
}

TEST_F(RedirectorTest, OpenWhileRunningStopsTheOldReaderButNotTheOldChild) {
    ASSERT_TRUE(Run("sleep 5000\nout old\n"));
    DWORD oldChild = m_redirector.ProcessId();
    ASSERT_TRUE(Run("out new\n"));
    ASSERT_TRUE(m_redirector.WaitForEnd());
    EXPECT_EQ(m_redirector.Joined(), L"new\r\n" + kEnd);
    EXPECT_TRUE(ProcessIsRunning(oldChild));
    EndProcess(oldChild);
}

TEST_F(RedirectorTest, MissingProgramReportsTheSystemError) {
    SetLastError(0);
    EXPECT_FALSE(m_redirector.Open(L"\"C:\\no such folder\\missing.exe\" -identify"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(m_redirector.Errors(), std::vector<std::wstring>{L"Redirect console error: 2\r\n"});
    EXPECT_TRUE(m_redirector.Chunks().empty());
    EXPECT_FALSE(m_redirector.Reading());
    EXPECT_FALSE(m_redirector.IsRunOpen());
}

TEST_F(RedirectorTest, CloseOnAnIdleObjectDoesNothingAndTwiceIsHarmless) {
    m_redirector.Close();
    m_redirector.Close();
    ASSERT_TRUE(Run("out x\n"));
    ASSERT_TRUE(m_redirector.WaitForEnd());
    m_redirector.Close();
    m_redirector.Close();
    EXPECT_TRUE(m_redirector.Errors().empty());
    EXPECT_EQ(m_redirector.Joined(), L"x\r\n" + kEnd);
}

TEST_F(RedirectorTest, OwnerAndReaderClosingTogetherReleaseEverythingOnce) {
    // The child ends at about the moment the owner closes; whichever Close runs first, the
    // run ends with nothing held and no stray error. A handle released twice would close
    // whatever took its number in between: another thread keeps taking numbers and checks
    // that its own handles stay open.
    std::atomic<bool> stop{false};
    std::atomic<int> lost{0};
    std::thread churn([&] {
        HANDLE events[8];
        while (!stop) {
            for (HANDLE& event : events)
                event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            for (HANDLE event : events)
                if (WaitForSingleObject(event, 0) != WAIT_TIMEOUT)
                    ++lost;
            for (HANDLE event : events)
                CloseHandle(event);
        }
    });
    for (int round = 0; round < 16; ++round) {
        ASSERT_TRUE(Run("sleep " + std::to_string(10 * (round % 8)) + "\n"));
        Sleep(40 + 10 * (round % 8));
        m_redirector.Close();
        EXPECT_FALSE(m_redirector.IsRunOpen());
        EXPECT_FALSE(m_redirector.Reading());
    }
    stop = true;
    churn.join();
    EXPECT_EQ(lost, 0);
    EXPECT_TRUE(m_redirector.Errors().empty());
}

TEST_F(RedirectorTest, FloodingChildIsDrainedCompletelyAndCanBeStopped) {
    ASSERT_TRUE(Run("flood 4\n"));
    ASSERT_TRUE(m_redirector.WaitForEnd(60000));
    std::wstring all = m_redirector.Joined();
    EXPECT_EQ(all.size(), 4u * 1024 * 1024 + kEnd.size());

    // A flood that never pauses must not keep Close waiting for the reader.
    // Without the dead-thread error, the reader stopped on being asked rather than being ended.
    ASSERT_TRUE(Run("flood 2000\n"));
    ASSERT_TRUE(PumpUntil([&] { return m_redirector.Chunks().size() > 1000; }, 30000));
    m_redirector.Close();
    EXPECT_TRUE(m_redirector.Errors().empty());
    m_redirector.TerminateChild();
}
