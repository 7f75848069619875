// The wizard pages shown in the page area of the main dialog: STEP1 (add files, preview,
// quality), STEP2 (created, never shown) and STEP3 (progress, log, shutdown option). Their
// buttons act on the main dialog that owns them.
#pragma once

#include "resources/resource.h"
#include "convert/CommandLine.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/Gdi.h"
#include "skin/XButtonXP.h"

#include <string>

class CQuelvoxDlg;

class STEP1 : public CDialog {
public:
    explicit STEP1(CQuelvoxDlg& main) : CDialog(IDD_STEP1), m_main(main) {}
    BOOL OnInitDialog() override;
    // Fonts and icons at the DPI.
    void ApplyDpi() override;
    void DoDataExchange(CDataExchange* pDX) override;
    HBRUSH OnCtlColor(HDC dc, HWND child, UINT ctlColor) override;

    int m_nQuality = 1; // 0 High, 1 Normal, 2 Low; read from the radio buttons
    // The output's format, as the drop-down list says and the profile remembers.
    convert::OutputFormat Format() const;
    // The page's fonts outlive its controls: the main dialog's window, and with it the
    // page's, is gone before the page object.
    // In the language's face, else these (see MakeUiFont).
    CFont m_fontButtons;  // Arial 16
    CFont m_fontSteps;    // Verdana 15
    CFont m_fontWarnings; // Verdana 14
    CFont m_fontRadios;   // Arial 15
    CXButtonXP m_btnOpenFolder;
    CXButtonXP m_btnPreview;
    CXButtonXP m_btnAddFiles;
    CXButtonXP m_btnClearList;
    CComboBox m_cmbFormat;

private:
    CQuelvoxDlg& m_main;

    void OnAddFiles();
    void OnClearList();
    void OnPreview();
    void OnOpenFolder();
    void OnFormatChanged();
    void OnNothing() {}

    BEGIN_MSG_MAP(STEP1, CDialog)
        ON_COMMAND(IDC_ADD_FILES, OnAddFiles)
        ON_COMMAND(IDC_CLEAR_LIST, OnClearList)
        ON_COMMAND(IDC_PREVIEW, OnPreview)
        ON_COMMAND(IDC_OPEN_FOLDER, OnOpenFolder)
        ON_CONTROL(IDC_FORMAT, CBN_SELCHANGE, OnFormatChanged)
        ON_COMMAND(IDC_HIGH, OnNothing)
        ON_COMMAND(IDC_NORMAL, OnNothing)
        ON_COMMAND(IDC_LOW, OnNothing)
        ON_COMMAND(IDC_QUALITY_GROUP, OnNothing)
    END_MSG_MAP()
};

class STEP2 : public CDialog {
public:
    STEP2() : CDialog(IDD_STEP2) {}
};

class STEP3 : public CDialog {
public:
    explicit STEP3(CQuelvoxDlg& main) : CDialog(IDD_STEP3), m_main(main) {}
    BOOL OnInitDialog() override;
    void ApplyDpi() override;
    void DoDataExchange(CDataExchange* pDX) override;
    HBRUSH OnCtlColor(HDC dc, HWND child, UINT ctlColor) override;

    CProgressCtrl m_progress;
    CEdit m_editLog;
    CFont m_fontButtons; // Arial 16
    CXButtonXP m_btnOpenFolder;
    int m_bShutdown = FALSE;

private:
    CQuelvoxDlg& m_main;

    void OnOpenFolder();

    BEGIN_MSG_MAP(STEP3, CDialog)
        ON_COMMAND(IDC_OPEN_FOLDER, OnOpenFolder)
    END_MSG_MAP()
};

// Opens the folder of the file last handed to the encoder in the file explorer; before the
// first (empty), "C:\".
void OpenOutputFolder(const std::wstring& folder);
// Opens the folder of the file selected in the list, with its converted movie selected when
// there is one; with nothing selected, OpenOutputFolder.
void OpenSelectionFolder(CQuelvoxDlg& main);
