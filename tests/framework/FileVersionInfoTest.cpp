// The version reader on modules built for it (tests/framework/versions).
#include "framework/FileVersionInfo.h"
#include "framework/Paths.h"

#include <gtest/gtest.h>

namespace {
constexpr LANGID kKorean = 0x0412, kGerman = 0x0407, kEnglishUs = 0x0409;

std::wstring Module(const wchar_t* name) {
    return GetModuleDirectory() + L"versions\\" + name + L".dll";
}
} // namespace

TEST(FileVersionInfo, ChoosesTheUsersTableThenEnglish) {
    CFileVersionInfo info;
    ASSERT_TRUE(info.LoadFromFile(Module(L"korean_english"), kKorean));
    EXPECT_EQ(info.QueryProductName(), L"Product KO");
    EXPECT_EQ(info.m_strCompanyName, L"Maker KO");
    // A German user gets the English table.
    ASSERT_TRUE(info.LoadFromFile(Module(L"korean_english"), kGerman));
    EXPECT_EQ(info.QueryProductName(), L"Product EN");
    EXPECT_EQ(info.m_strSpecialBuild, L"special");
    EXPECT_EQ(HIWORD(info.m_fixedInfo.dwProductVersionMS), 1);
    EXPECT_EQ(LOWORD(info.m_fixedInfo.dwProductVersionMS), 1);
    EXPECT_EQ(HIWORD(info.m_fixedInfo.dwFileVersionLS), 4);
    EXPECT_EQ(info.m_fixedInfo.dwSignature, 0xFEEF04BDu);
}

TEST(FileVersionInfo, OnlyTableIsTakenWhateverTheUser) {
    CFileVersionInfo info;
    ASSERT_TRUE(info.LoadFromFile(Module(L"french"), kEnglishUs));
    EXPECT_EQ(info.QueryProductName(), L"Product FR");
}

TEST(FileVersionInfo, MissingValueStaysEmpty) {
    CFileVersionInfo info;
    ASSERT_TRUE(info.LoadFromFile(Module(L"no_comments"), kEnglishUs));
    EXPECT_TRUE(info.m_strComments.empty());
    EXPECT_EQ(info.m_strLegalTrademarks, L"TM EN");
}

TEST(FileVersionInfo, NoResourceClearsEverything) {
    CFileVersionInfo info;
    ASSERT_TRUE(info.LoadFromFile(Module(L"french"), kEnglishUs));
    // A language library holds no version resource.
    EXPECT_FALSE(info.LoadFromFile(GetModuleDirectory() + L"LANG_ENU.DLL"));
    EXPECT_TRUE(info.QueryProductName().empty());
    EXPECT_TRUE(info.m_strCompanyName.empty());
    EXPECT_EQ(info.m_fixedInfo.dwSignature, 0u);
    EXPECT_FALSE(info.LoadFromFile(GetModuleDirectory() + L"no such file.dll"));
}

TEST(FileVersionInfo, TranslationPreferenceOrder) {
    auto choose = [](std::initializer_list<DWORD> entries, LANGID user) {
        return CFileVersionInfo::ChooseTranslation(entries.begin(), entries.size(), user);
    };
    EXPECT_EQ(choose({0x04E40409, 0x03B50412}, kKorean), 1u); // the same language
    EXPECT_EQ(choose({0x04E40409, 0x04E40807}, kGerman), 1u); // the same primary language
    EXPECT_EQ(choose({0x04E40409, 0x04B00000}, kKorean), 1u); // neutral
    EXPECT_EQ(choose({0x04E4040C, 0x04E40809}, kKorean), 1u); // any English
    EXPECT_EQ(choose({0x04E4040C, 0x04E40410}, kKorean), 0u); // the first
}
