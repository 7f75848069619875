// Choosing the language library, the language menu and the restart in another language.
#include "app/Language.h"
#include "framework/Paths.h"
#include "framework/String.h"
#include "MainDialogFixture.h"

#include <algorithm>

namespace {

constexpr LCID kEnglish = 1033, kKorean = 1042, kGerman = 1031;

// Each test chooses a language in a folder of its own; the program's own resources come back
// afterwards.
class LanguageTest : public testing::Test {
protected:
    void TearDown() override {
        CQuelvoxApp& app = TheApp();
        AfxSetResourceHandle(GetModuleHandleW(nullptr));
        if (app.m_hLangDll)
            FreeLibrary(app.m_hLangDll);
        app.m_hLangDll = nullptr;
        app.m_arrLangLcid.clear();
        app.m_lcid = kEnglish;
    }
    std::wstring FolderWith(std::initializer_list<const wchar_t*> libraries) {
        for (const wchar_t* name : libraries)
            CopyFileW((GetModuleDirectory() + name).c_str(), (m_dir.Path() + L"\\" + name).c_str(),
                      FALSE);
        return m_dir.Path() + L"\\";
    }
    std::wstring MenuText(HMENU menu, int position) {
        wchar_t text[128] = L"";
        GetMenuStringW(menu, position, text, 128, MF_BYPOSITION);
        return text;
    }

    FakeSeam m_seam;
    ScratchDir m_dir;
};

std::wstring LanguageName(LCID lcid) {
    wchar_t name[128] = L"";
    GetLocaleInfoW(lcid, LOCALE_SLANGUAGE, name, 128);
    return name;
}

} // namespace

TEST_F(LanguageTest, ChosenLibraryProvidesTheTexts) {
    CQuelvoxApp& app = TheApp();
    SelectLanguageIn(app, kKorean, FolderWith({L"LANG_ENU.DLL", L"LANG_KOR.DLL"}));
    EXPECT_EQ(app.m_lcid, kKorean);
    EXPECT_STREQ(app.m_szLangAbbrev, L"KOR");
    ASSERT_NE(app.m_hLangDll, nullptr);
    EXPECT_EQ(AfxGetResourceHandle(), app.m_hLangDll);
    EXPECT_EQ(LoadResString(IDS_CONVERT), L"변환");
    EXPECT_EQ(LoadResString(IDS_LOG_CONVERTED), L"\n파일 %d개를 변환했습니다.\n");
    std::vector<LCID> listed = app.m_arrLangLcid;
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<LCID>{kEnglish, kKorean}));
    EXPECT_TRUE(m_seam.boxes.empty());
}

TEST_F(LanguageTest, LocaleWithoutLibraryFallsBackToEnglish) {
    CQuelvoxApp& app = TheApp();
    SelectLanguageIn(app, kGerman, FolderWith({L"LANG_ENU.DLL", L"LANG_KOR.DLL"}));
    EXPECT_EQ(app.m_lcid, kEnglish);
    // The licence file is still looked for under the asked language.
    EXPECT_STREQ(app.m_szLangAbbrev, L"DEU");
    EXPECT_EQ(LoadResString(IDS_CONVERT), L"Convert");
    EXPECT_NE(app.m_hLangDll, nullptr);
}

