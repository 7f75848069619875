// The file list and the pages in the running main dialog: drops, the file dialog, keys, the
// page commands, quality, colours and fonts.
#include "MainDialogFixture.h"
#include "framework/Paths.h"
#include "ui/MovieFiles.h"

#include <shlobj.h>

#include <functional>
#include <vector>

namespace {

class FileListTest : public MainDialogTest {
protected:
    // Drops the paths and waits until the look for movies among them is done.
    void Drop(const std::vector<std::wstring>& paths) {
        m_dialog->SendMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)));
        ASSERT_TRUE(PumpDialogUntil([&] { return !m_dialog->Searching(); }, 60000));
    }
    std::vector<std::wstring> Items() const {
        std::vector<std::wstring> items;
        for (int i = 0; i < m_dialog->m_listFiles.GetItemCount(); ++i)
            items.push_back(m_dialog->m_listFiles.GetItemText(i, 0));
        return items;
    }
    int Selected() const { return m_dialog->m_listFiles.GetNextItem(-1, LVNI_SELECTED); }
    bool Ticked(int i) const { return m_dialog->m_listFiles.GetCheck(i); }
    void Key(WORD key) {
        NMLVKEYDOWN note{};
        note.hdr.hwndFrom = m_dialog->m_listFiles;
        note.hdr.idFrom = IDC_FILE_LIST;
        note.hdr.code = LVN_KEYDOWN;
        note.wVKey = key;
        m_dialog->SendMessage(WM_NOTIFY, IDC_FILE_LIST, reinterpret_cast<LPARAM>(&note));
    }
    void PageCommand(CDialog& page, int id) {
        page.SendMessage(WM_COMMAND, static_cast<WPARAM>(id));
    }
};

} // namespace

TEST_F(FileListTest, DropTakesMovieExtensionsOnlyTickedAndSelected) {
    Drop({L"C:\\movies\\ONE.AVI", L"C:\\movies\\two.mkv", L"C:\\movies\\notes.txt"});
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"C:\\movies\\ONE.AVI", L"C:\\movies\\two.mkv"}));
    EXPECT_TRUE(Ticked(0));
    EXPECT_TRUE(Ticked(1));
    EXPECT_EQ(Selected(), 1);

    // Whole extensions: ".mp" and ".mpg" are, ".mp3" is not; a dot in a folder name does not
    // count. Phone and camera movies are taken.
    Drop({L"C:\\a\\clip.mpg", L"C:\\a\\clip.mp", L"C:\\a\\song.mp3", L"C:\\dir.avi\\noext",
          L"C:\\a\\phone.MP4", L"C:\\a\\cam.mov", L"C:\\a\\web.webm", L"C:\\movies\\ONE.AVI"});
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"C:\\movies\\ONE.AVI", L"C:\\movies\\two.mkv",
                                                  L"C:\\a\\clip.mpg", L"C:\\a\\clip.mp",
                                                  L"C:\\a\\phone.MP4", L"C:\\a\\cam.mov",
                                                  L"C:\\a\\web.webm", L"C:\\movies\\ONE.AVI"}));
    EXPECT_EQ(Selected(), 7);
    EXPECT_TRUE(m_seam.boxes.empty());

    // A drop without a single movie says so.
    Drop({L"C:\\a\\notes.txt", L"C:\\a\\song.mp3"});
    EXPECT_EQ(Items().size(), 8u);
    ASSERT_EQ(m_seam.boxes.size(), 1u);
    EXPECT_EQ(m_seam.boxes[0].text.substr(0, 36), L"None of the dropped files is a movie");
}

