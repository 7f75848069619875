#include "Splash.h"

void RunSplash() {}
