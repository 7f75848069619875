// The wizard pages shown in the page area of the main dialog: STEP1 (add files, preview,
// quality), STEP2 (created, never shown) and STEP3 (progress, log, shutdown option).
#pragma once

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/Gdi.h"
#include "skin/XButtonXP.h"

class STEP1 : public CDialog {
public:
    STEP1() : CDialog(132) {}
    void DoDataExchange(CDataExchange* pDX) override;

    bool m_bPreviewing = false;
    int m_nQuality = 1; // 0 High, 1 Normal, 2 Low
    CXButtonXP m_btnOpenFolder;
    CXButtonXP m_btnPreview;
    CXButtonXP m_btnAddFiles;
    CXButtonXP m_btnClearList;
};

class STEP2 : public CDialog {
public:
    STEP2() : CDialog(134) {}
};

class STEP3 : public CDialog {
public:
    STEP3() : CDialog(133) {}
    void DoDataExchange(CDataExchange* pDX) override;

    CProgressCtrl m_progress;
    CEdit m_editLog;
    CXButtonXP m_btnOpenFolder;
    int m_bShutdown = FALSE;
};