TEST_F(FileListTest, FoldersBringTheirMoviesInNameOrderAndSoDoesTheCommandLine) {
    auto Full = [](const wchar_t* name) {
        wchar_t folder[MAX_PATH] = L"";
        GetCurrentDirectoryW(MAX_PATH, folder);
        return std::wstring(folder) + (folder[wcslen(folder) - 1] == L'\\' ? L"" : L"\\") + name;
    };
    ScratchDir dir;
    CreateDirectoryW((dir.Path() + L"\\tree").c_str(), nullptr);
    CreateDirectoryW((dir.Path() + L"\\tree\\sub").c_str(), nullptr);
    CreateDirectoryW((dir.Path() + L"\\tree\\empty").c_str(), nullptr);
    for (const wchar_t* name :
         {L"tree\\Z.avi", L"tree\\b.mp4", L"tree\\notes.txt", L"tree\\sub\\c.mkv",
          L"tree\\sub\\A.MOV", L"tree\\clip 10.avi", L"tree\\clip 2.avi", L"single.wmv"})
        dir.Write(name, "x");
    const std::wstring tree = dir.Path() + L"\\tree";
    Drop({tree + L"\\", dir.Path() + L"\\single.wmv"});
    // In Explorer's name order: case aside, and numbers by their value.
    EXPECT_EQ(Items(), (std::vector<std::wstring>{tree + L"\\b.mp4", tree + L"\\clip 2.avi",
                                                  tree + L"\\clip 10.avi", tree + L"\\sub\\A.MOV",
                                                  tree + L"\\sub\\c.mkv", tree + L"\\Z.avi",
                                                  dir.Path() + L"\\single.wmv"}));
    EXPECT_EQ(Selected(), 6);
    // A folder without movies is a drop without movies.
    Drop({tree + L"\\empty"});
    EXPECT_EQ(m_seam.boxes.size(), 1u);

    // The command line: every argument after the program's, but the restart argument.
    EXPECT_EQ(StartFiles(L"\"C:\\Program Files\\Quelvox\\Quelvox.exe\" a.avi \"b c.mkv\" "
                         L"D:\\Movies --Restart"),
              (std::vector<std::wstring>{Full(L"a.avi"), Full(L"b c.mkv"), L"D:\\Movies"}));
    EXPECT_TRUE(StartFiles(L"--Restart").empty());
    // Queued the way a drop is, once the window is up; what is no movie is left out quietly.
    m_dialog->m_listFiles.DeleteAllItems();
    m_dialog->SetStartUp({nullptr, false, {tree + L"\\sub", dir.Path() + L"\\tree\\notes.txt"}});
    m_dialog->PostMessage(CQuelvoxDlg::kQueueStartFilesMessage);
    PumpDialogPending();
    ASSERT_TRUE(PumpDialogUntil([&] { return !m_dialog->Searching(); }, 60000));
    EXPECT_EQ(Items(), (std::vector<std::wstring>{tree + L"\\sub\\A.MOV", tree + L"\\sub\\c.mkv"}));
    EXPECT_EQ(m_seam.boxes.size(), 1u);
}

TEST_F(FileListTest, ALongLookThroughFoldersReportsHowFarItGot) {
    ScratchDir dir;
    for (int i = 0; i < 600; ++i)
        dir.Write(L"f" + std::to_wstring(i) + (i % 100 == 0 ? L".avi" : L".txt"), "");
    std::vector<size_t> reports;
    const auto movies = CollectMovies({dir.Path()}, [&](size_t n) {
        reports.push_back(n);
        return true;
    });
    EXPECT_EQ(movies.size(), 6u);
    EXPECT_EQ(reports, (std::vector<size_t>{256, 512}));
    // The file dialog offers the same movies.
    const std::wstring filter = MovieFilter();
    for (const wchar_t* pattern : {L";*.mp;", L";*.mp4;", L";*.mov;", L"*.avi;"})
        EXPECT_NE(filter.find(pattern), std::wstring::npos) << pattern;
    EXPECT_EQ(filter.find(L"*.mp*"), std::wstring::npos);
}

TEST_F(FileListTest, LongPathsSurviveWhole) {
    std::wstring folder = L"C:\\" + std::wstring(150, L'f') + L"\\" + std::wstring(150, L'g');
    std::wstring path = folder + L"\\\uC601\uD654 movie.avi";
    Drop({path});
    ASSERT_EQ(Items().size(), 1u);
    EXPECT_EQ(Items()[0], path);
}

