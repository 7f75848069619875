// The preview in the real main dialog, with the scripted player.
#include "MainDialogFixture.h"
#include "preview/PreviewPlan.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

namespace {

constexpr const char* kIdentify = "[identify]\n"
                                  "out ID_VIDEO_WIDTH=640\n"
                                  "out ID_VIDEO_HEIGHT=320\n"
                                  "out ID_VIDEO_FPS=25.000\n"
                                  "out ID_LENGTH=30.00\n";
constexpr const char* kVideoOutError =
    "out Error opening/initializing the selected video_out (-vo) device.\nexit 1\n";
constexpr const char* kColorspaceError = "out Could not find matching colorspace\nexit 1\n";

class PreviewTest : public MainDialogTest {
protected:
    void SetUp() override {
        MainDialogTest::SetUp();
        m_log = m_dir.Path() + L"\\engines.log";
        SetEnvironmentVariableW(L"QV_DOUBLE_LOG", m_log.c_str());
    }
    void TearDown() override {
        m_dialog->StopPreview();
        SetEnvironmentVariableW(L"QV_DOUBLE_LOG", nullptr);
        MainDialogTest::TearDown();
    }
    // Queues a scripted movie and selects it alone; kIdentify unless it has its own.
    std::wstring Queue(const std::wstring& name, const std::string& play) {
        const bool own = play.rfind("[identify]", 0) == 0;
        std::wstring path = m_dir.Write(name, (own ? "" : kIdentify) + play);
        const int index = m_dialog->m_listFiles.GetItemCount();
        m_dialog->AppendFile(index, path);
        m_dialog->m_listFiles.SetItemState(-1, 0, LVIS_SELECTED);
        m_dialog->m_listFiles.SetItemState(index, LVIS_SELECTED, LVIS_SELECTED);
        return path;
    }
    bool Playing() const { return m_dialog->m_preview.Previewing(); }
    void Toggle() { ASSERT_TRUE(TogglePreviewAndWait(*m_dialog)); }
    // Waits until the picture is placed in the pane.
    bool PaneShown(DWORD timeoutMs = 12000) {
        return PumpDialogUntil([this] { return IsWindowVisible(m_dialog->m_stcPane) != FALSE; },
                               timeoutMs);
    }
    RECT PaneRect() const {
        RECT r = m_dialog->m_stcPane.GetWindowRect();
        MapWindowPoints(nullptr, m_dialog->m_stcFrame, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    // The players' command lines, in order; identify: the identifications' instead.
    std::vector<std::string> Players(bool identify = false) const {
        std::vector<std::string> lines;
        for (const std::string& line : LogLines())
            if (line.rfind("mplayer\t", 0) == 0 &&
                (line.find("-identify") != std::string::npos) == identify)
                lines.push_back(line);
        return lines;
    }
    // The video outputs the player was started with, in order.
    std::vector<std::string> VideoOutputs() const {
        std::vector<std::string> outputs;
        for (const std::string& line : Players()) {
            const size_t at = line.find(" -vo ") + 5;
            outputs.push_back(line.substr(at, line.find(' ', at) - at));
        }
        return outputs;
    }
    std::vector<std::string> LogLines() const {
        std::ifstream in(m_log.c_str(), std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line.substr(0, line.find_last_not_of('\r') + 1));
        return lines;
    }
    DWORD Player() const { return m_dialog->m_preview.Player().ProcessId(); }
    bool Ends(DWORD process, DWORD timeoutMs = 5000) {
        return PumpDialogUntil([&] { return !ProcessIsRunning(process); }, timeoutMs);
    }
    void ExpectStopped() {
        EXPECT_FALSE(Playing());
        EXPECT_EQ(Text(m_dialog->m_step1.m_btnPreview), L"Preview");
        RECT pane = m_dialog->m_stcPane.GetWindowRect();
        EXPECT_EQ(pane.right - pane.left, 0);
        EXPECT_EQ(pane.bottom - pane.top, 0);
    }

    ScratchDir m_dir;
    std::wstring m_log;
};

TEST_F(PreviewTest, PlaysInThePaneAtTheAspectRatioUntilStopped) {
    Queue(L"a.avi", "");
    Toggle();
    ASSERT_TRUE(Playing());
    EXPECT_EQ(Text(m_dialog->m_step1.m_btnPreview), L"Stop Preview");
    EXPECT_FALSE(IsWindowVisible(Item(IDC_WAIT_LABEL)));
    EXPECT_TRUE(IsWindowEnabled(*m_dialog));
    ASSERT_TRUE(PaneShown());
    EXPECT_EQ(VideoOutputs(), std::vector<std::string>{"direct3d"});

    // 640 x 320 in the frame: as wide as the frame, centred in its height.
    const RECT frame = m_dialog->m_stcFrame.GetWindowRect();
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    const RECT pane = PaneRect();
    EXPECT_EQ(pane.right - pane.left, width);
    EXPECT_EQ(pane.bottom - pane.top, width / 2);
    EXPECT_EQ(pane.top, (height - width / 2) / 2);
    // The length comes once the picture is on.
    EXPECT_TRUE(PumpDialogUntil([&] { return m_dialog->Length() == 30; }, 30000));
    EXPECT_EQ(m_dialog->m_slider.GetRangeMax(), 30);

    // The clock follows the player, and the seek button moves it.
    ASSERT_TRUE(
        PumpDialogUntil([&] { return m_dialog->m_preview.Player().Position() >= 1; }, 30000));
    Tick();
    EXPECT_EQ(Text(Item(IDC_TIME)).substr(8), L"/00:00:30");
    EXPECT_GE(m_dialog->m_slider.GetPos(), 1);
    m_dialog->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_SEEK_FORWARD, BN_CLICKED), 0);
    EXPECT_TRUE(
        PumpDialogUntil([&] { return m_dialog->m_preview.Player().Position() >= 10; }, 30000));
    // On Windows the wheel over the picture goes to the player's window, which hands it on:
    // a notch away from the user seeks back.
    const int before = m_dialog->m_preview.Player().Position();
    PostMessageW(m_dialog->FindPlayerWindow(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_TRUE(PumpDialogUntil(
        [&] { return m_dialog->m_preview.Player().Position() <= before - 5; }, 30000));
    // On a monitor of another DPI the frame grows, and the picture fills it again.
    MoveToMonitorOf(*m_dialog, 144);
    const RECT larger = m_dialog->m_stcFrame.GetWindowRect();
    ASSERT_GT(larger.right - larger.left, width * 4 / 3);
    EXPECT_TRUE(PumpDialogUntil(
        [&] { return PaneRect().right - PaneRect().left == larger.right - larger.left; }, 30000));
    EXPECT_EQ(PaneRect().bottom - PaneRect().top, (larger.right - larger.left) / 2);

    const DWORD player = Player();
    m_dialog->TogglePreview();
    ExpectStopped();
    EXPECT_TRUE(Ends(player));
    // The end of the stopped player runs the stop a second time, harmlessly.
    ASSERT_TRUE(PumpDialogUntil([&] { return !m_dialog->m_preview.Player().IsRunOpen(); }, 10000));
    PumpDialogPending();
    ExpectStopped();
}

TEST_F(PreviewTest, FailedVideoOutputsAreSkippedInOrder) {
    const std::wstring path =
        Queue(L"a b.avi", std::string("[play direct3d]\n") + kVideoOutError + "[play gl]\n" +
                              kColorspaceError + "[play]\nplay\n");
    Toggle();
    ASSERT_TRUE(Playing());
    EXPECT_EQ(VideoOutputs(), (std::vector<std::string>{"direct3d", "gl", "gl2"}));
    // The failed players' ends arrive after the last one started: it keeps playing.
    ASSERT_TRUE(PaneShown());
    PumpDialogPending();
    EXPECT_TRUE(Playing());
    EXPECT_TRUE(ProcessIsRunning(Player()));

    // The path with its blank reaches both commands whole, inside quotes.
    std::string quoted(1, '"');
    for (wchar_t c : path)
        quoted += static_cast<char>(c); // an ASCII path
    quoted += '"';
    // The movie is identified once the last player's picture is on.
    ASSERT_TRUE(PumpDialogUntil([&] { return !Players(true).empty(); }, 30000));
    EXPECT_NE(LogLines()[3].find("-identify " + quoted), std::string::npos) << LogLines()[3];
    const std::string play = Players().back();
    EXPECT_TRUE(play.size() > quoted.size() &&
                play.compare(play.size() - quoted.size(), quoted.size(), quoted) == 0)
        << play;
}

TEST_F(PreviewTest, PlayerTakesTheTrackIdentificationFindsAfterThePicture) {
    // The movie is identified once its picture is on; the default sound track found then
    // starts the player again with that track.
    Queue(L"a.avi", "[identify]\nout ID_VIDEO_WIDTH=640\nout ID_VIDEO_HEIGHT=320\n"
                    "out ID_LENGTH=30.00\nout ID_AUDIO_ID=0\nout ID_AUDIO_ID=1\n"
                    "out ID_AID_1_DEFAULT=1\n[play]\nplay 60\n");
    Toggle();
    ASSERT_TRUE(Playing());
    ASSERT_TRUE(PumpDialogUntil(
        [&] { return VideoOutputs().size() == 2 && !m_dialog->m_preview.Busy(); }, 30000));
    EXPECT_TRUE(Playing());
    const std::vector<std::string> lines = LogLines();
    EXPECT_EQ(lines[0].find("-aid"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("-identify"), std::string::npos) << lines[1];
    EXPECT_NE(Players().back().find("-aid 1 "), std::string::npos);
    EXPECT_TRUE(PaneShown());
}

TEST_F(PreviewTest, FailureAfterTheWaitKeepsTheChoice) {
    // Twice the program's wait for a video output, and well inside its wait for the picture.
    using namespace preview;
    constexpr DWORD kLate = 2 * kVideoOutWaitMs;
    static_assert(kLate < kVideoOutWaitMs + kPictureWaitMs / 2);
    Queue(L"a.avi", "[play direct3d]\nsleep " + std::to_string(kLate) + "\n" +
                        "out Error opening/initializing the selected video_out (-vo) device.\n"
                        "play\n");
    Toggle();
    EXPECT_TRUE(Playing());
    EXPECT_EQ(VideoOutputs(), std::vector<std::string>{"direct3d"});
    EXPECT_TRUE(PaneShown());
}

TEST_F(PreviewTest, StopsWhenThePlayerEndsAndBeforeAConversion) {
    Queue(L"short.avi", "[play]\nplay 2\n");
    Toggle();
    ASSERT_TRUE(Playing());
    EXPECT_TRUE(PumpDialogUntil([&] { return !Playing(); }, 6000));
    ExpectStopped();
    EXPECT_EQ(m_dialog->Length(), 30);

    // The next movie does not show the last one's length while it is identified.
    Queue(L"unknown.avi", "[identify]\nhang\n[play]\nplay 60\n");
    Toggle();
    ASSERT_TRUE(Playing());
    EXPECT_EQ(m_dialog->Length(), 0);
    Toggle();
    m_dialog->m_listFiles.SetCheck(1, false);

    Queue(L"long.avi", "[encode]\noutput\n");
    Toggle();
    ASSERT_TRUE(Playing());
    const DWORD player = Player();
    m_dialog->PostMessage(WM_COMMAND, MAKEWPARAM(IDC_CONVERT, BN_CLICKED), 0);
    ASSERT_TRUE(PumpDialogUntil([&] { return m_dialog->m_conversion.Finished(); }, 20000));
    ExpectStopped();
    EXPECT_TRUE(Ends(player));
}

TEST_F(PreviewTest, OnlyTheArmedPlayersEndStopsIt) {
    Queue(L"a.avi", "");
    Toggle();
    ASSERT_TRUE(Playing());
    const WPARAM run = m_dialog->m_preview.Player().OwnerRun();
    m_dialog->PostMessage(CRedirMPlayer::kEndedMessage, run - 1, 0);
    PumpDialogPending();
    EXPECT_TRUE(Playing());
    // Its own end counts, even when handled before the monitor has set its flag.
    ASSERT_FALSE(m_dialog->m_preview.Player().Exited());
    m_dialog->PostMessage(CRedirMPlayer::kEndedMessage, run, 0);
    PumpDialogPending();
    ExpectStopped();
}

TEST_F(PreviewTest, VideoOutputOfAPlayerGivenUpIsIgnored) {
    // The first output says it opened and fails in the same breath; no other plays.
    Queue(L"a.avi", std::string("[play direct3d]\nout VO: [direct3d] 640x320\\r\\n") +
                        kVideoOutError + "[play]\n" + kVideoOutError);
    Toggle();
    EXPECT_FALSE(Playing());
    EXPECT_EQ(VideoOutputs(), (std::vector<std::string>{"direct3d", "gl", "gl2"}));
    PumpDialogPending();
    EXPECT_TRUE(m_seam.boxes.empty());
    EXPECT_TRUE(IsWindowEnabled(*m_dialog));
    ExpectStopped();
}

TEST_F(PreviewTest, DoubleClickWhilePlayingOnlyStops) {
    Queue(L"a.avi", "");
    Toggle();
    ASSERT_TRUE(Playing());
    const DWORD player = Player();
    Queue(L"b.avi", "");
    NMHDR click{m_dialog->m_listFiles, IDC_FILE_LIST, NM_DBLCLK};
    m_dialog->SendMessage(WM_NOTIFY, IDC_FILE_LIST, reinterpret_cast<LPARAM>(&click));
    ExpectStopped();
    EXPECT_TRUE(Ends(player));
    EXPECT_EQ(VideoOutputs().size(), 1u);
}

TEST_F(PreviewTest, NothingSelectedStartsNothing) {
    Toggle();
    EXPECT_FALSE(Playing());
    EXPECT_TRUE(LogLines().empty());
    EXPECT_TRUE(IsWindowEnabled(*m_dialog));
}

TEST_F(PreviewTest, PlayerThatNeverOpensIsEndedWithAMessage) {
    Queue(L"a.avi", "[play]\nhang\n");
    Toggle();
    EXPECT_FALSE(Playing());
    EXPECT_FALSE(ProcessIsRunning(Player()));
    ASSERT_EQ(m_seam.boxes.size(), 1u);
    EXPECT_EQ(m_seam.boxes[0].text,
              L"DirectX or Video Driver Unsupported.\nAfter reinstalling the program, please "
              L"try again!");
}

TEST_F(PreviewTest, PlayerWindowThatNeverComesIsEndedWithAMessage) {
    Queue(L"a.avi", "[play]\nplay 30 nowindow\n");
    Toggle();
    ASSERT_TRUE(Playing());
    // The box's own loop dispatches the ended player's message straight to the window.
    m_seam.onMessageBox = [&] {
        PumpUntil(
            [&] {
                return !ProcessIsRunning(Player()) && !m_dialog->m_preview.Player().IsRunOpen();
            },
            10000);
        PumpPending();
    };
    ASSERT_TRUE(PumpDialogUntil([&] { return !m_seam.boxes.empty(); }, 30000));
    EXPECT_EQ(m_seam.boxes[0].text, L"After reinstalling the program, please try again!");
    EXPECT_FALSE(ProcessIsRunning(Player()));
    EXPECT_FALSE(IsWindowVisible(m_dialog->m_stcPane));
    ExpectStopped();
}

} // namespace

namespace {

// Every step of a slow start and of the stop, with what may arrive during it: an earlier run's
// messages, a spurious wake-up, the step timer, and a second click. None of them may start a
// second player, end the start early or leave the window locked.
TEST_F(PreviewTest, WhatArrivesDuringEachStepWaitsForIt) {
    Queue(L"slow.avi", "[identify]\nsleep 600\nout ID_VIDEO_WIDTH=640\nout ID_VIDEO_HEIGHT=320\n"
                       "out ID_LENGTH=30.00\n[play]\nsleep 3200\nplay 60 window-after 600\n");
    std::set<preview::PreviewStep> seen;
    const auto intrude = [&] {
        const preview::CPreview& preview = m_dialog->m_preview;
        if (!seen.insert(preview.CurrentStep()).second)
            return;
        const WPARAM run = preview.Player().OwnerRun();
        m_dialog->PostMessage(CRedirMPlayer::kEndedMessage, run - 1);
        m_dialog->PostMessage(CRedirMPlayer::kVideoOpenedMessage, run - 1);
        m_dialog->PostMessage(CRedirMediaInfo::kEndedMessage);
        m_dialog->SendMessage(WM_TIMER, preview::CPreview::kStepTimer);
        if (preview.Busy())
            m_dialog->TogglePreview(); // while playing it would stop
    };
    // Each click is met at once, before any message is pumped: a loaded machine may finish a
    // step within the first batch of messages.
    m_dialog->TogglePreview();
    intrude();
    ASSERT_TRUE(PumpDialogUntil(
        [&] {
            intrude();
            return IsWindowVisible(m_dialog->m_stcPane) != FALSE;
        },
        60000));
    using preview::PreviewStep;
    seen.erase(PreviewStep::LookingBeside); // a quick look is over before the first step
    EXPECT_EQ(seen, (std::set<PreviewStep>{PreviewStep::OpeningVideo, PreviewStep::AwaitingPicture,
                                           PreviewStep::Playing}));
    EXPECT_TRUE(Playing());
    EXPECT_EQ(VideoOutputs(), std::vector<std::string>{"direct3d"});
    EXPECT_TRUE(IsWindowEnabled(*m_dialog));
    EXPECT_FALSE(IsWindowVisible(Item(IDC_WAIT_LABEL)));
    EXPECT_TRUE(m_seam.boxes.empty());

    const DWORD player = Player();
    m_dialog->TogglePreview();
    intrude();
    ExpectStopped();
    ASSERT_TRUE(PumpDialogUntil(
        [&] {
            intrude();
            return !m_dialog->m_preview.Busy();
        },
        10000));
    EXPECT_TRUE(seen.count(PreviewStep::Stopping));
    EXPECT_TRUE(Ends(player));
    EXPECT_TRUE(IsWindowEnabled(*m_dialog));
    ExpectStopped();
}

} // namespace
