// The application object of the window tests, as the program has one.
#include "app/QuelvoxApp.h"

CQuelvoxApp g_testApp;
