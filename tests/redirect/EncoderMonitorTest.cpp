// The encoder run monitor: percentage, failure texts and the completion message.
#include "redirect/DemoRedirector.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

class EncoderMonitorTest : public testing::Test {
protected:
    void SetUp() override { m_monitor.Arm(m_owner); }
    int PercentAfter(const wchar_t* chunk) {
        m_monitor.WriteStdOut(chunk);
        return m_monitor.Percent();
    }
    int Posted() {
        PumpFor(50);
        return m_owner.Count(CDemoRedirector::kDoneMessage);
    }

    MessageCounter m_owner;
    CDemoRedirector m_monitor;
};

} // namespace

TEST_F(EncoderMonitorTest, FailureTextsClearSuccessAndTheEndPostsOnce) {
    m_monitor.WriteStdOut(L"Cannot open demuxer.");
    m_monitor.WriteStdOut(CRedirector::kEndMarker);
    EXPECT_FALSE(m_monitor.Succeeded());
    EXPECT_EQ(Posted(), 1);

    m_monitor.Arm(m_owner);
    m_monitor.WriteStdOut(L"Sorry, this codec is not supported\r\n");
    EXPECT_FALSE(m_monitor.Succeeded());
    // Nothing sets it back during a run.
    m_monitor.WriteStdOut(L"Pos: 1.0s (50%) all good\r");
    EXPECT_FALSE(m_monitor.Succeeded());
}

TEST_F(EncoderMonitorTest, FailureTextSplitAnywhereAcrossChunksIsRecognised) {
    int runs = 0;
    for (const std::wstring text : {L"Cannot open demuxer.", L"Sorry, no video"}) {
        for (size_t at = 1; at < text.size(); ++at, ++runs) {
            m_monitor.Arm(m_owner);
            m_monitor.WriteStdOut((L"Pos: 1.0s (10%)\r" + text.substr(0, at)).c_str());
            m_monitor.WriteStdOut((text.substr(at) + L"\r\n").c_str());
            EXPECT_FALSE(m_monitor.Succeeded()) << text.substr(0, at);
            m_monitor.WriteStdOut(CRedirector::kEndMarker);
        }
    }
    EXPECT_EQ(Posted(), runs);
    // The next run starts without the end of the previous one.
    m_monitor.Arm(m_owner);
    m_monitor.WriteStdOut(L"Sor");
    m_monitor.WriteStdOut(CRedirector::kEndMarker);
    m_monitor.WriteStdOut(L"ry, ");
    EXPECT_TRUE(m_monitor.Succeeded());
}

TEST_F(EncoderMonitorTest, PercentageIsReadFromTheFirstBracketOnly) {
    EXPECT_EQ(PercentAfter(L"Pos:   2.0s     50f ( 5%)  25.00fps\r"), 5);
    EXPECT_EQ(PercentAfter(L"Pos:  20.0s    500f (42%)  25.00fps\r"), 42);
    EXPECT_EQ(PercentAfter(L"Pos:  50.0s   1200f (100%)  25.00fps\r"), 42);
    EXPECT_EQ(PercentAfter(L"Pos:  50.0s   1200f (abc%)\r"), 42);
    EXPECT_EQ(PercentAfter(L"bracket ( without percent sign"), 42);
    EXPECT_EQ(PercentAfter(L"(ab%)"), 0);
    EXPECT_EQ(PercentAfter(L"( 7%) then (58%)"), 7);
    // A first bracket of other text hides the status line behind it.
    EXPECT_EQ(PercentAfter(L"[lavf] (stream 0) ok\rPos: 1.0s (64%)\r"), 7);
    EXPECT_EQ(Posted(), 0);
}

TEST_F(EncoderMonitorTest, WithoutOwnerOutputIsIgnored) {
    m_monitor.Arm(nullptr);
    m_monitor.WriteStdOut(L"Cannot open demuxer. (33%)");
    m_monitor.WriteStdOut(CRedirector::kEndMarker);
    EXPECT_TRUE(m_monitor.Succeeded());
    EXPECT_EQ(m_monitor.Percent(), 0);
    EXPECT_EQ(Posted(), 0);
}

TEST_F(EncoderMonitorTest, RedirectorErrorsReachTheParserButChangeNothing) {
    m_monitor.WriteStdError(CRedirector::kReadError);
    EXPECT_TRUE(m_monitor.Succeeded());
    EXPECT_EQ(Posted(), 0);
}

TEST_F(EncoderMonitorTest, WholeRunOfTheScriptedEncoder) {
    ScratchDir dir;
    std::wstring movie = dir.Write(L"clip.avi", "[encode]\nprogress 0 100 25 150\noutput 100\n");
    std::wstring line = L"\"" + EnginePath(L"mencoder") + L"\" \"" + movie + L"\" -o \"" +
                        dir.Path() + L"\\QV_clip.avi.avi\"";
    ASSERT_TRUE(m_monitor.Open(line.c_str()));
    ASSERT_TRUE(PumpUntil([&] { return m_owner.Count(CDemoRedirector::kDoneMessage) > 0; }, 10000));
    // 100 does not fit the two characters read, so the last value read stays.
    EXPECT_EQ(m_monitor.Percent(), 75);
    EXPECT_TRUE(m_monitor.Succeeded());
    EXPECT_NE(GetFileAttributesW((dir.Path() + L"\\QV_clip.avi.avi").c_str()),
              INVALID_FILE_ATTRIBUTES);
    PumpUntil([&] { return !m_monitor.Reading(); }, 5000);
    EXPECT_EQ(Posted(), 1);
}

// What the encoder said of its end, read alike however the pipe cuts its output: the last
// failure line, the keys of the causes the program words itself, and the output as a console
// shows it (each status line written over by the next; the last before a line stays).
TEST_F(EncoderMonitorTest, TheReportIsTheSameHoweverTheOutputIsCut) {
    const std::wstring output = L"MEncoder\r\nPos: 1 ( 1%)\rPos: 2 ( 2%)\rSorry, first\r\n"
                                L"ID_KEPT_AS=QV_a (2).avi\r\nID_FAILURE=CUT 5.1\r\n"
                                L"  Sorry, the source breaks off.  \r\nPos: 3 ( 3%)\r";
    for (size_t at = 0; at <= output.size(); ++at) {
        m_monitor.Arm(m_owner);
        m_monitor.WriteStdOut(output.substr(0, at).c_str());
        m_monitor.WriteStdOut(output.substr(at).c_str());
        m_monitor.WriteStdOut(CRedirector::kEndMarker);
        const EncoderReport report = m_monitor.Report();
        EXPECT_EQ(report.failureLine, L"Sorry, the source breaks off.") << at;
        EXPECT_EQ(report.failureKey, L"CUT 5.1") << at;
        EXPECT_EQ(report.keptAs, L"QV_a (2).avi") << at;
        EXPECT_EQ(report.output, L"MEncoder\nPos: 2 ( 2%)\nSorry, first\nID_KEPT_AS=QV_a (2).avi\n"
                                 L"ID_FAILURE=CUT 5.1\n  Sorry, the source breaks off.  \n"
                                 L"Pos: 3 ( 3%)\n")
            << at;
    }
    // A new run starts with an empty report.
    m_monitor.Arm(m_owner);
    EXPECT_TRUE(m_monitor.Report().output.empty());
}
