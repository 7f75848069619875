// Folders the program finds its files in.
#pragma once

#include <string>

// Folder of the running executable with its trailing backslash; empty when the module path
// holds no backslash.
std::wstring GetModuleDirectory();

// The full path of the running executable, however long.
std::wstring GetModulePath();

// The path as file calls take it however long: a full path marked \\?\ (\\?\UNC\ for a share),
// since without that Windows fails beyond 260 characters. Other paths come back as they are.
std::wstring LongPathForm(const std::wstring& path);

// The folder of the program's state for the user (the kept list, the runs' logs):
// %LOCALAPPDATA%\Tavrenix\Quelvox. Empty when the system names no such folder.
std::wstring StateFolder();
