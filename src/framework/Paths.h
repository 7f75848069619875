// Folders the program finds its files in.
#pragma once

#include <string>

// Folder of the running executable with its trailing backslash; empty when the module path
// holds no backslash.
std::wstring GetModuleDirectory();

// The full path of the running executable, however long.
std::wstring GetModulePath();
