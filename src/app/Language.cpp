#include "Language.h"

#include "ui/QuelvoxDlg.h"

void SelectLanguage(CQuelvoxApp&, LCID) {}

void BuildLanguageMenu(CQuelvoxDlg&) {}

void HandleLanguageCommand(CQuelvoxDlg&, WPARAM) {}
