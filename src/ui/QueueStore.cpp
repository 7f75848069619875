#include "QueueStore.h"

#include "framework/Handle.h"
#include "framework/Paths.h"

#include <shlobj.h>

namespace {

constexpr const char* kHeader = "Quelvox queue";
constexpr const char* kRunning = "running";
constexpr const char* kRestart = "restart";

std::string Utf8(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                          size, nullptr, nullptr);
    return bytes;
}

std::wstring Wide(const std::string& bytes) {
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                          size);
    return text;
}

std::string ReadAll(const std::wstring& path) {
    const CHandle file =
        FileHandle(::CreateFileW(LongPathForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file, &size) || size.QuadPart > (256 << 20))
        return bytes;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() &&
        !::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        read = 0;
    bytes.resize(read);
    return bytes;
}

} // namespace

std::wstring CQueueStore::DefaultFolder() {
    wchar_t* local = nullptr;
    std::wstring folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local)))
        folder = std::wstring(local) + L"\\Tavrenix\\Quelvox";
    ::CoTaskMemFree(local);
    return folder;
}

bool CQueueStore::Open(const std::wstring& folder, const wchar_t* mutexName) {
    if (folder.empty())
        return false;
    CHandle mutex(::CreateMutexW(nullptr, TRUE, mutexName));
    // An abandoned mutex is one whose owner ended without a word: its file is ours now.
    if (!mutex || (::GetLastError() == ERROR_ALREADY_EXISTS &&
                   ::WaitForSingleObject(mutex, 0) == WAIT_TIMEOUT))
        return false;
    ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    m_strFile = folder + L"\\Queue.txt";
    m_hMutex = std::move(mutex);
    return true;
}

CQueueStore::Left CQueueStore::Previous(std::vector<Item>& items) const {
    items.clear();
    if (!IsOpen())
        return Left::Nothing;
    const std::string bytes = ReadAll(m_strFile);
    std::vector<std::string> lines;
    for (size_t at = 0; at < bytes.size();) {
        size_t end = bytes.find('\n', at);
        if (end == std::string::npos)
            end = bytes.size();
        lines.push_back(bytes.substr(at, end - at));
        at = end + 1;
    }
    if (lines.size() < 2 || lines[0] != kHeader)
        return Left::Nothing;
    for (size_t i = 2; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        // A line cut short or mangled is left out, not the list.
        if (line.size() < 3 || (line[0] != '0' && line[0] != '1') || line[1] != '\t')
            continue;
        items.push_back({Wide(line.substr(2)), line[0] == '1'});
    }
    return lines[1] == kRestart ? Left::Restart : Left::Unexpected;
}

bool CQueueStore::Save(const std::vector<Item>& items, bool restart) const {
    if (!IsOpen())
        return false;
    std::string bytes = std::string(kHeader) + "\n" + (restart ? kRestart : kRunning) + "\n";
    for (const Item& item : items)
        bytes += (item.ticked ? "1\t" : "0\t") + Utf8(item.path) + "\n";
    const std::wstring next = m_strFile + L".new";
    {
        const CHandle file = FileHandle(::CreateFileW(LongPathForm(next).c_str(), GENERIC_WRITE, 0,
                                                      nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        if (!file ||
            !::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size() || !::FlushFileBuffers(file))
            return false;
    }
    return ::MoveFileExW(LongPathForm(next).c_str(), LongPathForm(m_strFile).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

void CQueueStore::Discard() const {
    if (IsOpen())
        ::DeleteFileW(LongPathForm(m_strFile).c_str());
}
