#include "MovieFiles.h"

#include "framework/Handle.h"
#include "framework/Paths.h"

#include <windows.h>

#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <cwctype>

namespace {

// The extensions of old (".mp" among them), what the file dialog's "*.mp*" took, and what the
// engines read, phone and camera movies above all.
constexpr const wchar_t* kMovieExtensions[] = {
    L".avi", L".asf", L".wmv",  L".mp",  L".mpg", L".mpe", L".mpeg", L".mpx",
    L".mp4", L".m4v", L".vob",  L".dat", L".ts",  L".tp",  L".m2ts", L".mts",
    L".mkv", L".mov", L".webm", L".flv", L".3gp", L".ogv", L".divx"};

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class Collector {
public:
    Collector(std::vector<std::wstring>& movies, const std::function<bool(size_t)>& examined)
        : m_movies(movies), m_examined(examined) {}

    bool Stopped() const { return m_stopped; }

    void Folder(const std::wstring& folder) {
        struct Entry {
            std::wstring name;
            bool folder;
        };
        std::vector<Entry> entries;
        WIN32_FIND_DATAW data;
        HANDLE find =
            ::FindFirstFileExW(LongPathForm(folder + L"\\*").c_str(), FindExInfoBasic, &data,
                               FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (find == INVALID_HANDLE_VALUE)
            return;
        do {
            if (m_stopped)
                break;
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            Count();
            // A junction may lead back up the tree.
            const bool isFolder = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
            if (isFolder && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                continue;
            if (isFolder || IsMovieFile(name))
                entries.push_back({name, isFolder});
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
        // As Explorer sorts by name: "clip 2" before "clip 10".
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            return ::StrCmpLogicalW(a.name.c_str(), b.name.c_str()) < 0;
        });
        for (const Entry& entry : entries) {
            if (m_stopped)
                return;
            const std::wstring path = folder + L"\\" + entry.name;
            if (entry.folder)
                Folder(path);
            else
                m_movies.push_back(path);
        }
    }

private:
    void Count() {
        if (++m_count % 256 == 0 && m_examined && !m_examined(m_count))
            m_stopped = true;
    }

    std::vector<std::wstring>& m_movies;
    const std::function<bool(size_t)>& m_examined;
    size_t m_count = 0;
    bool m_stopped = false;
};

} // namespace

bool IsMovieFile(const std::wstring& path) {
    const size_t name = path.find_last_of(L"\\/");
    const size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || (name != std::wstring::npos && dot < name))
        return false;
    const std::wstring extension = Lower(path.substr(dot));
    return std::any_of(std::begin(kMovieExtensions), std::end(kMovieExtensions),
                       [&](const wchar_t* movie) { return extension == movie; });
}

std::wstring MovieFilter() {
    std::wstring shown, patterns;
    for (const wchar_t* extension : kMovieExtensions) {
        shown += (shown.empty() ? L"*" : L",*") + std::wstring(extension);
        patterns += (patterns.empty() ? L"*" : L";*") + std::wstring(extension);
    }
    return L"Movie Files(" + shown + L")|" + patterns + L"|All Files(*.*)|*.*||";
}

std::vector<std::wstring> CollectMovies(const std::vector<std::wstring>& paths,
                                        const std::function<bool(size_t)>& examined) {
    std::vector<std::wstring> movies;
    Collector collector(movies, examined);
    for (std::wstring path : paths) {
        if (collector.Stopped())
            break;
        while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/'))
            path.pop_back();
        if (IsFolder(LongPathForm(path)))
            collector.Folder(path);
        else if (IsMovieFile(path))
            movies.push_back(path);
    }
    return movies;
}

struct CMovieSearch::Shared {
    std::atomic<size_t> examined{0};
    std::atomic<bool> cancel{false};
    std::vector<std::wstring> movies; // the thread's until done is set
    CHandle done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

CMovieSearch::~CMovieSearch() {
    if (m_shared)
        m_shared->cancel = true;
}

WPARAM CMovieSearch::Start(std::vector<std::wstring> paths, HWND owner, UINT message) {
    if (m_shared)
        m_shared->cancel = true;
    m_shared = std::make_shared<Shared>();
    m_bTaken = false;
    const WPARAM search = ++m_nSearch;
    // The thread keeps the shared part alive by itself: the window may go before it ends.
    std::thread([shared = m_shared, paths = std::move(paths), owner, message, search] {
        shared->movies = CollectMovies(paths, [&](size_t examined) {
            shared->examined = examined;
            return !shared->cancel;
        });
        ::SetEvent(shared->done);
        ::PostMessageW(owner, message, search, 0);
    }).detach();
    return search;
}

bool CMovieSearch::Wait(DWORD ms) const {
    return m_shared && ::WaitForSingleObject(m_shared->done, ms) == WAIT_OBJECT_0;
}

size_t CMovieSearch::Examined() const {
    return m_shared ? m_shared->examined.load() : 0;
}

std::optional<std::vector<std::wstring>> CMovieSearch::Take(WPARAM search) {
    if (search != m_nSearch || m_bTaken || !Wait(0))
        return std::nullopt;
    m_bTaken = true;
    return std::move(m_shared->movies);
}
