// The splash screen shown before the main dialog.
#pragma once

// Runs the splash modally until it closes itself.
void RunSplash();
