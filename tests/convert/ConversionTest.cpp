// Whole conversion runs in the real main dialog, with the scripted engines.
#include "MainDialogFixture.h"
#include "framework/Handle.h"
#include "framework/Paths.h"
#include "framework/String.h"

#include <commctrl.h>

#include <atomic>
#include <set>
#include <sstream>
#include <thread>

namespace {

std::string Movie(const std::string& encode) {
    return kIdentifyGood + ("[encode]\n" + encode);
}

const std::string kQuick = Movie("progress 0 100 25 20\noutput\n");
const std::string kFails =
    Movie("progress 0 50 25 20\nout Sorry, this file cannot be converted.\n");
// About three seconds of encoding: long enough to act while it runs.
const std::string kSlow = Movie("progress 0 100 5 150\noutput\n");
// No length: not convertible.
const std::string kNoLength = "[identify]\nout ID_VIDEO_WIDTH=640\nout ID_VIDEO_FPS=25.000\n";

std::wstring Converting(const std::wstring& name) {
    return L"\n" + name + L" file converting...";
}

class ConversionTest : public MainDialogTest {
protected:
    std::wstring Add(const std::wstring& name, const std::string& scenario) {
        std::wstring path = m_dir.Write(name, scenario);
        m_dialog->AppendFile(m_dialog->m_listFiles.GetItemCount(), path);
        return path;
    }
    void Click(int id) { m_dialog->PostMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    std::wstring Log() const { return EditLines(m_dialog->m_step3.m_editLog); }
    bool Checked(int item) const { return m_dialog->m_listFiles.GetCheck(item); }
    bool RunToEnd(DWORD timeoutMs = 30000) {
        return PumpDialogUntil([this] { return m_dialog->m_conversion.Finished(); }, timeoutMs);
    }
    // The encoder is working on the given item.
    bool EncodingItem(int item, DWORD timeoutMs = 15000) {
        return PumpDialogUntil(
            [&] {
                return m_dialog->m_conversion.CurrentItem() == item &&
                       m_dialog->m_conversion.Encoder().Percent() > 0 &&
                       ProcessIsRunning(m_dialog->m_conversion.Encoder().ProcessId());
            },
            timeoutMs);
    }
    void TickShutdownBox() {
        SendMessageW(m_dialog->m_step3.GetDlgItem(IDC_SHUTDOWN), BM_SETCHECK, BST_CHECKED, 0);
    }

    ScratchDir m_dir;
};

TEST_F(ConversionTest, LogsEachFileAndUnticksTheConvertedOnes) {
    Add(L"a.avi", kQuick);
    Add(L"b.avi", kNoLength);
    Add(L"c.avi", kFails);
    // Each run's log is kept as a file too, the last 30 of them.
    const std::wstring logs = m_dir.Path() + L"\\Logs";
    CreateDirectoryW(logs.c_str(), nullptr);
    for (int day = 1; day <= 31; ++day)
        m_dir.Write(FormatString(L"Logs\\Run 2025-01-%02d 10-00-00.log", day), "old");
    m_dialog->m_conversion.SetLogFolder(logs);

    // While a file is identified the dialog is disabled under the "Please Wait..." label; the
    // dialog's thread is busy then, so another one looks.
    std::atomic<bool> stop{false}, sawWait{false};
    HWND label = Item(IDC_WAIT_LABEL), dialog = *m_dialog;
    std::thread watcher([&] {
        for (; !stop; Sleep(5))
            if (IsWindowVisible(label) && !IsWindowEnabled(dialog))
                sawWait = true;
    });

    Click(IDC_CONVERT);
    ASSERT_TRUE(RunToEnd());
    stop = true;
    watcher.join();

    EXPECT_EQ(Log(), Converting(L"a.avi") + L"OK.\n" + Converting(L"b.avi") +
                         L"Unsupported file.\n    Its length is not known.\n" +
                         Converting(L"c.avi") +
                         L"Failed.\n    Sorry, this file cannot be converted.\n" +
                         L"\n2 file(s) converted.\n");
    EXPECT_FALSE(Checked(0));
    EXPECT_TRUE(Checked(1));
    EXPECT_FALSE(Checked(2));
    EXPECT_TRUE(sawWait);
    EXPECT_FALSE(IsWindowVisible(label));
    EXPECT_TRUE(IsWindowEnabled(dialog));

    ASSERT_EQ(m_seam.boxes.size(), 1u);
    EXPECT_EQ(m_seam.boxes[0].text, L"\n2 file(s) converted.\n");
    EXPECT_EQ(m_seam.boxes[0].type & MB_TYPEMASK, static_cast<UINT>(MB_OK));
    EXPECT_EQ(Text(Item(IDC_CONVERT)), L"Exit");
    EXPECT_EQ(m_dialog->CurrentPage(), 2);
    EXPECT_TRUE(IsWindowVisible(m_dialog->m_step3));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_FILE_LIST)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_LANGUAGE)));
    EXPECT_TRUE(m_seam.shutdowns.empty());
    // The encoder wrote its output beside the source.
    EXPECT_NE(GetFileAttributesW((m_dir.Path() + L"\\QV_a.avi.avi").c_str()),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(m_dialog->m_conversion.OutputFolder(), m_dir.Path());

    // The file: UTF-8 with a byte-order mark and CR LF, the same lines, and after the failed
    // file what its encoder said.
    ASSERT_TRUE(m_dialog->m_conversion.WaitForFileWork(30000));
    EXPECT_TRUE(ReadFileBytes(logs + L"\\Run 2025-01-01 10-00-00.log").empty());
    EXPECT_TRUE(ReadFileBytes(logs + L"\\Run 2025-01-02 10-00-00.log").empty());
    EXPECT_EQ(ReadFileBytes(logs + L"\\Run 2025-01-03 10-00-00.log"), "old");
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW((logs + L"\\Run 20*.log").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    std::wstring newest;
    int files = 0;
    do {
        ++files;
        newest = std::max(newest, std::wstring(found.cFileName));
    } while (FindNextFileW(find, &found));
    FindClose(find);
    EXPECT_EQ(files, 30);
    const std::string kept = ReadFileBytes(logs + L"\\" + newest);
    const std::string lines =
        "\r\na.avi file converting...OK.\r\n\r\nb.avi file converting...Unsupported "
        "file.\r\n    Its length is not known.\r\n\r\nc.avi file converting...Failed.\r\n    "
        "Sorry, this file cannot be converted.\r\n";
    EXPECT_EQ(kept.rfind("\xEF\xBB\xBF" + lines, 0), 0u) << kept;
    // The encoder's last status line, as a console shows it, and its failure.
    EXPECT_NE(kept.find("\r\nPos:  20.0s    500f (50%)"), std::string::npos) << kept;
    EXPECT_EQ(kept.find("( 0%)"), std::string::npos) << kept;
    EXPECT_NE(kept.find(" [1000:128]\r\nSorry, this file cannot be converted.\r\n"),
              std::string::npos)
        << kept;
    EXPECT_EQ(kept.substr(kept.size() - 26), "\r\n\r\n2 file(s) converted.\r\n") << kept;

    // "Exit" closes the program.
    Click(IDC_CONVERT);
    EXPECT_TRUE(
        PumpDialogUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 5000));
}

