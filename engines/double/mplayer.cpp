// Scripted stand-in for the player: acts out the scenario in the movie file it is given.
#include "DoubleMain.h"

int wmain(int argc, wchar_t** argv) {
    return RunDouble(Engine::Player, argc, argv);
}
