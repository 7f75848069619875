#include "QueueStore.h"

#include "framework/Handle.h"
#include "framework/Paths.h"
#include "framework/String.h"

#include <shlobj.h>

namespace {

constexpr const char* kHeader = "Quelvox queue";
constexpr const char* kRunning = "running";
constexpr const char* kRestart = "restart";
// How long a list held by another program is waited for.
constexpr ULONGLONG kHeldWaitMs = 2000;

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

// Reads the list line by line in blocks, so that a broken file costs no more memory than a
// list may hold; false when it holds more items than a list may.
bool ReadItems(HANDLE file, std::vector<std::string>& head, std::vector<CQueueStore::Item>& items) {
    std::string line, block(1 << 16, '\0');
    const auto take = [&] {
        if (head.size() < 2) {
            head.push_back(line);
        } else if (line.size() >= 3 && (line[0] == '0' || line[0] == '1') && line[1] == '\t') {
            // A line cut short or mangled is left out, not the list.
            items.push_back({Wide(line.substr(2)), line[0] == '1'});
        }
        line.clear();
    };
    DWORD got = 0;
    while (::ReadFile(file, block.data(), static_cast<DWORD>(block.size()), &got, nullptr) &&
           got > 0) {
        for (DWORD i = 0; i < got; ++i) {
            if (block[i] != '\n') {
                // No path is this long: the file is no list.
                if (line.size() > 3 * 32768)
                    return false;
                line += block[i];
                continue;
            }
            take();
            if (items.size() > CQueueStore::kMaxItems)
                return false;
        }
        if (head.size() == 1 && head[0] != kHeader)
            return true; // not our list: nothing more to read
    }
    if (!line.empty())
        take();
    return items.size() <= CQueueStore::kMaxItems;
}

// A file that cannot be a list of ours is kept for whoever wants to look at it, under a name
// that tells when and why; the name it has now.
std::wstring SetAside(const std::wstring& path) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const std::wstring stem =
        path.substr(0, path.rfind(L'.')) +
        FormatString(L" (set aside %04u-%02u-%02u %02u-%02u-%02u", now.wYear, now.wMonth, now.wDay,
                     now.wHour, now.wMinute, now.wSecond);
    for (int n = 1; n < 100; ++n) {
        const std::wstring aside =
            n == 1 ? stem + L").txt" : FormatString(L"%s, %d).txt", stem.c_str(), n);
        if (::MoveFileExW(LongPathForm(path).c_str(), LongPathForm(aside).c_str(), 0))
            return aside;
        if (::GetLastError() != ERROR_ALREADY_EXISTS && ::GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    return path;
}

} // namespace

bool CQueueStore::Open(const std::wstring& folder, const wchar_t* mutexName) {
    if (folder.empty())
        return false;
    for (int slot = 1; slot <= kSlots; ++slot) {
        const std::wstring name =
            slot == 1 ? std::wstring(mutexName) : FormatString(L"%s.%d", mutexName, slot);
        // The name lives as long as a handle to it: an owner that ended without a word, however,
        // let go of it, and its file is ours now.
        CHandle mutex(::CreateMutexW(nullptr, FALSE, name.c_str()));
        if (!mutex || ::GetLastError() == ERROR_ALREADY_EXISTS)
            continue;
        ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
        m_strFile = slot == 1 ? folder + L"\\Queue.txt"
                              : FormatString(L"%s\\Queue %d.txt", folder.c_str(), slot);
        m_hMutex = std::move(mutex);
        return true;
    }
    return false;
}

CQueueStore::Previous CQueueStore::Read() const {
    Previous previous;
    if (!IsOpen())
        return previous;
    std::vector<std::string> head;
    {
        // A reader never keeps the list from being replaced.
        const CHandle file = FileHandle(::CreateFileW(
            LongPathForm(m_strFile).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        LARGE_INTEGER size{};
        if (!file || !::GetFileSizeEx(file, &size))
            return previous;
        if (static_cast<unsigned long long>(size.QuadPart) <= kMaxBytes &&
            ReadItems(file, head, previous.items)) {
            if (head.size() < 2 || head[0] != kHeader)
                previous.items.clear();
            else
                previous.left = head[1] == kRestart ? Left::Restart : Left::Unexpected;
            return previous;
        }
    }
    previous.items.clear();
    previous.left = Left::SetAside;
    previous.setAsideAs = SetAside(m_strFile);
    return previous;
}

CQueueStore::Saved CQueueStore::Save(const std::vector<Item>& items, bool restart) const {
    if (!IsOpen())
        return Saved::Failed;
    std::string bytes = std::string(kHeader) + "\n" + (restart ? kRestart : kRunning) + "\n";
    for (const Item& item : items)
        bytes += (item.ticked ? "1\t" : "0\t") + Utf8(item.path) + "\n";
    const std::wstring next = m_strFile + L".new";
    DWORD error = ERROR_SUCCESS;
    {
        const CHandle file = FileHandle(::CreateFileW(LongPathForm(next).c_str(), GENERIC_WRITE, 0,
                                                      nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        if (!file ||
            !::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size() || !::FlushFileBuffers(file))
            error = ::GetLastError();
    }
    if (error != ERROR_SUCCESS) {
        // What was written of it only takes space.
        ::DeleteFileW(LongPathForm(next).c_str());
        return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? Saved::DiskFull
                                                                           : Saved::Failed;
    }
    // A scanner, an indexer or a backup may hold the list for a moment: this runs on a worker,
    // which can wait for it.
    for (const ULONGLONG giveUp = ::GetTickCount64() + kHeldWaitMs;; ::Sleep(50)) {
        if (::MoveFileExW(LongPathForm(next).c_str(), LongPathForm(m_strFile).c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return Saved::Kept;
        const DWORD moveError = ::GetLastError();
        if ((moveError != ERROR_SHARING_VIOLATION && moveError != ERROR_ACCESS_DENIED &&
             moveError != ERROR_LOCK_VIOLATION) ||
            ::GetTickCount64() >= giveUp)
            return Saved::Failed;
    }
}

void CQueueStore::Discard() const {
    if (IsOpen())
        ::DeleteFileW(LongPathForm(m_strFile).c_str());
}
