// COddButton: a button turned owner-drawn at subclassing that still takes part in the dialog's
// default-button handling. The dialog manager asks a button through WM_GETDLGCODE whether it
// is a push button and moves the default state with BM_SETSTYLE; an owner-drawn button would
// answer neither like a push button, so this class answers for the type it had before.
#pragma once

#include "framework/Controls.h"

class COddButton : public CButton {
public:
    void PreSubclassWindow() override;

    BOOL m_bMayBeDefault = FALSE;   // was a (default) push button before subclassing
    BOOL m_bShowsDefault = FALSE;   // is the dialog's default button now
    UINT m_nOrigType = BS_TYPEMASK; // button type at subclassing; a default push button as push

private:
    LRESULT OnGetDlgCode(WPARAM, LPARAM);
    LRESULT OnSetStyle(WPARAM wParam, LPARAM lParam);

    BEGIN_MSG_MAP(COddButton, CButton)
        ON_MESSAGE(WM_GETDLGCODE, OnGetDlgCode)
        ON_MESSAGE(BM_SETSTYLE, OnSetStyle)
    END_MSG_MAP()
};
