#include "Options.h"

#include <windows.h>

#include <set>

namespace {
// Options that take no value; every other option takes the next word.
const std::set<std::wstring> kFlags = {L"-identify",
                                       L"-nosound",
                                       L"-really-quiet",
                                       L"-quiet",
                                       L"-zoom",
                                       L"-noodml",
                                       L"-noautosub",
                                       L"-fs",
                                       L"-nocache",
                                       L"-noconsolecontrols",
                                       L"-nolirc",
                                       L"-nomouseinput",
                                       L"-novideo",
                                       L"-idx",
                                       L"-forceidx",
                                       L"-noidx",
                                       L"-v"};
// Options that take the next word, whatever it is.
const std::set<std::wstring> kValued = {L"-o",
                                        L"-vf",
                                        L"-af",
                                        L"-xy",
                                        L"-ofps",
                                        L"-ovc",
                                        L"-oac",
                                        L"-ffourcc",
                                        L"-sub",
                                        L"-sid",
                                        L"-aid",
                                        L"-subcp",
                                        L"-font",
                                        L"-vo",
                                        L"-ao",
                                        L"-wid",
                                        L"-ss",
                                        L"-frames",
                                        L"-xvidencopts",
                                        L"-x264encopts",
                                        L"-lameopts",
                                        L"-faacopts",
                                        L"-lavcopts",
                                        L"-of",
                                        L"-lavfopts",
                                        L"-osdlevel",
                                        L"-subfont-text-scale",
                                        L"-subfont-blur",
                                        L"-subfont-outline",
                                        L"-subfont-autoscale"};
} // namespace

bool Options::Has(const std::wstring& name) const {
    for (const std::wstring& flag : flags)
        if (flag == name)
            return true;
    return values.count(name) > 0;
}

std::wstring Options::Value(const std::wstring& name, const std::wstring& fallback) const {
    auto it = values.find(name);
    return it == values.end() || it->second.empty() ? fallback : it->second.back();
}

std::map<std::wstring, std::wstring> Options::SubOptions(const std::wstring& name) const {
    std::map<std::wstring, std::wstring> result;
    auto it = values.find(name);
    if (it == values.end())
        return result;
    for (const std::wstring& value : it->second) {
        size_t start = 0;
        while (start <= value.size()) {
            size_t end = value.find(L':', start);
            if (end == std::wstring::npos)
                end = value.size();
            const std::wstring item = value.substr(start, end - start);
            const size_t eq = item.find(L'=');
            if (!item.empty())
                result[item.substr(0, eq)] = eq == std::wstring::npos ? L"" : item.substr(eq + 1);
            start = end + 1;
        }
    }
    return result;
}

Options ParseOptions(int argc, wchar_t** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg.size() > 1 && arg[0] == L'-') {
            // An option we do not know takes the next word, unless that word is a file: a
            // flag of a newer command line must not swallow the movie's name.
            const bool nextIsFile = i + 1 < argc &&
                                    GetFileAttributesW(argv[i + 1]) != INVALID_FILE_ATTRIBUTES &&
                                    !(GetFileAttributesW(argv[i + 1]) & FILE_ATTRIBUTE_DIRECTORY);
            if (kFlags.count(arg) || i + 1 >= argc || (!kValued.count(arg) && nextIsFile))
                options.flags.push_back(arg);
            else
                options.values[arg].push_back(argv[++i]);
        } else {
            options.files.push_back(arg);
        }
    }
    return options;
}
