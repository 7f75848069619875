#include "Pages.h"

#include "resource.h"

void STEP1::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_OPEN_FOLDER, m_btnOpenFolder);
    DDX_Control(pDX, IDC_PREVIEW, m_btnPreview);
    DDX_Control(pDX, IDC_ADD_FILES, m_btnAddFiles);
    DDX_Control(pDX, IDC_CLEAR_LIST, m_btnClearList);
    DDX_Radio(pDX, IDC_HIGH, m_nQuality);
    DDV_MinMaxInt(pDX, m_nQuality, 0, 2);
}

void STEP3::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_LOG, m_editLog);
    DDX_Control(pDX, IDC_OPEN_FOLDER, m_btnOpenFolder);
    DDX_Check(pDX, IDC_SHUTDOWN, m_bShutdown);
}
