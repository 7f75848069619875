// Entry of the scripted player and encoder: finds the movie file and the section to run.
#pragma once

enum class Engine { Player, Encoder };

int RunDouble(Engine engine, int argc, wchar_t** argv);
