// Which files are movies Quelvox takes, one list for the drop, the command line, folders and
// the file dialog: by extension.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A movie extension ends the path's name (any case); a dot in a folder's name does not count.
bool IsMovieFile(const std::wstring& path);
// The file dialog's filter: the movie extensions, then all files.
std::wstring MovieFilter();
// The movies among the paths, in their order: files with a movie extension, and for a folder
// the movies inside it and its sub-folders, in name order as Explorer shows it. Anything else is
// left out. examined, when given, hears every 256 entries looked at, with how many so far, and
// says whether to go on (false: what was found so far is returned).
std::vector<std::wstring> CollectMovies(const std::vector<std::wstring>& paths,
                                        const std::function<bool(size_t)>& examined = {});

// CollectMovies on a thread of its own, since a folder on a slow share may take minutes: the
// window waits for nothing. When it is done it posts message to owner with its number.
class CMovieSearch {
public:
    CMovieSearch() = default;
    // Tells a search under way to give up; it ends by itself.
    ~CMovieSearch();
    CMovieSearch(const CMovieSearch&) = delete;
    CMovieSearch& operator=(const CMovieSearch&) = delete;

    // Starts a search (one at a time); its number comes with the message.
    WPARAM Start(std::vector<std::wstring> paths, HWND owner, UINT message);
    // Waits for the search at most ms; true when it is done.
    bool Wait(DWORD ms) const;
    // How many entries it has looked at so far.
    size_t Examined() const;
    // The movies of the finished search with this number, once; nothing for another search,
    // one not finished or a second time.
    std::optional<std::vector<std::wstring>> Take(WPARAM search);

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    WPARAM m_nSearch = 0;
    bool m_bTaken = true;
};
