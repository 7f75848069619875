#include "Command.h"

#include <windows.h>

std::wstring QuoteArg(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring quoted = L"\"";
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        // Backslashes count only before a quote.
        quoted.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        quoted += c;
    }
    quoted.append(slashes * 2, L'\\');
    return quoted + L"\"";
}

std::wstring JoinArgs(const std::vector<std::wstring>& args) {
    std::wstring line;
    for (const std::wstring& arg : args)
        line += (line.empty() ? L"" : L" ") + QuoteArg(arg);
    return line;
}

std::wstring PathForFFmpeg(const std::wstring& path) {
    std::wstring full(32768, L'\0');
    DWORD size =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (size == 0 || size >= full.size())
        return path;
    full.resize(size);
    // ffmpeg opens files through the wide-character calls, which take long paths only so marked;
    // a network path's mark has a form of its own.
    if (full.size() < MAX_PATH - 12 || full.rfind(L"\\\\?\\", 0) == 0 ||
        full.rfind(L"\\\\.\\", 0) == 0)
        return full;
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(PathForFFmpeg(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
