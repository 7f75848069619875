// The main dialog's language menu: one entry per installed language, the one in use checked.
#include "QuelvoxDlg.h"

#include "framework/String.h"
#include "resources/resource.h"

void CQuelvoxDlg::BuildLanguageMenu() {
    m_menuLang.Attach(::CreatePopupMenu());
    m_menuLang.InsertCaption(LoadResString(IDS_LANGUAGE_SELECT));
    if (!m_pLanguages)
        return;
    for (LCID lcid : m_pLanguages->Installed()) {
        wchar_t name[128] = L"";
        ::GetLocaleInfoW(lcid, LOCALE_SLANGUAGE, name, 128);
        ::AppendMenuW(m_menuLang, lcid == m_pLanguages->InUse() ? MF_CHECKED : MF_STRING,
                      lcid | kLanguageCommandBit, name);
    }
}

void CQuelvoxDlg::HandleLanguageCommand(UINT command) {
    if (!m_pLanguages)
        return;
    for (LCID lcid : m_pLanguages->Installed()) {
        if (command == (lcid | kLanguageCommandBit) && lcid != m_pLanguages->InUse()) {
            m_pLanguages->RestartIn(static_cast<LCID>(command & ~kLanguageCommandBit));
            // The list comes back in the new language as it is now.
            m_bRestarting = true;
            KeepQueue(true);
            EndDialog(IDCANCEL);
            return;
        }
    }
}

void CQuelvoxDlg::ShowLanguageMenu() {
    POINT at{};
    ::GetCursorPos(&at);
    // Pressed from the keyboard (the pointer is elsewhere): under its button.
    const RECT button = m_btnLanguage.GetWindowRect();
    if (!::PtInRect(&button, at))
        at = {button.left, button.bottom};
    m_menuLang.ReadColours();
    ::TrackPopupMenu(m_menuLang, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, m_hWnd, nullptr);
}
