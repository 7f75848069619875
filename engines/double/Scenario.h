// The scenario language of the scripted player and encoder: a movie file that is a small text
// file, with one section per kind of run and one command per line (see engines/README.md).
#pragma once

#include <string>
#include <vector>

struct Command {
    std::string name;
    std::vector<std::string> args; // blank-separated words
    std::string rest;              // everything after the command name, escapes not applied
    int line = 0;
};

struct Scenario {
    // Commands of the section, or of its fallback name when the section is absent; returns
    // false when neither exists.
    bool Find(const std::string& section, std::vector<Command>& commands) const;

    std::vector<std::pair<std::string, std::vector<Command>>> sections;
};

// Reads a scenario file; a missing or unreadable file gives an empty scenario.
Scenario LoadScenario(const std::wstring& path);
Scenario ParseScenario(const std::string& text);

// What the scenario's [identify] section says of the movie, which `play` goes by.
struct MovieFacts {
    double length = 10; // ID_LENGTH
    int width = 640;    // ID_VIDEO_WIDTH
    int height = 352;   // ID_VIDEO_HEIGHT
    double fps = 25;    // ID_VIDEO_FPS
};
MovieFacts ReadMovieFacts(const Scenario& scenario);

struct RunContext {
    std::wstring self;          // this program's path, for spawning helpers
    std::wstring outputPath;    // the encoder's "-o" file; empty for the player
    std::string videoOut;       // the player's "-vo" driver
    long long parentWindow = 0; // the player's "-wid" window; 0 without one
    MovieFacts movie;
};

// Where `output` writes: beside the output, which it replaces only when the encoder ends well.
std::wstring PartialPath(const std::wstring& output);

// Runs the commands in order; returns the process exit code the scenario asks for.
int RunCommands(const std::vector<Command>& commands, const RunContext& context);

// Text of a command argument with its escapes applied, converted to the ANSI code page.
std::string ExpandText(const std::string& text);

// Appends this process's command line to the file named by QV_DOUBLE_LOG, when it is set.
void LogCommandLine(const wchar_t* program);
