// Language libraries: the resources of the locale the user chose, and the menu to choose it.
#pragma once

#include <windows.h>

class CQuelvoxApp;
class CQuelvoxDlg;

// Chooses and loads the language library for the locale (English when it has none) and makes
// it the source of every resource the program loads.
void SelectLanguage(CQuelvoxApp& app, LCID lcid);

// Fills the main dialog's language menu.
void BuildLanguageMenu(CQuelvoxDlg& dialog);
// Acts on a command of the language menu (a restart in the chosen language).
void HandleLanguageCommand(CQuelvoxDlg& dialog, WPARAM command);