// Only an encoder that ends by itself with 0 and says nothing of a failure made a movie, and
// the line after each failure says why: the encoder's own last failure line, or the program's
// words for a cause it knows. The computer stays awake for the run, and the encoder runs below
// normal priority.
TEST_F(ConversionTest, EveryEndOfAnEncoderIsReportedTruly) {
    const struct {
        const wchar_t* name;
        std::string encode;
        const wchar_t* result;
    } ends[] = {
        {L"good.avi", "progress 0 100 25 20\noutput\n", L"OK.\n"},
        {L"sorry.avi", "progress 0 50 25 20\nout Sorry, this file cannot be converted.\n",
         L"Failed.\n    Sorry, this file cannot be converted.\n"},
        {L"unreadable.avi", "out Cannot open demuxer.\nexit 1\n",
         L"Failed.\n    The encoder cannot read this movie.\n"},
        {L"cut.avi", "progress 0 60 20 20\nout ID_FAILURE=CUT 751.3\nout Sorry, cut short.\n",
         L"Failed.\n    The movie file ends early, at 12:31: it was not copied or downloaded "
         L"whole.\n"},
        {L"full.avi", "progress 0 10 5 20\nout ID_FAILURE=DISK_FULL\nout Sorry, full.\nexit 1\n",
         L"Failed.\n    The disk is full.\n"},
        {L"held.avi", "progress 0 100 25 20\noutput\nout ID_KEPT_AS=QV_held.avi (2).avi\n",
         L"OK.\n    The old movie is open in another program: the new one is QV_held.avi "
         L"(2).avi.\n"},
        {L"silent error.avi", "progress 0 100 25 20\noutput\nexit 3\n",
         L"Failed.\n    The encoder ended unexpectedly (code 0x00000003).\n"},
        {L"crash.avi", "progress 0 50 25 20\ncrash\n",
         L"Failed.\n    The encoder ended unexpectedly (code 0xC0000005).\n"},
        {L"killed.avi", "progress 0 30 5 100\nhang\n",
         L"Failed.\n    The encoder ended unexpectedly (code 0x00000001).\n"},
    };
    std::wstring expected;
    for (const auto& end : ends) {
        Add(end.name, Movie(end.encode));
        expected += Converting(end.name) + end.result;
    }
    Click(IDC_CONVERT);
    // Ended from outside, as Task Manager or an antivirus does.
    ASSERT_TRUE(EncodingItem(8));
    EXPECT_TRUE(m_seam.awake);
    const CHandle encoder(
        OpenProcess(PROCESS_ALL_ACCESS, FALSE, m_dialog->m_conversion.Encoder().ProcessId()));
    EXPECT_EQ(GetPriorityClass(encoder), static_cast<DWORD>(BELOW_NORMAL_PRIORITY_CLASS));
    TerminateProcess(encoder, 1);
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(Log(), expected + L"\n9 file(s) converted.\n");
    EXPECT_FALSE(m_seam.awake);
}