TEST_F(LanguageTest, NoLibraryKeepsTheProgramsOwnResources) {
    CQuelvoxApp& app = TheApp();
    SelectLanguageIn(app, kKorean, FolderWith({}));
    EXPECT_EQ(app.m_hLangDll, nullptr);
    EXPECT_EQ(app.m_lcid, kEnglish);
    EXPECT_TRUE(app.m_arrLangLcid.empty());
    EXPECT_EQ(AfxGetResourceHandle(), GetModuleHandleW(nullptr));
    ASSERT_EQ(m_seam.boxes.size(), 1u);
    EXPECT_EQ(m_seam.boxes[0].text, L"Language file not found!!!");
    EXPECT_EQ(m_seam.boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
}

class LanguageMenuTest : public LanguageTest {
protected:
    void Open(LCID lcid, std::initializer_list<const wchar_t*> libraries) {
        SelectLanguageIn(TheApp(), lcid, FolderWith(libraries));
        m_dialog = std::make_unique<CQuelvoxDlg>(&TheApp());
        TheApp().m_pMainDlg = m_dialog.get();
        ASSERT_TRUE(m_dialog->Create(IDD_QUELVOX_DIALOG, nullptr));
    }
    void TearDown() override {
        TheApp().m_pMainDlg = nullptr;
        m_dialog.reset();
        LanguageTest::TearDown();
    }
    std::unique_ptr<CQuelvoxDlg> m_dialog;
};

TEST_F(LanguageMenuTest, ListsEachLibraryUnderTheTitleWithTheOneInUseChecked) {
    Open(kKorean, {L"LANG_ENU.DLL", L"LANG_KOR.DLL"});
    HMENU menu = m_dialog->m_menuLang;
    ASSERT_EQ(GetMenuItemCount(menu), 3);
    EXPECT_EQ(m_dialog->m_menuLang.m_sCaption, L"언어 선택");
    EXPECT_EQ(GetMenuItemID(menu, 0), 0u);
    for (int i = 1; i <= 2; ++i) {
        const LCID lcid = TheApp().m_arrLangLcid[i - 1];
        EXPECT_EQ(GetMenuItemID(menu, i), lcid | 0x8000);
        EXPECT_EQ(MenuText(menu, i), LanguageName(lcid));
        EXPECT_EQ((GetMenuState(menu, i, MF_BYPOSITION) & MF_CHECKED) != 0, lcid == kKorean);
    }
}

TEST_F(LanguageMenuTest, WithoutLibrariesOnlyTheTitle) {
    Open(kEnglish, {});
    EXPECT_EQ(GetMenuItemCount(m_dialog->m_menuLang), 1);
    EXPECT_EQ(m_dialog->m_menuLang.m_sCaption, L"Language select");
}

TEST_F(LanguageMenuTest, PickingTheLanguageInUseDoesNothing) {
    PrivateRegistry registry;
    TheApp().SetRegistryKey(CQuelvoxApp::kRegistryKey);
    Open(kEnglish, {L"LANG_ENU.DLL", L"LANG_KOR.DLL"});
    m_dialog->ShowWindow(SW_SHOW);
    m_dialog->SendMessage(WM_COMMAND, kEnglish | 0x8000, 0);
    EXPECT_TRUE(TheApp().GetProfileString(L"Language", L"LCID").empty());
    EXPECT_TRUE(IsWindowVisible(*m_dialog));
}

TEST_F(LanguageMenuTest, PickingAnotherStoresItAndRestarts) {
    PrivateRegistry registry;
    TheApp().SetRegistryKey(CQuelvoxApp::kRegistryKey);
    Open(kEnglish, {L"LANG_ENU.DLL", L"LANG_KOR.DLL"});
    m_dialog->ShowWindow(SW_SHOW);
    ASSERT_TRUE(m_dialog->m_queueStore.Open(m_dir.Path(), L"Local\\QuelvoxTest.RestartQueue"));
    m_dialog->AppendFile(0, L"C:\\movies\\a.avi");

    // The successor is this test program again, which waits for us and notes when it may go.
    const std::wstring successor = m_dir.Path() + L"\\successor.txt";
    SetEnvironmentVariableW(L"QV_TEST_SUCCESSOR_FILE", successor.c_str());
    m_dialog->SendMessage(WM_COMMAND, kKorean | 0x8000, 0);
    EXPECT_EQ(TheApp().GetProfileString(L"Language", L"LCID"), L"1042");
    EXPECT_FALSE(IsWindowVisible(*m_dialog));
    EXPECT_EQ(m_dialog->Result(), IDCANCEL);
    // The list is kept for the new language's window, which takes it back unasked.
    ASSERT_TRUE(m_dialog->m_fileWorker.WaitIdle(30000));
    const CQueueStore::Previous kept = m_dialog->m_queueStore.Read();
    EXPECT_EQ(kept.left, CQueueStore::Left::Restart);
    EXPECT_EQ(kept.items, (std::vector<CQueueStore::Item>{{L"C:\\movies\\a.avi", true}}));
    // The successor starts once the window has gone.
    TheApp().FinishRestart();
    SetEnvironmentVariableW(L"QV_TEST_SUCCESSOR_FILE", nullptr);
    EXPECT_TRUE(m_seam.boxes.empty());
    // It may take the foreground, which this instance has and it has not.
    const std::vector<DWORD> children = ChildProcesses(GetCurrentProcessId());
    ASSERT_EQ(m_seam.foregroundAllowed.size(), 1u);
    EXPECT_NE(std::find(children.begin(), children.end(), m_seam.foregroundAllowed[0]),
              children.end());
    // It waits while this instance holds the hand-over.
    PumpFor(500);
    EXPECT_TRUE(ReadFileBytes(successor).empty());
    // This instance's end, which releases the hand-over (the thread would, by ending).
    HANDLE handover =
        OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, CQuelvoxApp::kRestartMutex);
    ReleaseMutex(handover);
    CloseHandle(handover);
    ReleaseRestartMutex();
    EXPECT_TRUE(PumpUntil([&] { return !ReadFileBytes(successor).empty(); }, 15000));
}

TEST_F(LanguageTest, LibraryThatIsNotAModuleFallsBackToEnglish) {
    CQuelvoxApp& app = TheApp();
    const std::wstring folder = FolderWith({L"LANG_ENU.DLL"});
    m_dir.Write(L"LANG_KOR.DLL", "this is not a module");
    SelectLanguageIn(app, kKorean, folder);
    EXPECT_EQ(app.m_lcid, kEnglish);
    EXPECT_EQ(LoadResString(IDS_CONVERT), L"Convert");
    EXPECT_TRUE(m_seam.boxes.empty());
}
