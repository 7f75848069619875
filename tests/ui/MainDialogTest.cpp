// The main dialog on the virtual display, driven by messages.
#include "app/QuelvoxApp.h"
#include "support/FakeSeam.h"
#include "support/TestSupport.h"
#include "ui/QuelvoxDlg.h"
#include "resources/resource.h"
#include "MainDialogFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>
#include <memory>
#include <map>
#include <mutex>

namespace {

// A window of the player's class and title inside the pane, recording the keys it is sent.
// Like the real player's, it belongs to another thread, so its messages never pass through
// the dialog's loop.
class FakePlayerWindow {
public:
    explicit FakePlayerWindow(HWND pane) : m_pane(pane) {
        m_thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
        PumpUntil([this] { return m_hWnd.load() != nullptr; }, 5000);
    }
    ~FakePlayerWindow() {
        PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        WaitForSingleObject(m_thread, 5000);
        CloseHandle(m_thread);
    }
    std::vector<WPARAM> Keys() {
        std::lock_guard guard(m_lock);
        return m_keys;
    }
    HWND Handle() const { return m_hWnd; }

private:
    static DWORD WINAPI Run(void* param) {
        auto* self = static_cast<FakePlayerWindow*>(param);
        static bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"MPlayer - The Movie Player";
            return RegisterClassW(&wc) != 0;
        }();
        (void)registered;
        HWND hWnd = CreateWindowExW(WS_EX_NOPARENTNOTIFY, L"MPlayer - The Movie Player",
                                    L"MPlayer - The Movie Player", WS_CHILD | WS_VISIBLE, 0, 0, 10,
                                    10, self->m_pane, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->m_hWnd = hWnd;
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0)
            DispatchMessageW(&msg);
        return 0;
    }
    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM w, LPARAM l) {
        auto* self = reinterpret_cast<FakePlayerWindow*>(GetWindowLongPtrW(h, GWLP_USERDATA));
        if (self && msg == WM_KEYDOWN) {
            std::lock_guard guard(self->m_lock);
            self->m_keys.push_back(w);
        }
        if (msg == WM_CLOSE) {
            DestroyWindow(h);
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(h, msg, w, l);
    }

    HWND m_pane;
    HANDLE m_thread;
    std::atomic<HWND> m_hWnd{nullptr};
    std::mutex m_lock;
    std::vector<WPARAM> m_keys;
};

} // namespace