// A movie on a share that dropped: every look at it waits, for tens of seconds on Windows. The
// window answers all the while; the file converts once the looks are answered.
TEST_F(ConversionTest, TheWindowAnswersWhileALookBesideTheMovieWaitsOnTheDisk) {
    HANDLE answered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> waited{0};
    m_seam.fileCheck = [&](const std::wstring&) {
        if (GetCurrentThreadId() == GetWindowThreadProcessId(*m_dialog, nullptr))
            ADD_FAILURE() << "a file looked at on the window's thread";
        ++waited;
        WaitForSingleObject(answered, 60000);
    };
    Add(L"a.avi", kQuick);
    Click(IDC_CONVERT);
    // Another thread asks the window again and again, as Windows does before it calls one "Not
    // Responding", while the look waits; then the share answers.
    int unanswered = 0;
    std::thread asker([&] {
        while (waited == 0)
            Sleep(10);
        for (int i = 0; i < 20; ++i) {
            DWORD_PTR result = 0;
            unanswered +=
                !SendMessageTimeoutW(*m_dialog, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
            Sleep(20);
        }
        SetEvent(answered);
    });
    const bool ended = RunToEnd(120000);
    asker.join();
    CloseHandle(answered);
    m_seam.fileCheck = nullptr;
    ASSERT_TRUE(ended);
    EXPECT_EQ(unanswered, 0);
    EXPECT_EQ(Log(), Converting(L"a.avi") + L"OK.\n\n1 file(s) converted.\n");
}

TEST_F(ConversionTest, WithMp4ChosenTheMovieIsAnMp4BesideItsSource) {
    Add(L"a.mov", kQuick);
    m_dialog->m_step1.m_cmbFormat.SetCurSel(1);
    Click(IDC_CONVERT);
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(Log(), Converting(L"a.mov") + L"OK.\n\n1 file(s) converted.\n");
    EXPECT_EQ(ReadFileBytes(m_dir.Path() + L"\\QV_a.mov.mp4").size(), 8192u);
    // The run's last movie fills the bar: no tick shows it after the run.
    EXPECT_EQ(m_dialog->m_step3.m_progress.GetPos(), 99);
    EXPECT_TRUE(ReadFileBytes(m_dir.Path() + L"\\QV_a.mov.avi").empty());
}

TEST_F(ConversionTest, NothingTickedCountsNoneAndNeverShutsDown) {
    Add(L"a.avi", kQuick);
    m_dialog->m_listFiles.SetCheck(0, false);
    TickShutdownBox();

    Click(IDC_CONVERT);
    ASSERT_TRUE(RunToEnd(5000));
    EXPECT_EQ(Log(), L"\n0 file(s) converted.\n");
    ASSERT_EQ(m_seam.boxes.size(), 1u);
    EXPECT_EQ(m_seam.boxes[0].text, L"\n0 file(s) converted.\n");
    EXPECT_TRUE(m_seam.shutdowns.empty());
    EXPECT_EQ(Text(Item(IDC_CONVERT)), L"Exit");
}

TEST_F(ConversionTest, StopEndsTheEncoderAndPrevRunsTheRestAgain) {
    Add(L"a.avi", kQuick);
    // Its partial file is there from the start; an earlier run's movie stands beside it.
    Add(L"b.avi", Movie("output\nprogress 0 100 5 150\noutput\n"));
    const std::wstring earlier = m_dir.Write(L"QV_b.avi.avi", "earlier");
    Add(L"c.avi", kQuick);
    Click(IDC_CONVERT);
    ASSERT_TRUE(EncodingItem(1));
    EXPECT_EQ(Text(Item(IDC_CONVERT)), L"Stop");
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_FILE_LIST)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_LANGUAGE)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_PREV)));

    // The clock shows the share done while the run lasts.
    Tick();
    const int shown = m_dialog->m_step3.m_progress.GetPos();
    EXPECT_GT(shown, 0);
    wchar_t percent[8];
    swprintf(percent, 8, L"%3d%%", shown);
    EXPECT_EQ(Text(Item(IDC_TIME)), percent);

    // Answering No keeps the run going.
    m_seam.answers = {IDNO};
    Click(IDC_CONVERT);
    PumpDialogPending();
    ASSERT_EQ(m_seam.boxes.size(), 1u);
    EXPECT_EQ(m_seam.boxes[0].text, L"Conversion is not complete. Still do?\n(Unfinished "
                                    L"converting VIDEO FILE may not be played.)");
    EXPECT_TRUE(m_dialog->m_conversion.Converting());

    const DWORD encoder = m_dialog->m_conversion.Encoder().ProcessId();
    m_seam.answers = {IDYES};
    Click(IDC_CONVERT);
    ASSERT_TRUE(PumpDialogUntil([&] { return m_dialog->m_conversion.Finished(); }, 5000));
    EXPECT_TRUE(PumpDialogUntil([&] { return !ProcessIsRunning(encoder); }, 5000));
    // Nothing unfinished is left beside the movie, and nothing finished is touched.
    EXPECT_TRUE(m_dialog->m_conversion.WaitForFileWork(30000));
    EXPECT_EQ(GetFileAttributesW((earlier + L".part").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadFileBytes(earlier), "earlier");
    // The stopped encoder's completion is not taken for a result.
    ASSERT_TRUE(
        PumpDialogUntil([&] { return !m_dialog->m_conversion.Encoder().IsRunOpen(); }, 10000));
    PumpDialogPending();
    EXPECT_EQ(Log(), Converting(L"a.avi") + L"OK.\n" + Converting(L"b.avi") +
                         L"\nConversion has been canceled.\n");
    EXPECT_FALSE(Checked(0));
    EXPECT_TRUE(Checked(1));
    EXPECT_TRUE(Checked(2));
    EXPECT_EQ(Text(Item(IDC_CONVERT)), L"Exit");
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_FILE_LIST)));

    // Back to the first page, and again: only what is still ticked, after the earlier lines.
    Click(IDC_PREV);
    PumpDialogPending();
    EXPECT_EQ(m_dialog->CurrentPage(), 0);
    EXPECT_EQ(Text(Item(IDC_CONVERT)), L"Convert");
    EXPECT_EQ(Text(Item(IDC_STEP_GROUP)), L"Step1");
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_PREV)));
    Click(IDC_CONVERT);
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(Log(), Converting(L"a.avi") + L"OK.\n" + Converting(L"b.avi") +
                         L"\nConversion has been canceled.\n" + Converting(L"b.avi") + L"OK.\n" +
                         Converting(L"c.avi") + L"OK.\n" + L"\n2 file(s) converted.\n");
}

