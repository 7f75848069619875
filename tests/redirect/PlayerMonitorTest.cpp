// The preview player monitor: video output opened or failed, position and end.
#include "redirect/RedirMPlayer.h"
#include "redirect/NumberText.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr UINT kOpened = CRedirMPlayer::kVideoOpenedMessage;
constexpr UINT kEnded = CRedirMPlayer::kEndedMessage;
const wchar_t* const kVoFailed = L"Error opening/initializing the selected video_out (-vo) device.";

class PlayerMonitorTest : public testing::Test {
protected:
    void SetUp() override { m_monitor.Arm(m_owner); }
    int Posted(UINT message) {
        PumpFor(30);
        return m_owner.Count(message);
    }

    MessageCounter m_owner;
    CRedirMPlayer m_monitor;
};

} // namespace

TEST_F(PlayerMonitorTest, VideoOutputLinePostsOncePerRunWithTheSizeShown) {
    // The pipe may cut the line anywhere: the output counts as open once its size has come.
    m_monitor.WriteStdOut(L"VO: [directx] 720x480 => 72");
    EXPECT_FALSE(m_monitor.VideoOutOpened());
    m_monitor.WriteStdOut(L"0x540 Planar YV12\r\n");
    m_monitor.WriteStdOut(L"VO: [direct3d] 640x352 => 640x352 Planar YV12\r\n");
    EXPECT_TRUE(m_monitor.VideoOutOpened());
    EXPECT_TRUE(m_monitor.VideoOutOk());
    EXPECT_EQ(Posted(kOpened), 1);
    EXPECT_EQ(m_monitor.PictureWidth(), 720);
    EXPECT_EQ(m_monitor.PictureHeight(), 540);

    m_monitor.Arm(m_owner);
    m_monitor.WriteStdOut(L"VO: [gl] 640x352\r\n");
    EXPECT_EQ(Posted(kOpened), 2);
    EXPECT_EQ(m_monitor.PictureWidth(), 640);
    EXPECT_EQ(m_monitor.PictureHeight(), 352);
}

TEST_F(PlayerMonitorTest, FailureTextsClearOkEvenAroundAnOpenedOutput) {
    m_monitor.WriteStdOut(L"Could not find matching colorspace - retrying with -vf scale...\r\n");
    m_monitor.WriteStdOut(L"VO: [gl] 640x352\r\n");
    EXPECT_FALSE(m_monitor.VideoOutOk());
    EXPECT_EQ(Posted(kOpened), 1);

    m_monitor.Arm(m_owner);
    m_monitor.WriteStdOut(L"VO: [gl2] 640x352\r\n");
    m_monitor.WriteStdOut(kVoFailed);
    EXPECT_FALSE(m_monitor.VideoOutOk());
}

TEST_F(PlayerMonitorTest, PositionComesFromTheFirstVideoClockOfTheChunk) {
    m_monitor.WriteStdOut(L"junk ");
    m_monitor.WriteStdOut(L"V:  12.3 A-V: 0.000");
    EXPECT_EQ(m_monitor.Position(), 12);
    EXPECT_TRUE(m_monitor.Output().empty());

    m_monitor.WriteStdOut(L"A:  14.0 V:  13.9 A-V:  0.100 ct:  0.000   5/  5  ??% ??% ??,?% 0 0\r");
    EXPECT_EQ(m_monitor.Position(), 13);

    // Position 0 is not stored, but the collected text is emptied all the same.
    m_monitor.WriteStdOut(L"pending ");
    m_monitor.WriteStdOut(L"A:   0.1 V:   0.0 A-V:  0.1\r");
    EXPECT_EQ(m_monitor.Position(), 13);
    EXPECT_TRUE(m_monitor.Output().empty());

    m_monitor.WriteStdOut(L"at the end V:");
    EXPECT_EQ(m_monitor.Position(), 13);
    EXPECT_TRUE(m_monitor.Output().empty());

    m_monitor.WriteStdOut(L"V:123456.7");
    EXPECT_EQ(m_monitor.Position(), 12345);
}

TEST_F(PlayerMonitorTest, SplitVideoOutputLineIsFoundUnlessAStatusLineComesBetween) {
    m_monitor.WriteStdOut(L"VO");
    m_monitor.WriteStdOut(L": [direct3d] 320x240\r\n");
    EXPECT_TRUE(m_monitor.VideoOutOpened());

    m_monitor.Arm(m_owner);
    m_monitor.WriteStdOut(L"VO");
    m_monitor.WriteStdOut(L"A:   1.0 V:   1.0\r");
    m_monitor.WriteStdOut(L": [direct3d] 320x240\r\n");
    EXPECT_FALSE(m_monitor.VideoOutOpened());
    EXPECT_EQ(Posted(kOpened), 1);
}