TEST_F(FileListTest, FileDialogTakesAnyChosenFileInItsOrder) {
    m_seam.selection = std::wstring(L"C:\\clips\0b.mpg\0a.avi\0notes.txt\0", 32);
    PageCommand(m_dialog->m_step1, IDC_ADD_FILES);
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"C:\\clips\\b.mpg", L"C:\\clips\\a.avi",
                                                  L"C:\\clips\\notes.txt"}));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(Ticked(i));
    EXPECT_EQ(Selected(), 2);

    ASSERT_EQ(m_seam.fileDialogs.size(), 1u);
    const OPENFILENAMEW& ofn = m_seam.fileDialogs[0];
    const DWORD flags =
        OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR | OFN_ALLOWMULTISELECT;
    EXPECT_EQ(ofn.Flags & flags, flags);
    EXPECT_EQ(ofn.nFilterIndex, 1u);
    EXPECT_GE(ofn.nMaxFile, 32768u);
    // The movies of the drop's list, then everything.
    ASSERT_EQ(m_seam.filterTexts.size(), 4u);
    EXPECT_EQ(m_seam.filterTexts[0].substr(0, 30), L"Movie Files(*.avi,*.asf,*.wmv,");
    EXPECT_EQ(m_seam.filterTexts[1].substr(0, 32), L"*.avi;*.asf;*.wmv;*.mp;*.mpg;*.m");
    EXPECT_EQ(m_seam.filterTexts[2], L"All Files(*.*)");
    EXPECT_EQ(m_seam.filterTexts[3], L"*.*");

    // A single file comes back as its full path.
    m_seam.selection = std::wstring(L"D:\\one.wmv\0", 11);
    Key(VK_INSERT);
    EXPECT_EQ(Items().back(), L"D:\\one.wmv");
}

TEST_F(FileListTest, CancelledDialogAddsNothingAndATooLargeSelectionIsReported) {
    PageCommand(m_dialog->m_step1, IDC_ADD_FILES);
    EXPECT_TRUE(Items().empty());
    EXPECT_TRUE(m_seam.boxes.empty());

    m_seam.fileDialogError = FNERR_BUFFERTOOSMALL;
    PageCommand(m_dialog->m_step1, IDC_ADD_FILES);
    EXPECT_TRUE(Items().empty());
    ASSERT_EQ(m_seam.boxes.size(), 1u);
    EXPECT_NE(m_seam.boxes[0].text.find(L"Too many files"), std::wstring::npos);
}

TEST_F(FileListTest, DeleteKeyAndClearList) {
    Drop({L"C:\\1.avi", L"C:\\2.avi", L"C:\\3.avi"});
    Key(VK_DELETE);
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"C:\\1.avi", L"C:\\2.avi"}));
    m_dialog->m_listFiles.SetItemState(-1, 0, LVIS_SELECTED);
    Key(VK_DELETE);
    EXPECT_EQ(Items().size(), 2u);
    Key('A');
    EXPECT_EQ(Items().size(), 2u);

    PageCommand(m_dialog->m_step1, IDC_CLEAR_LIST);
    EXPECT_TRUE(Items().empty());
    PageCommand(m_dialog->m_step1, IDC_CLEAR_LIST);
    EXPECT_TRUE(m_seam.boxes.empty());
}