TEST_F(ConversionTest, PrevDuringARunAsksAndStops) {
    Add(L"a.avi", kSlow);
    Click(IDC_CONVERT);
    ASSERT_TRUE(EncodingItem(0));
    EXPECT_EQ(Text(Item(IDC_STEP_GROUP)), L"Step2");
    const DWORD encoder = m_dialog->m_conversion.Encoder().ProcessId();
    m_seam.answers = {IDYES};
    Click(IDC_PREV);
    ASSERT_TRUE(PumpDialogUntil([&] { return m_dialog->CurrentPage() == 0; }, 5000));
    EXPECT_FALSE(m_dialog->m_conversion.Converting());
    EXPECT_FALSE(m_dialog->m_conversion.Finished());
    EXPECT_TRUE(PumpDialogUntil([&] { return !ProcessIsRunning(encoder); }, 5000));
    EXPECT_EQ(Log(), Converting(L"a.avi") + L"\nConversion has been canceled.\n");
    EXPECT_TRUE(Checked(0));
}

TEST_F(ConversionTest, AStoppedRunsLateCompletionDoesNotCountInTheNext) {
    Add(L"a.avi", kSlow);
    Click(IDC_CONVERT);
    ASSERT_TRUE(EncodingItem(0));
    const WPARAM stopped = m_dialog->m_conversion.Encoder().OwnerRun();
    m_seam.answers = {IDYES};
    Click(IDC_PREV);
    ASSERT_TRUE(PumpDialogUntil([&] { return m_dialog->CurrentPage() == 0; }, 10000));
    Click(IDC_CONVERT);
    ASSERT_TRUE(EncodingItem(0));
    // The stopped encoder's end, which may come up to a second after it was ended.
    m_dialog->PostMessage(CDemoRedirector::kDoneMessage, stopped, 0);
    PumpDialogPending();
    const std::wstring twice =
        Converting(L"a.avi") + L"\nConversion has been canceled.\n" + Converting(L"a.avi");
    EXPECT_EQ(Log(), twice);
    EXPECT_TRUE(Checked(0));
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(Log(), twice + L"OK.\n\n1 file(s) converted.\n");
}

TEST_F(ConversionTest, HangingIdentificationIsCutShort) {
    Add(L"a.avi", kIdentifyGood + std::string("hang\n[encode]\noutput\n"));
    const ULONGLONG start = GetTickCount64();
    Click(IDC_CONVERT);
    ASSERT_TRUE(RunToEnd(30000));
    // One second and twenty-one half seconds, then the facts collected so far.
    EXPECT_GE(GetTickCount64() - start, 11400u);
    EXPECT_FALSE(ProcessIsRunning(m_dialog->m_conversion.Identifying().Info().ProcessId()));
    EXPECT_EQ(Log(), Converting(L"a.avi") + L"OK.\n\n1 file(s) converted.\n");
}

