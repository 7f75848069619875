// Searching text that only grows between resets, without looking at its old part again.
#pragma once

#include <string>
#include <string_view>

// Whether key occurs in text at a position that ends after `searched` characters: the
// occurrences that appending to a text of that length could have created.
inline size_t FindSince(const std::wstring& text, size_t searched, std::wstring_view key) {
    size_t from = searched >= key.size() ? searched - (key.size() - 1) : 0;
    return text.find(key, from);
}
inline bool FoundSince(const std::wstring& text, size_t searched, std::wstring_view key) {
    return FindSince(text, searched, key) != std::wstring::npos;
}
