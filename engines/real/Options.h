// The player's and the encoder's command lines, as MPlayer's programs take them.
#pragma once

#include <map>
#include <string>
#include <vector>

struct Options {
    std::vector<std::wstring> files;                          // words that are no option
    std::map<std::wstring, std::vector<std::wstring>> values; // option -> its values, in order
    std::vector<std::wstring> flags;                          // options without a value

    bool Has(const std::wstring& name) const;
    // The last value of an option, or fallback.
    std::wstring Value(const std::wstring& name, const std::wstring& fallback = L"") const;
    // "a=1:b=2" sub-options of every value of the option, later ones winning.
    std::map<std::wstring, std::wstring> SubOptions(const std::wstring& name) const;
};

Options ParseOptions(int argc, wchar_t** argv);
