#include "MyStatic.h"

CMyStatic::CMyStatic()
    : m_crFore(::GetSysColor(COLOR_WINDOWTEXT)), m_crFill(::GetSysColor(COLOR_BACKGROUND)),
      m_hFillBrush(::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE))) {}

CMyStatic::~CMyStatic() {
    if (m_hFillBrush)
        ::DeleteObject(m_hFillBrush);
}

void CMyStatic::SetFillColor(COLORREF color) {
    m_crFill = color;
    if (m_hFillBrush)
        ::DeleteObject(m_hFillBrush);
    m_hFillBrush = ::CreateSolidBrush(color);
}

HBRUSH CMyStatic::CtlColor(HDC dc, UINT ctlColor) {
    if (ctlColor != CTLCOLOR_STATIC)
        return nullptr;
    ::SetTextColor(dc, m_crFore);
    ::SetBkMode(dc, TRANSPARENT);
    return m_hFillBrush;
}
