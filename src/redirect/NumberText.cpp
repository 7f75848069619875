#include "NumberText.h"

#include <charconv>
#include <climits>
#include <cwctype>
#include <string>

namespace {

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

size_t SkipSpace(std::wstring_view text) {
    size_t i = 0;
    while (i < text.size() && std::iswspace(text[i]))
        ++i;
    return i;
}

} // namespace

int ReadInt(std::wstring_view text) {
    size_t i = SkipSpace(text);
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    long long value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    return static_cast<int>(value);
}

double ReadDouble(std::wstring_view text) {
    size_t i = SkipSpace(text);
    std::string number;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        number += static_cast<char>(text[i++]);
    size_t digits = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i, ++digits)
        number += static_cast<char>(text[i]);
    if (i < text.size() && text[i] == L'.') {
        number += '.';
        for (++i; i < text.size() && IsDigit(text[i]); ++i, ++digits)
            number += static_cast<char>(text[i]);
    }
    if (digits == 0)
        return 0.0;
    if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
        size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == L'+' || text[j] == L'-'))
            exponent += static_cast<char>(text[j++]);
        if (j < text.size() && IsDigit(text[j])) {
            for (; j < text.size() && IsDigit(text[j]); ++j)
                exponent += static_cast<char>(text[j]);
            number += exponent;
        }
    }
    const char* begin = number.c_str();
    if (*begin == '+')
        ++begin;
    double value = 0.0;
    std::from_chars(begin, number.c_str() + number.size(), value);
    return value;
}
