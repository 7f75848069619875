// The about box: version text, the licence of the asked language, and its buttons.
#include "framework/Paths.h"
#include "ui/AboutDlg.h"
#include "MainDialogFixture.h"

namespace {

class AboutTest : public MainDialogTest {
protected:
    void SetUp() override {
        MainDialogTest::SetUp();
        wcscpy(m_savedAbbrev, TheApp().m_szLangAbbrev);
    }
    void TearDown() override {
        for (const std::wstring& file : m_files)
            DeleteFileW(file.c_str());
        wcscpy(TheApp().m_szLangAbbrev, m_savedAbbrev);
        MainDialogTest::TearDown();
    }
    // A licence file beside the program, for a made-up language.
    void Licence(const wchar_t* abbreviation, const std::string& bytes) {
        std::wstring path = GetModuleDirectory() + L"copying_" + abbreviation + L".txt";
        HANDLE file =
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        m_files.push_back(path);
    }
    std::wstring ShownLicence(const wchar_t* abbreviation) {
        wcscpy(TheApp().m_szLangAbbrev, abbreviation);
        CAboutDlg about(m_dialog.get());
        about.Create(IDD_ABOUTBOX, m_dialog.get());
        std::wstring text = about.m_editLicence.GetWindowText();
        m_version = about.m_staticVersion.GetWindowText();
        DestroyWindow(about);
        return text;
    }

    wchar_t m_savedAbbrev[4] = L"";
    std::vector<std::wstring> m_files;
    std::wstring m_version;
};

std::string Utf16(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

} // namespace

TEST_F(AboutTest, LicenceIsReadAsUtf16OfTheAskedLanguage) {
    Licence(L"ZZA", Utf16(L"Licence\r\nText"));
    EXPECT_EQ(ShownLicence(L"ZZA"), L"Licence\r\nText");
    EXPECT_EQ(m_version, m_dialog->TitleWithBuild());
    // None for the language asked for: the library's in use (English here).
    EXPECT_NE(ShownLicence(L"ZZB").find(L"GNU GENERAL PUBLIC LICENSE"), std::wstring::npos);
    Licence(L"ZZC", "");
    EXPECT_EQ(ShownLicence(L"ZZC"), L"");
    // An odd last byte is not part of the text; a byte-order mark is.
    Licence(L"ZZD", Utf16(L"AB") + "C");
    EXPECT_EQ(ShownLicence(L"ZZD"), L"AB");
    Licence(L"ZZE", Utf16(L"\xFEFFX"));
    EXPECT_EQ(ShownLicence(L"ZZE"), L"\xFEFFX");
    // A bare line feed breaks no line in a Windows edit.
    Licence(L"ZZF", Utf16(L"a\nb\r\nc\n"));
    EXPECT_EQ(ShownLicence(L"ZZF"), L"a\r\nb\r\nc\r\n");
}

TEST_F(AboutTest, ShipsWithAnEnglishAndAKoreanLicence) {
    EXPECT_NE(ShownLicence(L"ENU").find(L"GNU GENERAL PUBLIC LICENSE"), std::wstring::npos);
    EXPECT_NE(ShownLicence(L"KOR").find(L"자유 소프트웨어"), std::wstring::npos);
    EXPECT_NE(ShownLicence(L"KOR").find(L"GNU GENERAL PUBLIC LICENSE"), std::wstring::npos);
}

TEST_F(AboutTest, CloseAndOkEndTheBoxAlikeAndCheckUpdateOpensThePage) {
    for (int button : {IDOK, IDC_ABOUT_CLOSE}) {
        CAboutDlg about(m_dialog.get());
        ASSERT_TRUE(about.Create(IDD_ABOUTBOX, m_dialog.get()));
        about.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_CHECK_UPDATE, BN_CLICKED), 0);
        EXPECT_EQ(about.Result(), -1);
        about.SendMessage(WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        EXPECT_EQ(about.Result(), IDOK) << button;
        DestroyWindow(about);
    }
    ASSERT_EQ(m_seam.shell.size(), 2u);
    EXPECT_EQ(m_seam.shell[0].file, L"www.tavrenix.example/quelvox");
    EXPECT_EQ(m_seam.shell[0].verb, L"");
}

TEST_F(AboutTest, ItsButtonsFontGoesWithTheBox) {
    HFONT font = nullptr;
    {
        CAboutDlg about(m_dialog.get());
        ASSERT_TRUE(about.Create(IDD_ABOUTBOX, m_dialog.get()));
        font = reinterpret_cast<HFONT>(SendMessageW(about.GetDlgItem(IDOK), WM_GETFONT, 0, 0));
        EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
        DestroyWindow(about);
    }
    EXPECT_EQ(GetObjectType(font), 0u);
}

TEST_F(AboutTest, HugeLicenceFileIsReadOnlyAsFarAsABoxHolds) {
    const std::wstring path = GetModuleDirectory() + L"copying_ZZF.txt";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER size{};
    size.QuadPart = 100LL << 20;
    SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    m_files.push_back(path);
    EXPECT_EQ(CAboutDlg::ReadLicence(path).size(),
              static_cast<size_t>(CAboutDlg::kMaxLicenceBytes / 2));
}
