// CXButtonXP: a push button with an icon beside its caption.
#pragma once

#include "framework/Controls.h"

class CXButtonXP : public CButton {
public:
    ~CXButtonXP() override;
    // Takes ownership of the icon (null removes it) and repaints at once.
    void AssignIcon(HICON icon);

    HICON m_hIconNormal = nullptr;
};
