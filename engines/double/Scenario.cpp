#include "Scenario.h"

#include "Playback.h"
#include "common/File.h"
#include "common/Handle.h"
#include "common/Print.h"
#include "common/Text.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

constexpr size_t kMaxScenarioBytes = 1 << 20;

long Number(const Command& command, size_t index, long fallback) {
    if (index >= command.args.size())
        return fallback;
    return std::strtol(command.args[index].c_str(), nullptr, 10);
}

// Everything after the first `words` blank-separated words of the command's text.
std::string RestAfter(const Command& command, size_t words) {
    const std::string& rest = command.rest;
    size_t i = 0;
    for (size_t w = 0; w < words; ++w) {
        while (i < rest.size() && rest[i] == ' ')
            ++i;
        while (i < rest.size() && rest[i] != ' ')
            ++i;
    }
    if (i < rest.size() && rest[i] == ' ')
        ++i;
    return rest.substr(i < rest.size() ? i : rest.size());
}

void Progress(const Command& command) {
    long from = Number(command, 0, 0), to = Number(command, 1, 100);
    long step = Number(command, 2, 1), delay = Number(command, 3, 20);
    if (step <= 0)
        step = 1;
    for (long p = from; p <= to; p += step) {
        // The encoder's own status line: the share done two characters wide in "( 7%)".
        char line[160];
        std::snprintf(line, sizeof line,
                      "Pos:%6.1fs %6ldf (%2ld%%) %5.2ffps Trem:%4ldmin %4ldmb  A-V:0.000 "
                      "[1000:128]\r",
                      p * 0.4, p * 10, p, 25.0, (100 - p) / 10, p / 4);
        Print(line);
        if (delay > 0)
            Sleep(static_cast<DWORD>(delay));
    }
}

void Flood(const Command& command) {
    const long long total = static_cast<long long>(Number(command, 0, 1)) * 1024 * 1024;
    std::string block;
    long long line = 0, sent = 0;
    while (sent < total) {
        block.clear();
        while (block.size() < 65536) {
            char text[96];
            int n = std::snprintf(text, sizeof text,
                                  "flood %010lld the quick brown fox jumps over the lazy dog\r\n",
                                  line++);
            block.append(text, n);
        }
        if (static_cast<long long>(block.size()) > total - sent)
            block.resize(static_cast<size_t>(total - sent));
        Print(block);
        sent += static_cast<long long>(block.size());
    }
}

} // namespace

std::wstring PartialPath(const std::wstring& output) {
    return output + L".part";
}

namespace {

void WriteOutputFile(const Command& command, const RunContext& context) {
    if (context.outputPath.empty()) {
        PrintError("no output file was named (-o)\r\n");
        return;
    }
    const OwnedHandle file(CreateFileW(PartialPath(context.outputPath).c_str(), GENERIC_WRITE, 0,
                                       nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        Print("Cannot open output file.\r\n");
        return;
    }
    std::string content = "RIFF\0\0\0\0AVI LIST";
    content.resize(static_cast<size_t>(Number(command, 0, 8192)), '\0');
    WriteAll(file, content);
}

// A helper process that inherits the output pipe and outlives this one.
void HoldPipe(const Command& command, const RunContext& context) {
    std::wstring line =
        L"\"" + context.self + L"\" --hold " + std::to_wstring(Number(command, 0, 1000));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi{};
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &si, &pi)) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
}

// `play [SECONDS] [from SECONDS] [nowindow] [window-after MS]`: the length defaults to what
// [identify] says.
PlayRequest PlayRequestFor(const Command& command, const RunContext& context) {
    PlayRequest request;
    request.videoOut = context.videoOut;
    request.parentWindow = context.parentWindow;
    request.length = context.movie.length;
    request.width = context.movie.width;
    request.height = context.movie.height;
    request.fps = context.movie.fps;
    for (size_t i = 0; i < command.args.size(); ++i) {
        const std::string& arg = command.args[i];
        char* end = nullptr;
        const double seconds = std::strtod(arg.c_str(), &end);
        if (arg == "nowindow")
            request.window = false;
        else if (arg == "from" && i + 1 < command.args.size())
            request.from = std::max(0.0, std::strtod(command.args[++i].c_str(), nullptr));
        else if (arg == "window-after" && i + 1 < command.args.size())
            request.windowAfterMs = std::strtoul(command.args[++i].c_str(), nullptr, 10);
        else if (end != arg.c_str() && *end == '\0')
            request.length = std::max(0.0, seconds);
        else
            PrintError("scenario line " + std::to_string(command.line) + ": play: unknown word '" +
                       arg + "'\r\n");
    }
    return request;
}

LONG WINAPI EndOnCrash(EXCEPTION_POINTERS*) {
    return EXCEPTION_EXECUTE_HANDLER;
}