TEST_F(ConversionTest, ShutdownAfterTheRunCanBeAborted) {
    // Failed files count too.
    Add(L"a.avi", kFails);
    TickShutdownBox();
    m_seam.answers = {IDYES};
    Click(IDC_CONVERT);
    ASSERT_TRUE(RunToEnd());
    ASSERT_EQ(m_seam.shutdowns.size(), 1u);
    EXPECT_EQ(m_seam.shutdowns[0], L"The system is shutdown.|30");
    ASSERT_EQ(m_seam.boxes.size(), 1u); // the question only, no count
    EXPECT_EQ(m_seam.boxes[0].text, L"Abort shutdown ?");
    EXPECT_EQ(m_seam.boxes[0].type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(m_seam.aborts, 1);
}

TEST_F(ConversionTest, RefusedShutdownEndsTheRunSilently) {
    Add(L"a.avi", kQuick);
    TickShutdownBox();
    m_seam.shutdownAllowed = false;
    Click(IDC_CONVERT);
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(m_seam.shutdowns.size(), 1u);
    EXPECT_TRUE(m_seam.boxes.empty());
    EXPECT_EQ(m_seam.aborts, 0);
}

// A system message box runs a loop of its own, which dispatches the encoder's completion
// straight to the window.
class CompletionDuringQuestion : public ConversionTest {
protected:
    void AskWhileTheEncoderEnds(int answer) {
        Add(L"a.avi", kSlow);
        Click(IDC_CONVERT);
        ASSERT_TRUE(EncodingItem(0));
        const DWORD encoder = m_dialog->m_conversion.Encoder().ProcessId();
        m_seam.answers = {answer};
        m_seam.onMessageBox = [&] {
            if (m_seam.boxes.size() == 1)
                PumpUntil(
                    [&] {
                        return !ProcessIsRunning(encoder) &&
                               !m_dialog->m_conversion.Encoder().IsRunOpen();
                    },
                    10000);
            PumpPending();
        };
        Click(IDC_CONVERT);
    }
};

TEST_F(CompletionDuringQuestion, IsHandledWhenTheRunGoesOn) {
    AskWhileTheEncoderEnds(IDNO);
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(Log(), Converting(L"a.avi") + L"OK.\n\n1 file(s) converted.\n");
    EXPECT_FALSE(Checked(0));
}

TEST_F(CompletionDuringQuestion, IsDroppedWhenTheUserStops) {
    AskWhileTheEncoderEnds(IDYES);
    ASSERT_TRUE(RunToEnd());
    PumpDialogPending();
    EXPECT_EQ(Log(), Converting(L"a.avi") + L"\nConversion has been canceled.\n");
    EXPECT_TRUE(Checked(0));
}

TEST_F(ConversionTest, NamesAsUsersHaveThemConvert) {
    // Korean, outside any ANSI code page, and a path of 300 characters.
    std::wstring deep = m_dir.Path();
    while (deep.size() < 250) {
        deep += L"\\folder with a rather long name";
        CreateDirectoryW(deep.c_str(), nullptr);
    }
    const std::wstring longName = deep.substr(m_dir.Path().size() + 1) + L"\\" +
                                  std::wstring(300 - deep.size() - 5, L'x') + L".avi";
    const std::wstring names[] = {L"여름 휴가.avi", L"\u03a9 \U0001F600 \u0416.mkv", longName};
    for (const std::wstring& name : names)
        Add(name, kQuick);
    EXPECT_EQ(m_dialog->m_listFiles.GetItemText(2, 0).size(), 300u);
    Click(IDC_CONVERT);
    ASSERT_TRUE(RunToEnd());
    std::wstring expected;
    for (const std::wstring& name : names)
        expected += Converting(name.substr(name.rfind(L'\\') + 1)) + L"OK.\n";
    EXPECT_EQ(Log(), expected + L"\n3 file(s) converted.\n");
    EXPECT_NE(GetFileAttributesW((m_dir.Path() + L"\\QV_여름 휴가.avi.avi").c_str()),
              INVALID_FILE_ATTRIBUTES);
}

// Runs the test of that name in a copy of this program in a folder of its own (with a copy of
// the scripted engines in its bin/, or none), where it finds flag set; its exit code.
DWORD RunInOwnFolder(const ScratchDir& dir, const wchar_t* test, const wchar_t* flag,
                     bool engines) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring copy = dir.Path() + L"\\own_folder.exe";
    if (!CopyFileW(self, copy.c_str(), FALSE))
        return ~0u;
    if (engines) {
        CreateDirectoryW((dir.Path() + L"\\bin").c_str(), nullptr);
        for (const wchar_t* engine : {L"mplayer", L"mencoder"})
            CopyFileW(EnginePath(engine).c_str(),
                      (dir.Path() + L"\\bin\\" + engine + L".exe").c_str(), FALSE);
    }
    return RunFlagged(copy, std::wstring(L"--gtest_filter=ConversionTest.") + test, flag, 60000);
}

// Without the engines in bin/, each file gets the reinstall message and counts as unsupported.
constexpr const wchar_t* kNoEnginesFlag = L"QV_TEST_NO_ENGINES";

TEST_F(ConversionTest, MissingEnginesAreReportedAndSkipped) {
    wchar_t flag[4];
    if (GetEnvironmentVariableW(kNoEnginesFlag, flag, 4)) {
        Add(L"a.avi", kQuick);
        // The list settles: its identification ahead cannot start, and is made again at the
        // file's turn, which says why.
        m_dialog->SendMessage(WM_TIMER, CQuelvoxDlg::kQueueSaveTimer);
        Click(IDC_CONVERT);
        ASSERT_TRUE(RunToEnd(10000));
        // Which file could not run, and the system's reason.
        const std::wstring player = GetModuleDirectory() + L"bin\\mplayer.exe";
        const std::wstring log = Log();
        EXPECT_EQ(log, Converting(L"a.avi") + L"Unsupported file.\n    " + player +
                           L" could not be run: " + SystemErrorText(ERROR_FILE_NOT_FOUND) +
                           L"\n\n0 file(s) converted.\n");
        ASSERT_EQ(m_seam.boxes.size(), 2u);
        EXPECT_EQ(m_seam.boxes[0].text, L"After reinstalling the program, please try again!");
        return;
    }
    EXPECT_EQ(RunInOwnFolder(m_dir, L"MissingEngines*", kNoEnginesFlag, false), 0u);
}

