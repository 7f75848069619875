// CMyStatic: a static text with its own text colour and background brush, answering the
// colour request its parent reflects to it.
#pragma once

#include "framework/Controls.h"

class CMyStatic : public CStatic {
public:
    CMyStatic();
    ~CMyStatic() override;

    // Shows at the next paint; no repaint is asked for.
    void SetForeColor(COLORREF color) { m_crFore = color; }
    // Replaces the background brush by a solid brush of this colour.
    void SetFillColor(COLORREF color);
    HBRUSH CtlColor(HDC dc, UINT ctlColor) override;

    COLORREF m_crFore;
    COLORREF m_crFill;
    HBRUSH m_hFillBrush; // owned
};
