// CFileVersionInfo: the version resource of a module file, its fixed part and the well-known
// strings of the translation that best suits the user's language.
#pragma once

#include <windows.h>

#include <string>

class CFileVersionInfo {
public:
    CFileVersionInfo() { Clear(); }
    virtual ~CFileVersionInfo() = default;

    virtual void Clear();
    bool LoadFromExecutable();
    // False when the file has no version resource or cannot be read; the object is cleared.
    bool LoadFromFile(const std::wstring& path) {
        return LoadFromFile(path, ::GetUserDefaultLangID());
    }
    // As read by a user of the given language.
    bool LoadFromFile(const std::wstring& path, LANGID userLanguage);
    std::wstring QueryProductName() const { return m_strProductName; }

    // Index of the translation entry (language in the low, code page in the high half) to read.
    static size_t ChooseTranslation(const DWORD* entries, size_t count, LANGID userLanguage);

    VS_FIXEDFILEINFO m_fixedInfo;
    std::wstring m_strCompanyName;
    std::wstring m_strFileDescription;
    std::wstring m_strFileVersion;
    std::wstring m_strInternalName;
    std::wstring m_strLegalCopyright;
    std::wstring m_strOriginalFileName;
    std::wstring m_strProductName;
    std::wstring m_strProductVersion;
    std::wstring m_strComments;
    std::wstring m_strLegalTrademarks;
    std::wstring m_strPrivateBuild;
    std::wstring m_strSpecialBuild;
};
