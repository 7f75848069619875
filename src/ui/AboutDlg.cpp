#include "AboutDlg.h"

#include "QuelvoxDlg.h"
#include "app/QuelvoxApp.h"
#include "resource.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

BOOL CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (CQuelvoxDlg* main = TheApp().m_pMainDlg)
        ::SetDlgItemTextW(m_hWnd, IDC_VERSION, main->m_strTitleBuild.c_str());
    return TRUE;
}