// Right after installing, an antivirus scans the engines: a start that fails while it holds the
// player's file is tried again, and the file converts once it lets go.
constexpr const wchar_t* kHeldEngineFlag = L"QV_TEST_HELD_ENGINE";

TEST_F(ConversionTest, AnEngineHeldByAScannerIsWaitedFor) {
    wchar_t flag[4];
    if (GetEnvironmentVariableW(kHeldEngineFlag, flag, 4)) {
        const HANDLE scanner = CreateFileW(EnginePath(L"mplayer").c_str(), GENERIC_READ, 0, nullptr,
                                           OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(scanner, INVALID_HANDLE_VALUE);
        Add(L"a.avi", kQuick);
        Click(IDC_CONVERT);
        ASSERT_TRUE(PumpDialogUntil(
            [&] {
                return m_dialog->m_conversion.CurrentStep() == convert::FileStep::StartingIdentify;
            },
            10000));
        CloseHandle(scanner);
        ASSERT_TRUE(RunToEnd());
        EXPECT_EQ(Log(), Converting(L"a.avi") + L"OK.\n\n1 file(s) converted.\n");
        EXPECT_TRUE(m_seam.boxes.size() == 1u);
        return;
    }
    EXPECT_EQ(RunInOwnFolder(m_dir, L"AnEngineHeld*", kHeldEngineFlag, true), 0u);
}

} // namespace

TEST_F(ConversionTest, CaptionAndTaskbarShowTheWholeQueuesProgress) {
    Add(L"one.avi", kSlow);
    Add(L"two.avi", kSlow);
    Click(IDC_CONVERT);
    ASSERT_TRUE(EncodingItem(1));
    Tick();
    const std::wstring title = m_dialog->Title();
    const std::wstring caption = m_dialog->GetWindowText();
    // "57% · 2 of 2 · 1 min left – Quelvox 1.0.0.1": the first file is done.
    EXPECT_NE(caption.find(L"% \u00B7 2 of 2 \u00B7 1 min left \u2013 " + title),
              std::wstring::npos)
        << caption;
    EXPECT_GE(_wtoi(caption.c_str()), 50) << caption;
    ASSERT_FALSE(m_seam.taskbar.empty());
    EXPECT_EQ(m_seam.taskbar.back().state, CSystemSeam::TaskbarState::Normal);
    EXPECT_GE(m_seam.taskbar.back().done, 50u);
    // The drawn title stays as it is.
    EXPECT_EQ(m_dialog->m_stcTitle.GetWindowText(), title);

    // Paused while the user is asked whether to stop, and going on after a No.
    m_seam.onMessageBox = [&] {
        EXPECT_EQ(m_seam.taskbar.back().state, CSystemSeam::TaskbarState::Paused);
    };
    m_seam.answers = {IDNO};
    m_dialog->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_CONVERT, BN_CLICKED), 0);
    EXPECT_EQ(m_seam.boxes.size(), 1u);
    m_seam.onMessageBox = nullptr;
    EXPECT_EQ(m_seam.taskbar.back().state, CSystemSeam::TaskbarState::Normal);

    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(m_dialog->GetWindowText(), title);
    EXPECT_EQ(m_seam.taskbar.back().state, CSystemSeam::TaskbarState::None);
}

