// Language libraries: the resources of the locale the user chose.
#pragma once

#include <windows.h>

#include <string>

class CQuelvoxApp;

// Chooses and loads the language library for the locale (English when it has none) and makes
// it the source of every resource the program loads. Lists the locales that have a library.
void SelectLanguage(CQuelvoxApp& app, LCID lcid);
// The same with the libraries looked for in another folder (with its trailing backslash).
void SelectLanguageIn(CQuelvoxApp& app, LCID lcid, const std::wstring& folder);
// The three-letter abbreviation Windows gives the locale's language (ENU, KOR, ENG...);
// empty when it has none.
std::wstring LanguageAbbreviation(LCID lcid);
