#include "File.h"

#include "Handle.h"
#include <algorithm>

std::string ReadWholeFile(const std::wstring& path, size_t limit) {
    // Others may keep the file open for writing: we only read it once, at once.
    const OwnedHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return {};
    std::string bytes;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size))
        bytes.reserve(static_cast<size_t>(std::min<LONGLONG>(size.QuadPart, limit)));
    char buffer[65536];
    DWORD got = 0;
    while (bytes.size() < limit &&
           ReadFile(file, buffer, static_cast<DWORD>(std::min(sizeof buffer, limit - bytes.size())),
                    &got, nullptr) &&
           got > 0)
        bytes.append(buffer, got);
    return bytes;
}

bool WriteAll(HANDLE handle, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                       &written, nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return true;
}
