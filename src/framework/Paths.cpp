#include "Paths.h"

#include <windows.h>

#include <shlobj.h>

std::wstring GetModuleDirectory() {
    wchar_t path[MAX_PATH] = L"";
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length < MAX_PATH ? length : MAX_PATH - 1);
    size_t slash = folder.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
}

std::wstring GetModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(path.size());
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), size);
        // A path cut to the buffer comes back as long as the buffer.
        if (length < size) {
            path.resize(length);
            return path;
        }
        if (size >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

std::wstring LongPathForm(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0)
        return path;
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\')
        return L"\\\\?\\" + path;
    if (path.size() > 2 && path.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + path.substr(2);
    return path;
}

std::wstring StateFolder() {
    wchar_t* local = nullptr;
    std::wstring folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local)))
        folder = std::wstring(local) + L"\\Tavrenix\\Quelvox";
    ::CoTaskMemFree(local);
    return folder;
}
