// The file list and the pages in the running main dialog: drops, the file dialog, keys, the
// page commands, quality, colours and fonts.
#include "MainDialogFixture.h"

#include <shlobj.h>

#include <vector>

namespace {

class FileListTest : public MainDialogTest {
protected:
    void Drop(const std::vector<std::wstring>& paths) {
        m_dialog->SendMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)));
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

    // Exact extensions: ".mp" is one, ".mpg" is not; a dot in a folder name does not count.
    Drop({L"C:\\a\\clip.mpg", L"C:\\a\\clip.mp", L"C:\\dir.avi\\noext", L"C:\\movies\\ONE.AVI"});
    EXPECT_EQ(Items(), (std::vector<std::wstring>{L"C:\\movies\\ONE.AVI", L"C:\\movies\\two.mkv",
                                                  L"C:\\a\\clip.mp", L"C:\\movies\\ONE.AVI"}));
    EXPECT_EQ(Selected(), 3);
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
    EXPECT_EQ(m_seam.filterTexts,
              (std::vector<std::wstring>{
                  L"Movie Files(*.avi,*.asf,*.wmv,*.mpg,*.mpx,*.tp,*.ts,*.mkv)",
                  L"*.avi;*.asf;*.wmv;*.mpg;*.mp*;*.ts;*.tp;*.mkv", L"All Files(*.*)", L"*.*"}));

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
    m_dialog->m_listFiles.SetItemState(0, 0, LVIS_SELECTED);
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
    m_dialog->m_conversion.m_strOutputFolder = L"D:\\Movies";
    PageCommand(m_dialog->m_step3, IDC_OPEN_FOLDER);
    ASSERT_EQ(m_seam.shell.size(), 2u);
    EXPECT_EQ(m_seam.shell[0].verb, L"explore");
    EXPECT_EQ(m_seam.shell[0].file, L"C:\\");
    EXPECT_EQ(m_seam.shell[1].file, L"D:\\Movies");
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
