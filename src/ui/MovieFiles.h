// Which files are movies Quelvox takes, one list for the drop, the command line, folders and
// the file dialog: by extension.
#pragma once

#include <functional>
#include <string>
#include <vector>

// A movie extension ends the path's name (any case); a dot in a folder's name does not count.
bool IsMovieFile(const std::wstring& path);
// The file dialog's filter: the movie extensions, then all files.
std::wstring MovieFilter();
// The movies among the paths, in their order: files with a movie extension, and for a folder
// the movies inside it and its sub-folders, in name order as Explorer shows it. Anything else is
// left out. examined, when given, hears every 256 entries looked at, with how many so far.
std::vector<std::wstring> CollectMovies(const std::vector<std::wstring>& paths,
                                        const std::function<void(size_t)>& examined = {});
