// CAboutDlg: the about box: version text, licence of the chosen language, "Check Update".
#pragma once

#include "resources/resource.h"
#include "framework/Controls.h"
#include "framework/Gdi.h"
#include "framework/Handle.h"
#include "skin/BDialog.h"
#include "skin/MyBitmapButton.h"

#include <string>

class CQuelvoxDlg;

class CAboutDlg : public CBDialog {
public:
    // main: the window whose version and language the box shows (none: neither).
    explicit CAboutDlg(const CQuelvoxDlg* main);
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    static constexpr long long kMaxLicenceBytes = 1 << 20;

    // The licence text of a file: UTF-16LE code units as they are (an odd last byte is
    // dropped), at most the first megabyte; empty when the file cannot be read.
    static std::wstring ReadLicence(const std::wstring& path);

    CEdit m_editLicence;
    CStatic m_staticVersion;
    CMyBitmapButton m_btnClose;
    CFont m_font; // of the buttons; the box's window is gone before the object
    CBitmap m_bmStrip;
    CIcon m_icon; // the program's, at the window's DPI
    CToolTips m_tips;

private:
    const CQuelvoxDlg* m_pMain;

    void OnCheckUpdate();
    void OnCloseButton() { OnOK(); }
    LRESULT OnPaint(WPARAM, LPARAM);
    // The font and the pictures at the window's DPI.
    void ApplyDpi() override;

    BEGIN_MSG_MAP(CAboutDlg, CBDialog)
        ON_COMMAND(IDC_CHECK_UPDATE, OnCheckUpdate)
        ON_COMMAND(IDOK, OnCloseButton)
        ON_COMMAND(IDC_ABOUT_CLOSE, OnCloseButton)
        ON_MESSAGE(WM_PAINT, OnPaint)
    END_MSG_MAP()
};
