#include "Language.h"

#include "framework/Paths.h"
#include "QuelvoxApp.h"
#include "framework/String.h"

namespace {

constexpr LCID kEnglish = 1033;
// The enumeration is asked again while it fails, but not for ever.
constexpr int kEnumerationTries = 3;

} // namespace

std::wstring LanguageAbbreviation(LCID lcid) {
    wchar_t abbreviation[4] = L"";
    if (::GetLocaleInfoW(lcid, LOCALE_SABBREVLANGNAME, abbreviation, 4) == 0)
        return {};
    abbreviation[3] = L'\0';
    return abbreviation;
}

namespace {

std::wstring LibraryPath(const std::wstring& folder, const std::wstring& abbreviation) {
    return FormatString(L"%sLANG_%s.DLL", folder.c_str(), abbreviation.c_str());
}

bool FileExists(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    ::FindClose(find);
    return true;
}

// The enumeration's callback takes no context of its own.
CQuelvoxApp* s_enumeratingApp = nullptr;
const std::wstring* s_enumeratingFolder = nullptr;

BOOL CALLBACK EnumLocalesProc(wchar_t* localeText) {
    LCID lcid = 0;
    if (swscanf(localeText, L"%x", &lcid) != 1)
        return TRUE;
    const std::wstring abbreviation = LanguageAbbreviation(lcid);
    if (!abbreviation.empty() && FileExists(LibraryPath(*s_enumeratingFolder, abbreviation)))
        s_enumeratingApp->m_arrLangLcid.push_back(lcid);
    return TRUE;
}

} // namespace

void SelectLanguage(CQuelvoxApp& app, LCID lcid) {
    SelectLanguageIn(app, lcid, GetModuleDirectory());
}

void SelectLanguageIn(CQuelvoxApp& app, LCID lcid, const std::wstring& folder) {
    app.m_arrLangLcid.clear();
    app.m_arrLangLcid.shrink_to_fit();
    s_enumeratingApp = &app;
    s_enumeratingFolder = &folder;
    for (int tries = 0; tries < kEnumerationTries; ++tries) {
        app.m_arrLangLcid.clear();
        if (::EnumSystemLocalesW(EnumLocalesProc, LCID_INSTALLED))
            break;
    }
    s_enumeratingApp = nullptr;
    s_enumeratingFolder = nullptr;

    const std::wstring abbreviation = LanguageAbbreviation(lcid);
    wcsncpy(app.m_szLangAbbrev, abbreviation.c_str(), 3);
    app.m_szLangAbbrev[3] = L'\0';
    app.m_lcid = lcid;
    app.m_hLangDll = ::LoadLibraryW(LibraryPath(folder, abbreviation).c_str());
    if (!app.m_hLangDll) {
        app.m_lcid = kEnglish;
        app.m_hLangDll = ::LoadLibraryW(LibraryPath(folder, L"ENU").c_str());
    }
    if (app.m_hLangDll)
        AfxSetResourceHandle(app.m_hLangDll);
    else
        AfxMessageBox(L"Language file not found!!!", MB_OK);
}