TEST_F(FileListTest, OpenFolderExploresCOrTheLastOutputFolder) {
    PageCommand(m_dialog->m_step1, IDC_OPEN_FOLDER);
    StartRun("progress 0 100 50 1\noutput\n");
    ASSERT_TRUE(PumpDialogUntil([&] { return m_dialog->m_conversion.Finished(); }, 30000));
    m_dialog->m_listFiles.DeleteAllItems(); // nothing selected
    PageCommand(m_dialog->m_step3, IDC_OPEN_FOLDER);
    ASSERT_EQ(m_seam.shell.size(), 2u);
    EXPECT_EQ(m_seam.shell[0].verb, L"explore");
    EXPECT_EQ(m_seam.shell[0].file, L"C:\\");
    EXPECT_EQ(m_seam.shell[1].file, m_runDir.Path());

    // The selected file's folder, with its converted movie selected once there is one (which
    // is looked for off the window's thread).
    const auto openFolder = [&](CDialog& page) {
        const size_t before = m_seam.shell.size() + m_seam.selected.size();
        PageCommand(page, IDC_OPEN_FOLDER);
        EXPECT_TRUE(PumpDialogUntil(
            [&] { return m_seam.shell.size() + m_seam.selected.size() > before; }, 30000));
    };
    ScratchDir dir;
    m_dialog->AppendFile(0, dir.Write(L"clip.avi", "x"));
    openFolder(m_dialog->m_step1);
    ASSERT_EQ(m_seam.shell.size(), 3u);
    EXPECT_EQ(m_seam.shell[2].verb, L"explore");
    EXPECT_EQ(m_seam.shell[2].file, dir.Path());
    const std::wstring output = dir.Write(L"QV_clip.avi.avi", "x");
    openFolder(m_dialog->m_step3);
    // Through the shell's call that selects an item, also beyond 260 characters.
    const std::wstring deep = dir.Path() + L"\\" + std::wstring(200, L'd');
    const std::wstring name = std::wstring(80, L'm') + L".avi";
    const std::wstring longOutput = deep + L"\\QV_" + name + L".avi";
    CreateDirectoryW(LongPathForm(deep).c_str(), nullptr);
    CloseHandle(CreateFileW(LongPathForm(longOutput).c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr));
    m_dialog->m_listFiles.DeleteAllItems();
    m_dialog->AppendFile(0, deep + L"\\" + name);
    openFolder(m_dialog->m_step1);
    EXPECT_EQ(m_seam.shell.size(), 3u);
    EXPECT_EQ(m_seam.selected, (std::vector<std::wstring>{output, longOutput}));
}

// The output's format: AVI unless MP4 was chosen, which the profile remembers for next time.
TEST_F(FileListTest, FormatIsAviUnlessMp4WasChosenAndItIsRemembered) {
    PrivateRegistry registry;
    TheApp().SetRegistryKey(CQuelvoxApp::kRegistryKey);
    auto choose = [&](int index) {
        CComboBox& box = m_dialog->m_step1.m_cmbFormat;
        box.SetCurSel(index);
        m_dialog->m_step1.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_FORMAT, CBN_SELCHANGE),
                                      reinterpret_cast<LPARAM>(box.m_hWnd));
    };
    EXPECT_EQ(m_dialog->m_step1.Format(), convert::OutputFormat::Avi);
    EXPECT_EQ(m_dialog->m_step1.m_cmbFormat.GetCount(), 2);
    choose(1);
    EXPECT_EQ(TheApp().GetProfileString(L"Output", L"Format"), L"MP4");
    m_dialog.reset();
    m_dialog = std::make_unique<CQuelvoxDlg>(&TheApp());
    TheApp().m_pMainWnd = m_dialog.get();
    ASSERT_TRUE(m_dialog->Create(IDD_QUELVOX_DIALOG, nullptr));
    EXPECT_EQ(m_dialog->m_step1.Format(), convert::OutputFormat::Mp4);
    choose(0);
    EXPECT_EQ(TheApp().GetProfileString(L"Output", L"Format"), L"AVI");
}

