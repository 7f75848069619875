#include "RunLog.h"

#include "framework/Handle.h"
#include "framework/Paths.h"
#include "framework/String.h"

#include <shlobj.h>

#include <algorithm>
#include <vector>

namespace convert {

namespace {

constexpr const wchar_t* kPattern = L"\\Run *.log";

std::string Utf8(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(std::max(size, 0)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                          size, nullptr, nullptr);
    return bytes;
}

void Append(const std::wstring& file, const std::string& bytes) {
    const CHandle handle =
        FileHandle(::CreateFileW(LongPathForm(file).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (handle)
        ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Leaves room for one more run's file among the newest: the names sort by their time.
void Prune(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const HANDLE find = ::FindFirstFileW(LongPathForm(folder + kPattern).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
    std::sort(names.begin(), names.end());
    for (size_t i = 0; i + CRunLog::kKeptRuns <= names.size(); ++i)
        ::DeleteFileW(LongPathForm(folder + L"\\" + names[i]).c_str());
}

} // namespace

void CRunLog::Begin() {
    m_file.reset();
    if (m_strFolder.empty())
        return;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const std::wstring stem =
        FormatString(L"%s\\Run %04u-%02u-%02u %02u-%02u-%02u", m_strFolder.c_str(), now.wYear,
                     now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    // The worker names the file: only it looks at the folder, and each run's jobs follow in
    // order, so the run's lines find the name its first job chose.
    m_file = std::make_shared<std::wstring>();
    m_worker.Post([folder = m_strFolder, stem, file = m_file] {
        ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
        Prune(folder);
        // Two runs in one second: the second adds its number.
        *file = stem + L".log";
        for (int n = 2;
             ::GetFileAttributesW(LongPathForm(*file).c_str()) != INVALID_FILE_ATTRIBUTES &&
             n < 100;
             ++n)
            *file = FormatString(L"%s (%d).log", stem.c_str(), n);
        Append(*file, "\xEF\xBB\xBF");
    });
}

void CRunLog::Write(const std::wstring& text) {
    if (m_file)
        m_worker.Post([file = m_file, bytes = Utf8(WithCrLf(text))] { Append(*file, bytes); });
}

} // namespace convert
