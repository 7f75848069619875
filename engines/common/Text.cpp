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

std::string UserText(std::wstring_view text) {
    // Looked for in what Quelvox will read back: a character the code page lacks may come out
    // as one that completes a failure text.
    std::wstring shown = Widen(ToAnsi(text), CP_ACP);
    for (const std::wstring_view key :
         {std::wstring_view(L"Sorry,"), std::wstring_view(L"Cannot open demuxer.")}) {
        // The key's last character is written as its URL escape.
        const std::wstring escape = key.back() == L',' ? L"%2C" : L"%2E";
        for (size_t at = shown.find(key); at != std::wstring::npos;
             at = shown.find(key, at + key.size()))
            shown.replace(at + key.size() - 1, 1, escape);
    }
    return ToAnsi(shown);
}