// The keyboard goes on from the selection: the focused item follows it, a new item shows, and
// Delete leaves the next one selected (the last, when the last went).
TEST_F(FileListTest, TheFocusFollowsTheSelectionThroughAddingAndDeleting) {
    CListCtrl& list = m_dialog->m_listFiles;
    for (int i = 0; i < 40; ++i)
        m_dialog->AppendFile(i, L"C:\\m\\" + std::to_wstring(i) + L".avi");
    const int top = static_cast<int>(list.SendMessage(LVM_GETTOPINDEX));
    const int page = static_cast<int>(list.SendMessage(LVM_GETCOUNTPERPAGE));
    EXPECT_LE(top, 39);
    EXPECT_GT(top + page, 39) << "the newest is in view";
    EXPECT_EQ(list.GetNextItem(-1, LVNI_FOCUSED), 39);
    m_dialog->SelectItem(20);
    Key(VK_DELETE);
    EXPECT_EQ(Selected(), 20);
    EXPECT_EQ(list.GetNextItem(-1, LVNI_FOCUSED), 20);
    EXPECT_EQ(list.GetItemText(20, 0), L"C:\\m\\21.avi");
    m_dialog->SelectItem(38);
    Key(VK_DELETE);
    EXPECT_EQ(Selected(), 37);
}

TEST_F(FileListTest, QualityIsReadFromTheRadioButtons) {
    STEP1& page = m_dialog->m_step1;
    EXPECT_EQ(SendMessageW(page.GetDlgItem(IDC_NORMAL), BM_GETCHECK, 0, 0), BST_CHECKED);
    page.m_nQuality = 0; // the member may differ until the buttons are read
    SendMessageW(page.GetDlgItem(IDC_HIGH), BM_CLICK, 0, 0);
    EXPECT_EQ(page.m_nQuality, 0);
    SendMessageW(page.GetDlgItem(IDC_LOW), BM_CLICK, 0, 0);
    EXPECT_TRUE(page.UpdateData(true));
    EXPECT_EQ(page.m_nQuality, 2);
    EXPECT_EQ(SendMessageW(page.GetDlgItem(IDC_HIGH), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST_F(FileListTest, PagesColourAndFontTheirControls) {
    STEP1& page = m_dialog->m_step1;
    HDC dc = GetDC(page.m_hWnd);
    page.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(page.GetDlgItem(IDC_WARNING2)));
    EXPECT_EQ(GetTextColor(dc), RGB(155, 0, 0));
    page.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(page.GetDlgItem(IDC_NORMAL)));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 155));
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    m_dialog->m_step3.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                  reinterpret_cast<LPARAM>(m_dialog->m_step3.GetDlgItem(IDC_LOG)));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 155));
    ReleaseDC(page.m_hWnd, dc);

    auto face = [](HWND control) {
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font,
                   &font);
        return std::wstring(font.lfFaceName) + L" " + std::to_wstring(font.lfHeight) + L" " +
               std::to_wstring(font.lfWeight);
    };
    EXPECT_EQ(face(page.GetDlgItem(IDC_ADD_FILES)), L"Arial 16 900");
    EXPECT_EQ(face(page.GetDlgItem(IDC_STEP_TEXT3)), L"Verdana 15 900");
    EXPECT_EQ(face(page.GetDlgItem(IDC_WARNING1)), L"Verdana 14 900");
    EXPECT_EQ(face(page.GetDlgItem(IDC_LOW)), L"Arial 15 900");
    EXPECT_EQ(face(m_dialog->m_step3.GetDlgItem(IDC_OPEN_FOLDER)), L"Arial 16 900");
    // The page keeps the font its buttons use.
    EXPECT_EQ(
        static_cast<HGDIOBJ>(page.m_fontButtons.GetSafeHandle()),
        reinterpret_cast<HGDIOBJ>(SendMessageW(page.GetDlgItem(IDC_ADD_FILES), WM_GETFONT, 0, 0)));
    EXPECT_NE(page.m_btnClearList.m_hIconNormal, nullptr);
}

