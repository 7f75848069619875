#include "OddButton.h"

void COddButton::PreSubclassWindow() {
    m_nOrigType = GetStyle() & BS_TYPEMASK;
    if (m_nOrigType == BS_DEFPUSHBUTTON) {
        m_bShowsDefault = TRUE;
        m_nOrigType = BS_PUSHBUTTON;
        m_bMayBeDefault = TRUE;
    } else if (m_nOrigType == BS_PUSHBUTTON) {
        m_bMayBeDefault = TRUE;
    }
    ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW, SWP_FRAMECHANGED);
    CButton::PreSubclassWindow();
}

LRESULT COddButton::OnGetDlgCode(WPARAM, LPARAM) {
    LRESULT code = Default();
    if (m_nOrigType == BS_RADIOBUTTON || m_nOrigType == BS_AUTORADIOBUTTON)
        code |= DLGC_RADIOBUTTON;
    else if (m_nOrigType == BS_GROUPBOX)
        code = DLGC_STATIC;
    if (m_bMayBeDefault || m_bShowsDefault)
        code |= m_bShowsDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON;
    return code;
}

LRESULT COddButton::OnSetStyle(WPARAM wParam, LPARAM lParam) {
    const UINT type = static_cast<UINT>(wParam) & BS_TYPEMASK;
    if (type == BS_DEFPUSHBUTTON)
        m_bShowsDefault = TRUE;
    else if (type == BS_PUSHBUTTON)
        m_bShowsDefault = FALSE;
    // Whatever type the dialog manager asks for, the control stays owner-drawn.
    return DefWindowProc(BM_SETSTYLE, (wParam & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_OWNERDRAW,
                         lParam);
}
