#include "DoubleMain.h"

#include "Scenario.h"
#include "common/Print.h"
#include "common/ProgramPath.h"
#include "common/Text.h"

#include <windows.h>

#include <string>

namespace {

bool HasArg(int argc, wchar_t** argv, const wchar_t* arg) {
    for (int i = 1; i < argc; ++i)
        if (std::wstring(argv[i]) == arg)
            return true;
    return false;
}

std::wstring ArgAfter(int argc, wchar_t** argv, const wchar_t* arg) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::wstring(argv[i]) == arg)
            return argv[i + 1];
    return {};
}

const std::vector<Command>& DefaultEncode() {
    static const std::vector<Command> commands = ParseScenario("[encode]\n"
                                                               "progress 0 100 5 50\n"
                                                               "output\n")
                                                     .sections.front()
                                                     .second;
    return commands;
}

} // namespace

int RunDouble(Engine engine, int argc, wchar_t** argv) {
    const bool player = engine == Engine::Player;
    LogCommandLine(player ? L"mplayer" : L"mencoder");
    if (argc == 3 && std::wstring(argv[1]) == L"--hold") {
        Sleep(static_cast<DWORD>(_wtoi(argv[2])));
        return 0;
    }

    // The player names the movie last, the encoder first.
    std::wstring movie = argc > 1 ? argv[player ? argc - 1 : 1] : L"";
    RunContext context;
    context.self = ProgramPath();
    if (!player)
        context.outputPath = ArgAfter(argc, argv, L"-o");

    if (movie.empty() || GetFileAttributesW(movie.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::string name = ToAnsi(movie);
        Print("File not found: '" + name + "'\r\nFailed to open " + name + ".\r\n");
        if (!player)
            Print("Cannot open demuxer.\r\n");
        return 1;
    }

    Scenario scenario = LoadScenario(movie);
    std::vector<Command> commands;
    if (!player) {
        if (!scenario.Find("encode", commands))
            commands = DefaultEncode();
    } else if (HasArg(argc, argv, L"-identify")) {
        scenario.Find("identify", commands);
    } else {
        context.videoOut = ToAnsi(ArgAfter(argc, argv, L"-vo"));
        context.parentWindow = _wtoi64(ArgAfter(argc, argv, L"-wid").c_str());
        context.movie = ReadMovieFacts(scenario);
        // Any movie previews in Quelvox's pane, scripted for it or not.
        if (!scenario.Find("play " + context.videoOut, commands) &&
            !scenario.Find("play", commands) && context.parentWindow != 0)
            commands = ParseScenario("[play]\nplay\n").sections.front().second;
    }
    const int code = RunCommands(commands, context);
    // As the real encoder: the output is replaced only by a run that ended well, so a stopped
    // or failed one never destroys an earlier complete movie.
    if (!player && code == 0 && !context.outputPath.empty())
        MoveFileExW(PartialPath(context.outputPath).c_str(), context.outputPath.c_str(),
                    MOVEFILE_REPLACE_EXISTING);
    return code;
}
