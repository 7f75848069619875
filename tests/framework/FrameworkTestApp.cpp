// The framework tests' application object: the framework's own, with nothing of the program's.
#include "framework/App.h"

CWinApp g_frameworkTestApp(L"Quelvox");
