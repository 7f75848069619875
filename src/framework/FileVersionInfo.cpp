#include "FileVersionInfo.h"

#include "framework/String.h"

#include <functional>
#include <vector>

void CFileVersionInfo::Clear() {
    m_fixedInfo = {};
    for (std::wstring* s :
         {&m_strCompanyName, &m_strFileDescription, &m_strFileVersion, &m_strInternalName,
          &m_strLegalCopyright, &m_strOriginalFileName, &m_strProductName, &m_strProductVersion,
          &m_strComments, &m_strLegalTrademarks, &m_strPrivateBuild, &m_strSpecialBuild})
        s->clear();
}

bool CFileVersionInfo::LoadFromExecutable() {
    wchar_t path[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return LoadFromFile(path);
}

size_t CFileVersionInfo::ChooseTranslation(const DWORD* entries, size_t count, LANGID user) {
    const std::function<bool(WORD)> preferences[] = {
        [user](WORD lang) { return lang == user; },
        [user](WORD lang) { return (lang & 0xFF) == (user & 0xFF); },
        [](WORD lang) { return lang == 0; },
        [](WORD lang) { return (lang & 0xFF) == 0; },
        [](WORD lang) { return lang == 9; },
        [](WORD lang) { return (lang & 0xFF) == 9; },
    };
    for (const auto& matches : preferences)
        for (size_t i = 0; i < count; ++i)
            if (matches(LOWORD(entries[i])))
                return i;
    return 0;
}

bool CFileVersionInfo::LoadFromFile(const std::wstring& path, LANGID userLanguage) {
    Clear();
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0)
        return false;
    std::vector<BYTE> block(size);
    if (!::GetFileVersionInfoW(path.c_str(), handle, size, block.data()))
        return false;

    void* value = nullptr;
    UINT length = 0;
    if (::VerQueryValueW(block.data(), L"\\", &value, &length) && length == sizeof m_fixedInfo)
        m_fixedInfo = *static_cast<VS_FIXEDFILEINFO*>(value);

    // Without a translation table there is no string table to name.
    if (!::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) ||
        length < sizeof(DWORD))
        return true;
    const auto* entries = static_cast<const DWORD*>(value);
    const DWORD chosen = entries[ChooseTranslation(entries, length / sizeof(DWORD), userLanguage)];
    const std::wstring prefix =
        FormatString(L"\\StringFileInfo\\%04X%04X\\", LOWORD(chosen), HIWORD(chosen));

    const struct {
        const wchar_t* name;
        std::wstring* member;
    } strings[] = {{L"CompanyName", &m_strCompanyName},
                   {L"FileDescription", &m_strFileDescription},
                   {L"FileVersion", &m_strFileVersion},
                   {L"InternalName", &m_strInternalName},
                   {L"LegalCopyright", &m_strLegalCopyright},
                   {L"OriginalFileName", &m_strOriginalFileName},
                   {L"ProductName", &m_strProductName},
                   {L"ProductVersion", &m_strProductVersion},
                   {L"Comments", &m_strComments},
                   {L"LegalTrademarks", &m_strLegalTrademarks},
                   {L"PrivateBuild", &m_strPrivateBuild},
                   {L"SpecialBuild", &m_strSpecialBuild}};
    for (const auto& s : strings)
        if (::VerQueryValueW(block.data(), (prefix + s.name).c_str(), &value, &length) && value)
            s.member->assign(static_cast<const wchar_t*>(value));
    return true;
}