TEST_F(MainDialogTest, ControlsAfterInitialisation) {
    // Product name and version from the executable's version resource.
    EXPECT_EQ(Text(m_dialog->m_hWnd), L"Quelvox 1.0.0.1");
    EXPECT_EQ(Text(Item(IDC_TITLE)), L"Quelvox 1.0.0.1");
    EXPECT_EQ(Text(Item(IDC_TIME)), L"00:00:00/00:00:00");
    EXPECT_EQ(m_dialog->TitleWithBuild().rfind(L"Quelvox 1.0.0.1 (Build: ", 0), 0u);
    EXPECT_EQ(m_dialog->TitleWithBuild().back(), L')');

    EXPECT_FALSE(IsWindowVisible(Item(IDC_WAIT_LABEL)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_PREV)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_SLIDER)));
    for (int hidden : {IDC_TEST, IDC_HIDDEN_Q, IDC_HIDDEN_NEXT})
        EXPECT_FALSE(IsWindowVisible(Item(hidden))) << hidden;

    // The pane lives inside the frame, hidden until a preview runs.
    HWND pane = m_dialog->m_stcPane;
    EXPECT_EQ(GetParent(pane), Item(IDC_FRAME));
    EXPECT_FALSE(IsWindowVisible(pane));

    // File list: check boxes, full-row selection, one column.
    DWORD ex = static_cast<DWORD>(m_dialog->m_listFiles.SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE));
    EXPECT_EQ(ex & (LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT),
              static_cast<DWORD>(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT));
    wchar_t heading[64] = L"";
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = heading;
    column.cchTextMax = 64;
    ASSERT_TRUE(
        m_dialog->m_listFiles.SendMessage(LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(heading, L"File Name");
    EXPECT_EQ(column.cx, 320);

    // The title-bar buttons take the size of their pictures.
    RECT close = m_dialog->m_btnClose.GetWindowRect();
    EXPECT_EQ(close.right - close.left, 24);
    EXPECT_EQ(close.bottom - close.top, 23);

    // The system menu ends with the about entry after a separator.
    HMENU system = GetSystemMenu(m_dialog->m_hWnd, FALSE);
    int count = GetMenuItemCount(system);
    ASSERT_GE(count, 2);
    wchar_t about[64] = L"";
    GetMenuStringW(system, count - 1, about, 64, MF_BYPOSITION);
    EXPECT_STREQ(about, L"&About Quelvox...");
    EXPECT_EQ(GetMenuItemID(system, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
    EXPECT_EQ(GetMenuState(system, count - 2, MF_BYPOSITION) & MF_SEPARATOR,
              static_cast<UINT>(MF_SEPARATOR));
}

TEST_F(MainDialogTest, FirstPageTakesTheGroupBoxPlaceAndOtherPagesAreHidden) {
    // The place is measured from the dialog's outer edge and applied inside its border.
    RECT group = m_dialog->m_grpStep.GetWindowRect();
    RECT page = m_dialog->m_step1.GetWindowRect();
    RECT outer = m_dialog->GetWindowRect();
    POINT client{0, 0};
    ClientToScreen(m_dialog->m_hWnd, &client);
    EXPECT_EQ(page.left - group.left, client.x - outer.left);
    EXPECT_EQ(page.top - group.top, client.y - outer.top);
    EXPECT_EQ(page.right - page.left, group.right - group.left);
    EXPECT_EQ(page.bottom - page.top, group.bottom - group.top);
    EXPECT_TRUE(m_dialog->m_step1.IsWindowVisible());
    EXPECT_FALSE(m_dialog->m_step2.IsWindowVisible());
    EXPECT_FALSE(m_dialog->m_step3.IsWindowVisible());
    EXPECT_EQ(m_dialog->CurrentPage(), 0);

    // Every show of the window goes back to the first page.
    m_dialog->ShowPage(m_dialog->m_step3, 2);
    m_dialog->ShowWindow(SW_HIDE);
    m_dialog->ShowWindow(SW_SHOW);
    EXPECT_TRUE(m_dialog->m_step1.IsWindowVisible());
    EXPECT_FALSE(m_dialog->m_step3.IsWindowVisible());
    EXPECT_EQ(m_dialog->CurrentPage(), 0);
}

TEST_F(MainDialogTest, ClockShowsPositionAndLengthOrThePercentage) {
    Tick();
    EXPECT_EQ(Text(Item(IDC_TIME)), L"00:00:00/00:00:00");
    m_dialog->ShowLength(61 * 3600);
    Tick();
    EXPECT_EQ(Text(Item(IDC_TIME)), L"00:00:00/01:00:00");

    // A scripted movie of 2:03:04 previewed from 1:02:05 on.
    m_dialog->AppendFile(0, m_runDir.Write(L"long.avi", "[identify]\nout ID_VIDEO_WIDTH=640\n"
                                                        "out ID_VIDEO_HEIGHT=352\n"
                                                        "out ID_LENGTH=7384.00\n"
                                                        "[play]\nplay from 3725\n"));
    m_dialog->m_listFiles.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
    ASSERT_TRUE(TogglePreviewAndWait(*m_dialog));
    ASSERT_TRUE(PumpDialogUntil(
        [&] { return m_dialog->Length() == 7384 && m_dialog->m_preview.Position() >= 3725; },
        30000));
    Tick();
    const std::wstring shown = Text(Item(IDC_TIME));
    EXPECT_EQ(shown.substr(0, 7), L"01:02:0") << shown;
    EXPECT_EQ(shown.substr(8), L"/02:03:04") << shown;
    EXPECT_GE(m_dialog->m_slider.GetPos(), 3725);

    // Convert stops the preview; the clock shows the file's percentage, the slider stays.
    m_dialog->m_listFiles.SetCheck(0, false);
    StartLongRun();
    const int slider = m_dialog->m_slider.GetPos();
    Tick();
    EXPECT_EQ(Text(Item(IDC_TIME)), L"  7%");
    EXPECT_EQ(m_dialog->m_step3.m_progress.GetPos(), 7);
    EXPECT_EQ(m_dialog->m_slider.GetPos(), slider);
}

TEST_F(MainDialogTest, WheelSeeksOncePerNotchTurnedAndThenReachesThePlayersWindow) {
    FakePlayerWindow player(m_dialog->m_stcPane);
    HWND list = m_dialog->m_listFiles;
    // A notch each way, then a touchpad's small steps: a seek per 120 crossed, the way turned;
    // what is left of a turn does not hold back a turn the other way.
    for (short delta : {120, -120, 40, 40, 40, -30, -30, -30, -30, -30, 240, 90, -120})
        PostMessageW(list, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), 0);
    // Meant for a control of a page: the page's dialog handling takes it first.
    PostMessageW(m_dialog->m_step1.GetDlgItem(IDC_ADD_FILES), WM_MOUSEWHEEL,
                 MAKEWPARAM(0, static_cast<WORD>(120)), 0);
    // The player's window has a thread of its own.
    PumpDialogUntil([&] { return player.Keys().size() >= 7; }, 10000);
    PumpDialogPending();
    EXPECT_EQ(player.Keys(), (std::vector<WPARAM>{VK_LEFT, VK_RIGHT, VK_LEFT, VK_RIGHT, VK_LEFT,
                                                  VK_LEFT, VK_RIGHT}));
    EXPECT_EQ(m_dialog->FindPlayerWindow(), player.Handle());
}

// What a Windows edit needs to show a long session: CR LF line ends, room past 30,000
// characters, and opaque colours (it repaints only what changed, without erasing first).
TEST_F(MainDialogTest, TheLogHoldsAWholeSessionInWindowsLinesOnAnOpaqueGround) {
    const std::wstring line = L"\n" + std::wstring(200, L'x') + L".avi file converting...OK.\n";
    for (int i = 0; i < 200; ++i)
        m_dialog->AppendLog(line.c_str());
    m_dialog->AppendLog(L"\n200 file(s) converted.\n");
    const std::wstring lines = EditLines(m_dialog->m_step3.m_editLog);
    EXPECT_GT(lines.size(), 45000u);
    EXPECT_EQ(lines.find(L"[LF]"), std::wstring::npos);
    EXPECT_EQ(lines.substr(lines.size() - 24), L"\n200 file(s) converted.\n");

    HDC dc = CreateCompatibleDC(nullptr);
    SetBkMode(dc, TRANSPARENT);
    auto brush = reinterpret_cast<HBRUSH>(m_dialog->m_step3.SendMessage(
        WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
        reinterpret_cast<LPARAM>(m_dialog->m_step3.m_editLog.m_hWnd)));
    LOGBRUSH colour{};
    ASSERT_TRUE(GetObjectW(brush, sizeof colour, &colour));
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    EXPECT_EQ(colour.lbColor, GetBkColor(dc));
    DeleteDC(dc);
}

// A wait that ends under a box, and a box that closes during a wait: the window is free only
// once neither holds it.
TEST_F(MainDialogTest, TheWindowIsFreeOnlyWhenNoWaitAndNoBoxHoldsIt) {
    m_dialog->BeginWait();
    m_seam.onMessageBox = [&] {
        m_dialog->EndWait();
        EXPECT_FALSE(IsWindowEnabled(*m_dialog));
    };
    AfxMessageBox(L"a box open when the wait ends");
    EXPECT_TRUE(IsWindowEnabled(*m_dialog));

    m_seam.onMessageBox = [&] { m_dialog->BeginWait(); };
    AfxMessageBox(L"a box that closes during a wait");
    EXPECT_FALSE(IsWindowEnabled(*m_dialog));
    m_dialog->EndWait();
    EXPECT_TRUE(IsWindowEnabled(*m_dialog));
}

TEST_F(MainDialogTest, SeekButtonsSendArrowKeysOnlyToAPlayer) {
    m_dialog->SendMessage(WM_COMMAND, IDC_SEEK_FORWARD);
    EXPECT_EQ(m_dialog->FindPlayerWindow(), nullptr);
    FakePlayerWindow player(m_dialog->m_stcPane);
    m_dialog->SendMessage(WM_COMMAND, IDC_SEEK_FORWARD);
    m_dialog->SendMessage(WM_COMMAND, IDC_SEEK_BACK);
    PumpDialogUntil([&] { return player.Keys().size() >= 2; }, 10000);
    EXPECT_EQ(player.Keys(), (std::vector<WPARAM>{VK_RIGHT, VK_LEFT}));
}

TEST_F(MainDialogTest, CloseButtonAsksOnlyWhileAConversionRuns) {
    StartLongRun();
    m_seam.answers = {IDNO};
    m_dialog->SendMessage(WM_COMMAND, IDC_CLOSE);
    ASSERT_EQ(m_seam.boxes.size(), 1u);
    EXPECT_EQ(
        m_seam.boxes[0].text,
        L"Conversion is not complete. Still do?\n(Unfinished converting VIDEO FILE may not be "
        L"played.)");
    EXPECT_EQ(m_seam.boxes[0].type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
    EXPECT_TRUE(m_dialog->m_conversion.Converting());
    EXPECT_TRUE(m_dialog->IsWindowVisible());

    m_seam.answers = {IDYES};
    m_dialog->SendMessage(WM_COMMAND, IDC_CLOSE);
    EXPECT_EQ(m_seam.boxes.size(), 2u);
    EXPECT_FALSE(m_dialog->m_conversion.Converting());
    EXPECT_TRUE(IsWindowEnabled(m_dialog->m_listFiles));
    EXPECT_FALSE(m_dialog->IsWindowVisible()); // ended with OK
}

TEST_F(MainDialogTest, CloseButtonAfterARunClosesWithoutAQuestion) {
    StartRun("progress 0 100 50 1\noutput\n");
    ASSERT_TRUE(PumpDialogUntil([&] { return m_dialog->m_conversion.Finished(); }, 30000));
    const size_t boxes = m_seam.boxes.size(); // the run's end says how many were converted
    m_dialog->SendMessage(WM_COMMAND, IDC_CLOSE);
    EXPECT_EQ(m_seam.boxes.size(), boxes);
    EXPECT_FALSE(m_dialog->IsWindowVisible());
}

TEST_F(MainDialogTest, EnterAndEscapeNeverEndItAndTheSystemCloseIsTheCloseButton) {
    // Typed in the file list, as a user does: the dialog's keyboard handling turns them into
    // its OK and Cancel.
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        PostMessageW(m_dialog->m_listFiles, WM_KEYDOWN, key, 0);
        PostMessageW(m_dialog->m_listFiles, WM_KEYUP, key, 0xC0000000);
        PumpDialogPending();
    }
    m_dialog->SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    m_dialog->SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(m_dialog->Result(), -1);
    EXPECT_TRUE(m_dialog->IsWindowVisible());

    // Alt+F4 while converting asks, as the Close button does.
    StartLongRun();
    m_seam.answers = {IDNO};
    m_dialog->SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_EQ(m_seam.boxes.size(), 1u);
    EXPECT_EQ(m_seam.boxes[0].text.substr(0, 24), L"Conversion is not comple");
    EXPECT_EQ(m_dialog->Result(), -1);
    EXPECT_TRUE(m_dialog->m_conversion.Converting());
    m_dialog->StopConversion();
    ASSERT_TRUE(PumpDialogUntil([&] { return !m_dialog->m_conversion.Converting(); }, 30000));
    m_dialog->SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(m_seam.boxes.size(), 1u);
    EXPECT_EQ(m_dialog->Result(), IDOK);
}

TEST_F(MainDialogTest, FontsLiveAsLongAsTheWindowsThatUseThem) {
    std::vector<HFONT> fonts;
    for (HWND control :
         {Item(IDC_CONVERT), m_dialog->m_step1.GetDlgItem(IDC_PREVIEW),
          m_dialog->m_step1.GetDlgItem(IDC_STEP_TEXT1), m_dialog->m_step1.GetDlgItem(IDC_WARNING1),
          m_dialog->m_step1.GetDlgItem(IDC_NORMAL),
          m_dialog->m_step3.GetDlgItem(IDC_OPEN_FOLDER)}) {
        auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        ASSERT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
        fonts.push_back(font);
    }
    // Painting uses them all.
    m_dialog->RedrawWindow(RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    for (HFONT font : fonts)
        EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
    TearDown();
    for (HFONT font : fonts)
        EXPECT_EQ(GetObjectType(font), 0u);
}

TEST_F(MainDialogTest, LogoOpensTheProductPageThroughTheShell) {
    m_dialog->SendMessage(WM_COMMAND, IDC_LOGO);
    ASSERT_EQ(m_seam.shell.size(), 1u);
    EXPECT_EQ(m_seam.shell[0].verb, L"");
    EXPECT_EQ(m_seam.shell[0].file, CQuelvoxDlg::kProductPage);
}

TEST_F(MainDialogTest, ColoursOfTheLabels) {
    HDC dc = GetDC(m_dialog->m_hWnd);
    HWND wait = Item(IDC_WAIT_LABEL);
    auto brush = reinterpret_cast<HBRUSH>(m_dialog->SendMessage(
        WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(wait)));
    EXPECT_EQ(brush, m_dialog->m_stcWait.m_hFillBrush);
    EXPECT_EQ(GetTextColor(dc), RGB(255, 0, 0));
    LOGBRUSH fill{};
    GetObjectW(brush, sizeof fill, &fill);
    EXPECT_EQ(fill.lbColor, RGB(0, 50, 0));

    SetBkMode(dc, OPAQUE);
    m_dialog->SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                          reinterpret_cast<LPARAM>(Item(IDC_TITLE)));
    EXPECT_EQ(GetTextColor(dc), RGB(255, 255, 255));
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    ReleaseDC(m_dialog->m_hWnd, dc);
}

TEST_F(MainDialogTest, DestroyingTheWindowEndsTheEncoderChild) {
    StartLongRun();
    DWORD child = m_dialog->m_conversion.Encoder().ProcessId();
    ASSERT_TRUE(ProcessIsRunning(child));
    DestroyWindow(m_dialog->m_hWnd);
    EXPECT_TRUE(PumpUntil([&] { return !ProcessIsRunning(child); }, 5000));
}

namespace {
std::wstring g_aboutVersion;

// Runs inside the about box's own loop: reads its version text and closes it.
void CALLBACK CloseAboutBox(HWND, UINT, UINT_PTR id, DWORD) {
    HWND about = GetActiveWindow();
    if (!GetDlgItem(about, IDC_VERSION))
        return; // not open yet
    KillTimer(nullptr, id);
    wchar_t text[256] = L"";
    GetDlgItemTextW(about, IDC_VERSION, text, 256);
    g_aboutVersion = text;
    PostMessageW(about, WM_COMMAND, IDOK, 0);
}
} // namespace

TEST_F(MainDialogTest, SystemMenuEntryOpensTheAboutBoxWithTheVersionText) {
    g_aboutVersion.clear();
    SetTimer(nullptr, 0, 50, CloseAboutBox);
    m_dialog->SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX);
    EXPECT_EQ(g_aboutVersion, m_dialog->TitleWithBuild());
    EXPECT_TRUE(m_dialog->IsWindowEnabled()); // the owner is back
}

TEST_F(MainDialogTest, FirstRunOpensTheAboutBoxByItselfOnce) {
    TearDown();
    m_dialog = std::make_unique<CQuelvoxDlg>(&TheApp());
    TheApp().m_pMainDlg = m_dialog.get();
    m_dialog->SetStartUp({nullptr, true, {}});
    ASSERT_TRUE(m_dialog->Create(IDD_QUELVOX_DIALOG, nullptr));
    g_aboutVersion.clear();
    SetTimer(nullptr, 0, 50, CloseAboutBox);
    ASSERT_TRUE(PumpDialogUntil([] { return !g_aboutVersion.empty(); }, 60000));
    // Its timer is gone, so it can never open the box again.
    EXPECT_FALSE(KillTimer(*m_dialog, CQuelvoxDlg::kAboutTimer));
    EXPECT_TRUE(KillTimer(*m_dialog, CQuelvoxDlg::kClockTimer));
}

TEST_F(MainDialogTest, QualityIsTheFirstPagesRadioGroupFromHighToLow) {
    STEP1& page = m_dialog->m_step1;
    EXPECT_EQ(SendMessageW(page.GetDlgItem(IDC_NORMAL), BM_GETCHECK, 0, 0), BST_CHECKED);
    SendMessageW(page.GetDlgItem(IDC_NORMAL), BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageW(page.GetDlgItem(IDC_LOW), BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_TRUE(page.UpdateData(true));
    EXPECT_EQ(page.m_nQuality, 2);
}

namespace {

// Tab goes the way the work goes, on the first page and on the run's: the list, the page, the
// run's buttons, the preview's, then the title bar's; disabled controls are passed over.
TEST_F(MainDialogTest, TabGoesFromTheListThroughThePageToTheButtonsAndTheTitleBar) {
    auto order = [&] {
        std::vector<int> ids;
        HWND first = m_dialog->m_listFiles;
        for (HWND at = first; ids.size() < 40;) {
            ids.push_back(GetDlgCtrlID(at));
            at = GetNextDlgTabItem(*m_dialog, at, FALSE);
            if (!at || at == first)
                break;
        }
        return ids;
    };
    const std::vector<int> titleBar = {IDC_SEEK_BACK, IDC_SEEK_FORWARD, IDC_LOGO, IDC_LANGUAGE,
                                       IDC_MINIMIZE,  IDC_ABOUT,        IDC_CLOSE};
    std::vector<int> first = {IDC_FILE_LIST,   IDC_NORMAL,    IDC_FORMAT,     IDC_PREVIEW,
                              IDC_OPEN_FOLDER, IDC_ADD_FILES, IDC_CLEAR_LIST, IDC_CONVERT};
    first.insert(first.end(), titleBar.begin(), titleBar.end());
    EXPECT_EQ(order(), first);

    m_dialog->ShowPage(m_dialog->m_step3, 2);
    m_dialog->m_btnPrev.EnableWindow(true);
    std::vector<int> run = {IDC_FILE_LIST,   IDC_LOG,  IDC_SHUTDOWN,
                            IDC_OPEN_FOLDER, IDC_PREV, IDC_CONVERT};
    run.insert(run.end(), titleBar.begin(), titleBar.end());
    EXPECT_EQ(order(), run);
}

// Moved to a monitor of another DPI, the window goes where the system says and draws what it
// sizes itself at the new DPI.
TEST_F(MainDialogTest, AnotherMonitorsDpiRedrawsWhatTheProgramSizes) {
    BITMAP before{}, after{};
    ASSERT_TRUE(m_dialog->m_btnClose.m_bitmap.GetBitmap(&before));
    LOGFONTW font{};
    GetObjectW(m_dialog->m_fontBold, sizeof font, &font);
    const int height = font.lfHeight;
    RECT suggested = m_dialog->GetWindowRect();
    suggested.right = suggested.left + (suggested.right - suggested.left) * 3 / 2;
    suggested.bottom = suggested.top + (suggested.bottom - suggested.top) * 3 / 2;
    m_dialog->SendMessage(WM_DPICHANGED, MAKEWPARAM(144, 144),
                          reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(m_dialog->GetWindowRect().right, suggested.right);
    EXPECT_EQ(m_dialog->GetWindowRect().bottom, suggested.bottom);
    ASSERT_TRUE(m_dialog->m_btnClose.m_bitmap.GetBitmap(&after));
    // As the template's units grow with its font, about one and a half times.
    EXPECT_NEAR(after.bmWidth, before.bmWidth * 1.5, 2.0);
    GetObjectW(m_dialog->m_fontBold, sizeof font, &font);
    EXPECT_NEAR(font.lfHeight, height * 1.5, 2.0);
}

// Under a high-contrast theme the texts and their grounds take the system's colours.
TEST_F(MainDialogTest, HighContrastTakesTheSystemsColours) {
    auto pageText = [&] {
        HDC dc = CreateCompatibleDC(nullptr);
        m_dialog->m_step1.SendMessage(
            WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
            reinterpret_cast<LPARAM>(m_dialog->m_step1.GetDlgItem(IDC_WARNING1)));
        const COLORREF colour = GetTextColor(dc);
        DeleteDC(dc);
        return colour;
    };
    EXPECT_EQ(pageText(), RGB(155, 0, 0));
    EXPECT_EQ(m_dialog->m_stcTitle.m_crFore, RGB(255, 255, 255));
    m_seam.highContrast = true;
    m_dialog->SendMessage(WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST);
    EXPECT_EQ(pageText(), GetSysColor(COLOR_BTNTEXT));
    EXPECT_EQ(m_dialog->m_stcTitle.m_crFore, GetSysColor(COLOR_CAPTIONTEXT));
    EXPECT_EQ(m_dialog->m_stcTitle.m_crFill, GetSysColor(COLOR_ACTIVECAPTION));
    EXPECT_EQ(m_dialog->m_stcWait.m_crFill, GetSysColor(COLOR_HIGHLIGHT));
}

// Windows sends WM_SETTINGCHANGE often, for anything: only a high-contrast theme and new
// non-client metrics rebuild the pictures, and a change of the system's colours only under a
// high-contrast theme; each change of the system's colours reaches the common controls.
TEST_F(MainDialogTest, OnlyWhatChangesThePicturesRebuildsThemAndTheControlsHearOfColours) {
    static std::map<HWND, int> s_told;
    s_told.clear();
    const SUBCLASSPROC count = [](HWND window, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR) -> LRESULT {
        if (msg == WM_SYSCOLORCHANGE)
            ++s_told[window];
        return DefSubclassProc(window, msg, wParam, lParam);
    };
    const HWND controls[] = {m_dialog->m_listFiles, m_dialog->m_slider,
                             m_dialog->m_step3.m_progress};
    for (HWND control : controls)
        SetWindowSubclass(control, count, 1, 0);
    const struct {
        UINT message;
        WPARAM wParam;
        const wchar_t* area;
        bool highContrast, rebuilt;
    } changes[] = {
        {WM_SETTINGCHANGE, SPI_SETWORKAREA, nullptr, false, false},
        {WM_SETTINGCHANGE, 0, L"ImmersiveColorSet", false, false},
        {WM_SETTINGCHANGE, SPI_SETDESKWALLPAPER, nullptr, false, false},
        {WM_SYSCOLORCHANGE, 0, nullptr, false, false},
        {WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, nullptr, false, true},
        {WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, nullptr, true, true},
        {WM_SYSCOLORCHANGE, 0, nullptr, true, true},
    };
    for (const auto& change : changes) {
        m_seam.highContrast = change.highContrast;
        auto picture = [&] {
            return SendMessageW(Item(IDC_TITLE_PICTURE), STM_GETIMAGE, IMAGE_BITMAP, 0);
        };
        const LRESULT before = picture();
        m_dialog->SendMessage(change.message, change.wParam, reinterpret_cast<LPARAM>(change.area));
        EXPECT_EQ(picture() != before, change.rebuilt) << change.message << " " << change.wParam;
    }
    for (HWND control : controls) {
        EXPECT_EQ(s_told[control], 2) << GetDlgCtrlID(control);
        RemoveWindowSubclass(control, count, 1);
    }
}

// The title menu takes the caption's colours as it opens, not those the program started with.
TEST_F(MainDialogTest, TheTitleMenuReadsItsColoursAsItOpens) {
    CTitleMenu& menu = m_dialog->m_menuLang;
    menu.m_crStart = menu.m_crEnd = menu.m_crCaptionText = RGB(1, 2, 3);
    // The menu runs a loop of its own: a timer of this thread ends it once it is open.
    SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        EndMenu();
    });
    m_dialog->SendMessage(WM_COMMAND, IDC_LANGUAGE);
    EXPECT_EQ(menu.m_crStart, GetSysColor(COLOR_ACTIVECAPTION));
    EXPECT_EQ(menu.m_crEnd, GetSysColor(COLOR_GRADIENTACTIVECAPTION));
    EXPECT_EQ(menu.m_crCaptionText, GetSysColor(COLOR_CAPTIONTEXT));
}

} // namespace