TEST_F(PlayerMonitorTest, EndMarkerPostsTheEndAndSetsExited) {
    m_monitor.WriteStdOut(L"Exiting... (End of file)\r\n");
    EXPECT_FALSE(m_monitor.Exited());
    m_monitor.WriteStdOut(CRedirector::kEndMarker);
    EXPECT_TRUE(m_monitor.Exited());
    m_monitor.WriteStdOut(CRedirector::kEndMarker);
    EXPECT_EQ(Posted(kEnded), 1);
    // The message names its run, and the next run has another number.
    const WPARAM run = m_owner.LastWParam(kEnded);
    EXPECT_EQ(run, m_monitor.OwnerRun());
    m_monitor.Arm(m_owner);
    m_monitor.WriteStdOut(L"VO: [gl] 1x1\r\n");
    EXPECT_EQ(Posted(kOpened), 1);
    EXPECT_EQ(m_owner.LastWParam(kOpened), m_monitor.OwnerRun());
    EXPECT_NE(m_owner.LastWParam(kOpened), run);
}

TEST_F(PlayerMonitorTest, WithoutOwnerOnlyTextIsCollected) {
    m_monitor.Arm(nullptr);
    m_monitor.WriteStdOut(L"VO: [gl] 1x1\r\n");
    m_monitor.WriteStdOut(kVoFailed);
    m_monitor.WriteStdOut(CRedirector::kEndMarker);
    EXPECT_FALSE(m_monitor.VideoOutOpened());
    EXPECT_TRUE(m_monitor.VideoOutOk());
    EXPECT_FALSE(m_monitor.Exited());
    EXPECT_EQ(Posted(kOpened) + Posted(kEnded), 0);
    EXPECT_NE(m_monitor.Output().find(L"VO: [gl]"), std::wstring::npos);
}

namespace {

// The monitor as first written: every search over the whole collected text.
struct ReferenceMonitor {
    std::wstring output;
    bool opened = false, ok = true, exited = false;
    int position = 0, openedPosts = 0, endedPosts = 0;

    void Write(const std::wstring& chunk) {
        output += chunk;
        std::wstring s = chunk + L"\n";
        if (output.find(kVoFailed) != std::wstring::npos ||
            output.find(L"Could not find matching colorspace") != std::wstring::npos)
            ok = false;
        if (output.find(L"VO: [") != std::wstring::npos && !opened) {
            opened = true;
            ++openedPosts;
        }
        if (size_t v = s.find(L"V:"); v != std::wstring::npos) {
            int p = ReadInt(std::wstring_view(s).substr(v + 2, 5));
            if (p > 0)
                position = p;
            output.clear();
        }
        if (output.find(L"<EXIT>") != std::wstring::npos && !exited) {
            ++endedPosts;
            exited = true;
        }
    }
};

} // namespace

TEST_F(PlayerMonitorTest, IncrementalSearchFindsWhatAWholeTextSearchFinds) {
    const std::wstring pieces[] = {L"VO: [gl] 640x480\r\n",
                                   L"A:   3.2 V:   3.1\r",
                                   L"Could not find matching colorspace\r\n",
                                   kVoFailed,
                                   L"noise ",
                                   L"\r\n",
                                   L"<EXIT>",
                                   L"V",
                                   L":",
                                   L"  42.0"};
    std::mt19937 random(20261209);
    for (int round = 0; round < 200; ++round) {
        std::wstring text;
        for (int n = std::uniform_int_distribution<int>(1, 12)(random); n > 0; --n)
            text += pieces[std::uniform_int_distribution<size_t>(0, std::size(pieces) - 1)(random)];

        MessageCounter owner;
        CRedirMPlayer monitor;
        monitor.Arm(owner);
        ReferenceMonitor reference;
        for (size_t at = 0; at < text.size();) {
            size_t length = std::uniform_int_distribution<size_t>(1, 40)(random);
            std::wstring chunk = text.substr(at, length);
            monitor.WriteStdOut(chunk.c_str());
            reference.Write(chunk);
            at += length;
        }
        PumpFor(1);
        ASSERT_EQ(monitor.VideoOutOpened(), reference.opened) << round;
        ASSERT_EQ(monitor.VideoOutOk(), reference.ok) << round;
        ASSERT_EQ(monitor.Exited(), reference.exited) << round;
        ASSERT_EQ(monitor.Position(), reference.position) << round;
        ASSERT_EQ(monitor.Output(), reference.output) << round;
        ASSERT_EQ(owner.Count(kOpened), reference.openedPosts) << round;
        ASSERT_EQ(owner.Count(kEnded), reference.endedPosts) << round;
    }
}
