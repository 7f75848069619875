#include "XButtonXP.h"

CXButtonXP::~CXButtonXP() {
    if (m_hIconNormal)
        ::DestroyIcon(m_hIconNormal);
}

void CXButtonXP::AssignIcon(HICON icon) {
    if (m_hIconNormal && m_hIconNormal != icon)
        ::DestroyIcon(m_hIconNormal);
    m_hIconNormal = icon;
    SendMessage(BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
    RedrawWindow(RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}
