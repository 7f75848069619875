#include "Text.h"

#include <windows.h>

std::string Narrow(std::wstring_view text, unsigned codePage) {
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size : 0, '\0');
    WideCharToMultiByte(codePage, 0, text.data(), length, result.data(), size, nullptr, nullptr);
    return result;
}

std::wstring Widen(std::string_view bytes, unsigned codePage) {
    if (bytes.empty())
        return {};
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    std::wstring result(size > 0 ? size : 0, L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), length, result.data(), size);
    return result;
}

std::string ToUtf8(std::wstring_view text) {
    return Narrow(text, CP_UTF8);
}

std::wstring FromUtf8(std::string_view text) {
    return Widen(text, CP_UTF8);
}

std::string ToAnsi(std::wstring_view text) {
    return Narrow(text, CP_ACP);
}