namespace {

// Every step of a run, with what may arrive during it: an earlier run's completion, a spurious
// wake-up and the step timers. Nothing may be handled twice or out of turn.
TEST_F(ConversionTest, WhatArrivesDuringEachStepWaitsForIt) {
    Add(L"a.avi", "[identify]\nsleep 400\nout ID_VIDEO_WIDTH=640\n");
    Add(L"b.avi", "[identify]\nsleep 400\nout ID_VIDEO_WIDTH=640\nout ID_VIDEO_FPS=25.000\n"
                  "out ID_LENGTH=10.00\n[encode]\nprogress 0 100 25 200\noutput\n");
    std::set<convert::FileStep> seen;
    Click(IDC_CONVERT);
    ASSERT_TRUE(PumpDialogUntil(
        [&] {
            const convert::CConversion& run = m_dialog->m_conversion;
            if (seen.insert(run.CurrentStep()).second) {
                m_dialog->PostMessage(CDemoRedirector::kDoneMessage, run.Encoder().OwnerRun() - 1);
                m_dialog->PostMessage(CRedirMediaInfo::kEndedMessage);
                m_dialog->SendMessage(WM_TIMER, convert::CConversion::kStepTimer);
                m_dialog->SendMessage(WM_TIMER, preview::CPreview::kStepTimer);
            }
            return run.Finished();
        },
        60000));
    EXPECT_TRUE(seen.count(convert::FileStep::Identifying));
    EXPECT_TRUE(seen.count(convert::FileStep::Encoding));
    EXPECT_EQ(Log(), Converting(L"a.avi") + L"Unsupported file.\n    Its length is not known.\n" +
                         Converting(L"b.avi") + L"OK.\n\n1 file(s) converted.\n");
    EXPECT_EQ(m_seam.boxes.size(), 1u);
    EXPECT_TRUE(IsWindowEnabled(*m_dialog));
}

// A run that ends while a box is open over the window (the about box) says so once that box
// has closed, not in a box inside it.
TEST_F(ConversionTest, TheClosingBoxWaitsForABoxAlreadyOpen) {
    Add(L"a.avi", kQuick);
    Click(IDC_CONVERT);
    m_seam.onMessageBox = [&] {
        if (m_seam.boxes.size() != 1)
            return;
        ASSERT_TRUE(
            PumpDialogUntil([&] { return Log().find(L"OK.") != std::wstring::npos; }, 30000));
        PumpDialogFor(300);
        EXPECT_EQ(m_seam.boxes.size(), 1u);
    };
    AfxMessageBox(L"the about box");
    ASSERT_TRUE(RunToEnd());
    ASSERT_EQ(m_seam.boxes.size(), 2u);
    EXPECT_EQ(m_seam.boxes[1].text, L"\n1 file(s) converted.\n");
    EXPECT_EQ(Log(), Converting(L"a.avi") + L"OK.\n\n1 file(s) converted.\n");
}

// Between two files the window answers: a Stop pressed as an unreadable file is logged is
// handled before the next file is taken up, not after the whole queue.
TEST_F(ConversionTest, StopIsAnsweredBetweenUnreadableFiles) {
    for (const wchar_t* name : {L"a.avi", L"b.avi", L"c.avi"})
        Add(name, "[identify]\nsleep 300\nout ID_VIDEO_WIDTH=640\n");
    m_seam.answers = {IDYES};
    // Pressed the moment the log says so, ahead of anything the run has in the queue.
    const auto pressStop = [](HWND log, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR dialog) -> LRESULT {
        if (msg == EM_REPLACESEL &&
            wcsstr(reinterpret_cast<const wchar_t*>(lParam), L"Unsupported"))
            PostMessageW(reinterpret_cast<HWND>(dialog), WM_COMMAND,
                         MAKEWPARAM(IDC_CONVERT, BN_CLICKED), 0);
        return DefSubclassProc(log, msg, wParam, lParam);
    };
    SetWindowSubclass(m_dialog->m_step3.m_editLog, pressStop, 1,
                      reinterpret_cast<DWORD_PTR>(m_dialog->m_hWnd));
    Click(IDC_CONVERT);
    ASSERT_TRUE(RunToEnd());
    RemoveWindowSubclass(m_dialog->m_step3.m_editLog, pressStop, 1);
    EXPECT_EQ(Log(), Converting(L"a.avi") + L"Unsupported file.\n    Its length is not known.\n" +
                         L"\nConversion has been canceled.\n");
    EXPECT_TRUE(IsWindowEnabled(*m_dialog));
}

} // namespace