[[noreturn]] void Crash() {
    // End with the fault's code instead of starting a debugger.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(EndOnCrash);
    *static_cast<volatile int*>(nullptr) = 0;
    std::abort();
}

} // namespace

bool Scenario::Find(const std::string& section, std::vector<Command>& commands) const {
    for (const auto& [name, list] : sections) {
        if (name == section) {
            commands = list;
            return true;
        }
    }
    return false;
}

MovieFacts ReadMovieFacts(const Scenario& scenario) {
    MovieFacts facts;
    std::vector<Command> identify;
    if (!scenario.Find("identify", identify))
        return facts;
    for (const Command& command : identify) {
        if (command.name != "out")
            continue;
        const std::string& text = command.rest;
        size_t equals = text.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = text.substr(0, equals);
        const char* value = text.c_str() + equals + 1;
        if (key == "ID_LENGTH")
            facts.length = std::max(0.0, std::strtod(value, nullptr));
        else if (key == "ID_VIDEO_WIDTH")
            facts.width = std::atoi(value);
        else if (key == "ID_VIDEO_HEIGHT")
            facts.height = std::atoi(value);
        else if (key == "ID_VIDEO_FPS")
            facts.fps = std::strtod(value, nullptr);
    }
    return facts;
}

Scenario ParseScenario(const std::string& text) {
    Scenario scenario;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    std::vector<Command>* current = nullptr;
    while (std::getline(in, line)) {
        ++number;
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0)
            line.erase(0, 3);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#')
            continue;
        line.erase(0, start);
        if (line.front() == '[' && line.back() == ']') {
            scenario.sections.emplace_back(line.substr(1, line.size() - 2), std::vector<Command>{});
            current = &scenario.sections.back().second;
            continue;
        }
        if (!current)
            continue;
        Command command;
        command.line = number;
        size_t space = line.find(' ');
        command.name = line.substr(0, space);
        command.rest = space == std::string::npos ? "" : line.substr(space + 1);
        std::istringstream words(command.rest);
        for (std::string word; words >> word;)
            command.args.push_back(word);
        current->push_back(std::move(command));
    }
    return scenario;
}

Scenario LoadScenario(const std::wstring& path) {
    return ParseScenario(ReadWholeFile(path, kMaxScenarioBytes));
}

std::string ExpandText(const std::string& text) {
    std::string result, literal;
    auto flush = [&] {
        result += ToAnsi(FromUtf8(literal));
        literal.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            literal += text[i];
            continue;
        }
        char c = text[++i];
        switch (c) {
        case 'r':
            literal += '\r';
            break;
        case 'n':
            literal += '\n';
            break;
        case 't':
            literal += '\t';
            break;
        case 'x':
            if (i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
                flush();
                result +=
                    static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
                i += 2;
            } else {
                literal += "\\x";
            }
            break;
        default:
            literal += c;
            break;
        }
    }
    flush();
    return result;
}

int RunCommands(const std::vector<Command>& commands, const RunContext& context) {
    for (const Command& command : commands) {
        const std::string& name = command.name;
        if (name == "out") {
            Print(ExpandText(command.rest) + "\r\n");
        } else if (name == "print") {
            Print(ExpandText(command.rest));
        } else if (name == "err") {
            PrintError(ExpandText(command.rest) + "\r\n");
        } else if (name == "bytes") {
            std::string fill = command.args.size() > 1 ? command.args[1] : "x";
            std::string bytes(static_cast<size_t>(Number(command, 0, 0)), fill[0]);
            Print(bytes + ExpandText(RestAfter(command, 2)));
        } else if (name == "flood") {
            Flood(command);
        } else if (name == "progress") {
            Progress(command);
        } else if (name == "output") {
            WriteOutputFile(command, context);
        } else if (name == "sleep") {
            Sleep(static_cast<DWORD>(Number(command, 0, 0)));
        } else if (name == "hang") {
            Sleep(INFINITE);
        } else if (name == "crash") {
            Crash();
        } else if (name == "hold") {
            HoldPipe(command, context);
        } else if (name == "play") {
            if (Play(PlayRequestFor(command, context)) == PlayEnd::Quit)
                return 0;
        } else if (name == "exit") {
            return static_cast<int>(Number(command, 0, 0));
        } else {
            PrintError("scenario line " + std::to_string(command.line) + ": unknown command '" +
                       name + "'\r\n");
        }
    }
    return 0;
}

void LogCommandLine(const wchar_t* program) {
    wchar_t path[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"QV_DOUBLE_LOG", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    const OwnedHandle file(CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file)
        WriteAll(file, ToUtf8(std::wstring(program) + L"\t" + GetCommandLineW() + L"\n"));
}
