// Language libraries: the resources of the locale the user chose, and the menu to choose it.
#pragma once

#include <windows.h>

#include <string>

class CQuelvoxApp;
class CQuelvoxDlg;

// Bit that marks a language menu command: the entry's identifier is its LCID with this bit.
constexpr UINT kLanguageCommandBit = 0x8000;

// Chooses and loads the language library for the locale (English when it has none) and makes
// it the source of every resource the program loads. Lists the locales that have a library.
void SelectLanguage(CQuelvoxApp& app, LCID lcid);
// The same with the libraries looked for in another folder (with its trailing backslash).
void SelectLanguageIn(CQuelvoxApp& app, LCID lcid, const std::wstring& folder);

// Fills the main dialog's language menu.
void BuildLanguageMenu(CQuelvoxDlg& dialog);
// Acts on a command of the language menu (a restart in the chosen language).
void HandleLanguageCommand(CQuelvoxDlg& dialog, WPARAM command);
// Opens the language menu at the mouse pointer.
void ShowLanguageMenu(CQuelvoxDlg& dialog);
