// CAboutDlg: the about box with the version text of the main dialog.
#pragma once

#include "framework/Dialog.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
    BOOL OnInitDialog() override;
};