namespace {

// The list as the last run left it: a language restart brings it back, an unexpected end
// offers it (without the files that have gone since, and says how many) and removes what its
// killed encoders left unfinished, a normal end leaves nothing; a write cut short never costs
// the last copy.
TEST_F(FileListTest, TheListOutlivesARestartAndAnUnexpectedEndButNotANormalOne) {
    ScratchDir folder;
    const std::wstring mutex =
        L"Local\\QuelvoxTest.Queue." + std::to_wstring(GetCurrentProcessId());
    const std::wstring a = folder.Write(L"a.avi", "x"), b = folder.Write(L"\uC601\uD654.mkv", "x");
    const std::vector<CQueueStore::Item> list = {
        {a, true}, {folder.Path() + L"\\gone.avi", true}, {b, false}};
    const std::vector<CQueueStore::Item> there = {list[0], list[2]};
    const struct {
        bool restart;
        int answer; // to the question, when there is one
        bool back;
    } ends[] = {{true, 0, true}, {false, IDYES, true}, {false, IDNO, false}};
    for (const auto& end : ends) {
        m_dialog.reset(); // its end is a normal one: it leaves nothing
        const std::wstring earlier = folder.Write(L"QV_a.avi.avi", "earlier"),
                           partial = folder.Write(L"QV_a.avi.avi.part", "unfinished");
        {
            CQueueStore store;
            ASSERT_TRUE(store.Open(folder.Path(), mutex.c_str()));
            ASSERT_EQ(store.Save(list, end.restart), CQueueStore::Saved::Kept);
        }
        // A later write cut short: its leftover is not the list.
        CloseHandle(CreateFileW((folder.Path() + L"\\Queue.txt.new").c_str(), GENERIC_WRITE, 0,
                                nullptr, CREATE_ALWAYS, 0, nullptr));

        m_seam.boxes.clear();
        m_seam.answers = {end.answer};
        m_dialog = std::make_unique<CQuelvoxDlg>(&TheApp());
        TheApp().m_pMainWnd = m_dialog.get();
        ASSERT_TRUE(m_dialog->m_queueStore.Open(folder.Path(), mutex.c_str()));
        ASSERT_TRUE(m_dialog->Create(IDD_QUELVOX_DIALOG, nullptr));
        ASSERT_TRUE(PumpDialogUntil([&] { return m_dialog->PreviousListTaken(); }, 30000));
        if (end.restart) {
            EXPECT_TRUE(m_seam.boxes.empty());
        } else {
            ASSERT_EQ(m_seam.boxes.size(), 1u);
            EXPECT_EQ(m_seam.boxes[0].text,
                      L"Quelvox did not end properly last time. Do you want the 2 file(s) of its "
                      L"list back? (1 file(s) of it no longer exist and are left out.)");
            EXPECT_EQ(GetFileAttributesW(partial.c_str()), INVALID_FILE_ATTRIBUTES);
        }
        EXPECT_EQ(ReadFileBytes(earlier), "earlier");
        std::vector<CQueueStore::Item> shown;
        for (int i = 0; i < m_dialog->m_listFiles.GetItemCount(); ++i)
            shown.push_back(
                {m_dialog->m_listFiles.GetItemText(i, 0), m_dialog->m_listFiles.GetCheck(i)});
        EXPECT_EQ(shown, end.back ? there : std::vector<CQueueStore::Item>{});

        // Kept as it changes, as a run of its own now.
        m_dialog->m_listFiles.SetCheck(0, !shown.empty() && !shown[0].ticked);
        m_dialog->AppendFile(m_dialog->m_listFiles.GetItemCount(), a);
        ASSERT_TRUE(PumpDialogUntil(
            [&] {
                const CQueueStore::Previous kept = m_dialog->m_queueStore.Read();
                return kept.left == CQueueStore::Left::Unexpected &&
                       kept.items.size() == shown.size() + 1;
            },
            10000));
    }
    // A normal end: the next start is empty and asks nothing.
    m_dialog.reset();
    CQueueStore store;
    ASSERT_TRUE(store.Open(folder.Path(), mutex.c_str()));
    EXPECT_EQ(store.Read().left, CQueueStore::Left::Nothing);
}

// The kept list is bounded: a file larger than a list can be (a broken disk, a bad sync) is set
// aside, not read into memory, and the window says so. Each instance keeps a list of its own.
TEST_F(FileListTest, AKeptListTooLargeToBeOneIsSetAsideAndEachInstanceKeepsItsOwn) {
    ScratchDir folder;
    const std::wstring mutex =
        L"Local\\QuelvoxTest.Bounded." + std::to_wstring(GetCurrentProcessId());
    std::string lines = "Quelvox queue\nrunning\n";
    for (size_t i = 0; i <= CQueueStore::kMaxItems; ++i)
        lines += "1\tC:\\x.avi\n";
    const struct {
        const char* what;
        std::function<void(const std::wstring& file)> make;
    } broken[] = {
        {"more items than a list holds",
         [&](const std::wstring& file) {
             folder.Write(file.substr(folder.Path().size() + 1), lines);
         }},
        {"a hundred megabytes",
         [](const std::wstring& file) {
             const CHandle handle(
                 CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
             LARGE_INTEGER size{};
             size.QuadPart = 100ll << 20;
             SetFilePointerEx(handle, size, nullptr, FILE_BEGIN);
             SetEndOfFile(handle);
         }},
    };
    for (const auto& c : broken) {
        CQueueStore store;
        ASSERT_TRUE(store.Open(folder.Path(), mutex.c_str()));
        EXPECT_EQ(store.File(), folder.Path() + L"\\Queue.txt");
        c.make(store.File());
        const CQueueStore::Previous previous = store.Read();
        EXPECT_EQ(previous.left, CQueueStore::Left::SetAside) << c.what;
        EXPECT_TRUE(previous.items.empty()) << c.what;
        EXPECT_EQ(GetFileAttributesW(store.File().c_str()), INVALID_FILE_ATTRIBUTES) << c.what;
        EXPECT_NE(previous.setAsideAs.find(L"Queue (set aside "), std::wstring::npos) << c.what;
        EXPECT_NE(GetFileAttributesW(previous.setAsideAs.c_str()), INVALID_FILE_ATTRIBUTES)
            << c.what;
    }
    // In the window: a message that names where it went, and an empty list.
    {
        CQueueStore store;
        ASSERT_TRUE(store.Open(folder.Path(), mutex.c_str()));
        broken[0].make(store.File());
    }
    m_dialog.reset();
    m_seam.boxes.clear();
    m_dialog = std::make_unique<CQuelvoxDlg>(&TheApp());
    TheApp().m_pMainWnd = m_dialog.get();
    ASSERT_TRUE(m_dialog->m_queueStore.Open(folder.Path(), mutex.c_str()));
    ASSERT_TRUE(m_dialog->Create(IDD_QUELVOX_DIALOG, nullptr));
    ASSERT_TRUE(PumpDialogUntil([&] { return m_dialog->PreviousListTaken(); }, 30000));
    ASSERT_EQ(m_seam.boxes.size(), 1u);
    EXPECT_NE(m_seam.boxes[0].text.find(L"too large"), std::wstring::npos);
    EXPECT_NE(m_seam.boxes[0].text.find(folder.Path() + L"\\Queue (set aside "),
              std::wstring::npos);
    EXPECT_EQ(m_dialog->m_listFiles.GetItemCount(), 0);

    // A second instance keeps its list beside the first one's, and the first's is its own.
    CQueueStore second;
    ASSERT_TRUE(second.Open(folder.Path(), mutex.c_str()));
    EXPECT_EQ(second.File(), folder.Path() + L"\\Queue 2.txt");
    ASSERT_EQ(second.Save({{L"C:\\second.avi", true}}), CQueueStore::Saved::Kept);
    EXPECT_TRUE(m_dialog->m_fileWorker.WaitIdle(30000));
    EXPECT_TRUE(m_dialog->m_queueStore.Read().items.empty());
    EXPECT_EQ(second.Read().items.size(), 1u);
}

} // namespace