namespace {

// While a file encodes, the next ticked one is identified; at its turn those facts count only
// for the same file, unchanged. Each row changes the queue or the file once the identification
// ahead is over, then lets the first encoder end.
struct Meanwhile {
    const char* what;
    void (*act)(CQuelvoxDlg& dialog, const ScratchDir& dir, const std::wstring& b);
    const wchar_t* result;  // the log after the first file's lines
    int identifiedB;        // how often b was identified
    bool waitAfterTheFirst; // "Please Wait..." between the first encoder and the next
};

const Meanwhile kMeanwhile[] = {
    {"nothing", [](CQuelvoxDlg&, const ScratchDir&, const std::wstring&) {},
     L"\nb.avi file converting...OK.\n\nc.avi file converting...OK.\n\n3 file(s) converted.\n", 1,
     false},
    {"changed",
     [](CQuelvoxDlg&, const ScratchDir& dir, const std::wstring&) {
         dir.Write(L"b.avi", kNoLength);
     },
     L"\nb.avi file converting...Unsupported file.\n    Its length is not known.\n"
     L"\nc.avi file converting...OK.\n\n2 file(s) converted.\n",
     2, true},
    {"gone", [](CQuelvoxDlg&, const ScratchDir&, const std::wstring& b) { DeleteFileW(b.c_str()); },
     L"\nb.avi file converting...Unsupported file.\n    The player cannot read this file.\n"
     L"\nc.avi file converting...OK.\n\n2 file(s) converted.\n",
     2, true},
    {"unticked",
     [](CQuelvoxDlg& dialog, const ScratchDir&, const std::wstring&) {
         dialog.m_listFiles.SetCheck(1, false);
     },
     L"\nc.avi file converting...OK.\n\n2 file(s) converted.\n", 1, true},
    {"removed",
     [](CQuelvoxDlg& dialog, const ScratchDir&, const std::wstring&) {
         dialog.m_listFiles.DeleteItem(1);
     },
     L"\nc.avi file converting...OK.\n\n2 file(s) converted.\n", 1, true},
};

class IdentifiedAhead : public ConversionTest, public testing::WithParamInterface<Meanwhile> {
protected:
    void SetUp() override {
        ConversionTest::SetUp();
        m_engineLog = m_dir.Path() + L"\\engines.log";
        SetEnvironmentVariableW(L"QV_DOUBLE_LOG", m_engineLog.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"QV_DOUBLE_LOG", nullptr);
        ConversionTest::TearDown();
    }
    // The first file's encoder works until the test ends it.
    void StartWithAHeldFirstFile(const std::string& b) {
        Add(L"a.avi", Movie("progress 30 30\nhang\n"));
        m_b = Add(L"b.avi", b);
        Add(L"c.avi", kQuick);
        Click(IDC_CONVERT);
        ASSERT_TRUE(EncodingItem(0));
    }
    bool AheadIs(const std::wstring& path, bool finished) const {
        const convert::Identification& ahead = m_dialog->m_conversion.Ahead();
        return ahead.Path() == path && ahead.Info().Finished() == finished &&
               ProcessIsRunning(ahead.Info().ProcessId()) != finished;
    }
    // How often the player identified the file of that name.
    int Identifications(const std::string& name) const {
        std::istringstream lines(ReadFileBytes(m_engineLog));
        int count = 0;
        for (std::string line; std::getline(lines, line);)
            count += line.find("-identify") != std::string::npos &&
                     line.find("\\" + name + "\"") != std::string::npos;
        return count;
    }
    void EndTheFirstEncoder() {
        const CHandle encoder(
            OpenProcess(PROCESS_TERMINATE, FALSE, m_dialog->m_conversion.Encoder().ProcessId()));
        TerminateProcess(encoder, 1);
    }

    std::wstring m_engineLog, m_b;
};

TEST_P(IdentifiedAhead, CountsOnlyForTheSameFileUnchanged) {
    const Meanwhile& row = GetParam();
    StartWithAHeldFirstFile(kQuick);
    ASSERT_TRUE(PumpDialogUntil([&] { return AheadIs(m_b, true); }, 15000));
    row.act(*m_dialog, m_dir, m_b);
    // The dialog's thread pumps in this one; another looks for the wait label until the next
    // encoder starts.
    std::atomic<bool> stop{false}, sawWait{false};
    std::thread watcher([&, label = Item(IDC_WAIT_LABEL)] {
        for (; !stop; Sleep(5))
            sawWait = sawWait || IsWindowVisible(label);
    });
    const WPARAM first = m_dialog->m_conversion.Encoder().OwnerRun();
    EndTheFirstEncoder();
    PumpDialogUntil([&] { return m_dialog->m_conversion.Encoder().OwnerRun() != first; }, 15000);
    stop = true;
    watcher.join();
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(Log(), L"\na.avi file converting...Failed.\n"
                     L"    The encoder ended unexpectedly (code 0x00000001).\n" +
                         std::wstring(row.result));
    EXPECT_EQ(Identifications("b.avi"), row.identifiedB);
    EXPECT_EQ(sawWait, row.waitAfterTheFirst);
}

INSTANTIATE_TEST_SUITE_P(Meanwhile, IdentifiedAhead, testing::ValuesIn(kMeanwhile),
                         [](const auto& info) { return std::string(info.param.what); });

// Stop while the next file's player identifies it ends that player too, and nothing of it is
// taken up afterwards.
TEST_F(IdentifiedAhead, StopEndsAnIdentificationAhead) {
    StartWithAHeldFirstFile(kIdentifyGood + std::string("hang\n"));
    ASSERT_TRUE(PumpDialogUntil([&] { return AheadIs(m_b, false); }, 15000));
    const DWORD player = m_dialog->m_conversion.Ahead().Info().ProcessId();
    m_seam.answers = {IDYES};
    Click(IDC_CONVERT);
    ASSERT_TRUE(PumpDialogUntil([&] { return m_dialog->m_conversion.Finished(); }, 5000));
    EXPECT_TRUE(PumpDialogUntil([&] { return !ProcessIsRunning(player); }, 5000));
    PumpDialogPending();
    EXPECT_EQ(Log(), L"\na.avi file converting...\nConversion has been canceled.\n");
    EXPECT_TRUE(IsWindowEnabled(*m_dialog));
}

// The encoder's first share done reaches the window as it comes, not with the clock's next tick.
TEST_F(ConversionTest, TheFirstShareDoneIsShownAsItComes) {
    KillTimer(*m_dialog, CQuelvoxDlg::kClockTimer);
    Add(L"a.avi", Movie("progress 40 40\nhang\n"));
    Click(IDC_CONVERT);
    EXPECT_TRUE(PumpDialogUntil([&] { return Text(Item(IDC_TIME)) == L" 40%"; }, 15000));
    EXPECT_EQ(m_dialog->m_step3.m_progress.GetPos(), 40);
    m_dialog->m_conversion.EndChildren();
}

} // namespace
