// Whole files in and out, through the wide-character calls.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// The bytes of a file, at most limit of them; empty when it cannot be opened.
std::string ReadWholeFile(const std::wstring& path, size_t limit);
// Writes all of the bytes to a file or pipe; false when a write fails.
bool WriteAll(HANDLE handle, const std::string& bytes);
