#include "Pages.h"

#include "Look.h"
#include "QuelvoxDlg.h"
#include "convert/CommandLine.h"
#include "framework/App.h"
#include "framework/Dpi.h"
#include "framework/Paths.h"
#include "framework/Seam.h"
#include "framework/String.h"
#include "resources/resource.h"

namespace {

void GiveFont(CDialog& page, std::initializer_list<int> ids, HFONT font) {
    for (int id : ids)
        ::SendMessageW(page.GetDlgItem(id), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

// Where the chosen format is remembered, beside the language and the version.
constexpr const wchar_t* kFormatSection = L"Output";
constexpr const wchar_t* kFormatEntry = L"Format";

} // namespace

void OpenOutputFolder(const std::wstring& folder) {
    Seam().ShellExecute(nullptr, L"explore", folder.empty() ? L"C:\\" : folder.c_str(), nullptr,
                        nullptr, SW_SHOWNORMAL);
}

void OpenSelectionFolder(CQuelvoxDlg& main) {
    const int selected = main.m_listFiles.GetNextItem(-1, LVNI_SELECTED);
    if (selected < 0) {
        OpenOutputFolder(main.m_conversion.OutputFolder());
        return;
    }
    main.OpenFolderOf(main.m_listFiles.GetItemText(selected, 0));
}

BOOL STEP1::OnInitDialog() {
    CDialog::OnInitDialog();
    ApplyDpi();

    // AVI unless MP4 was chosen before.
    m_cmbFormat.AddString(LoadResString(IDS_FORMAT_AVI).c_str());
    m_cmbFormat.AddString(LoadResString(IDS_FORMAT_MP4).c_str());
    const bool mp4 =
        AfxGetApp() && AfxGetApp()->GetProfileString(kFormatSection, kFormatEntry) == L"MP4";
    m_cmbFormat.SetCurSel(mp4 ? 1 : 0);
    return TRUE;
}

void STEP1::ApplyDpi() {
    const UINT dpi = TemplateDpi();
    MakeUiFont(m_fontButtons, 16, L"Arial", dpi);
    MakeUiFont(m_fontSteps, 15, L"Verdana", dpi);
    MakeUiFont(m_fontWarnings, 14, L"Verdana", dpi);
    MakeUiFont(m_fontRadios, 15, L"Arial", dpi);
    GiveFont(*this,
             {IDC_QUALITY_GROUP, IDC_FORMAT_LABEL, IDC_PREVIEW, IDC_OPEN_FOLDER, IDC_ADD_FILES,
              IDC_CLEAR_LIST},
             m_fontButtons);
    GiveFont(*this, {IDC_STEP_TEXT1, IDC_STEP_TEXT2, IDC_STEP_TEXT3, IDC_STEP_TEXT4}, m_fontSteps);
    GiveFont(*this, {IDC_WARNING1, IDC_WARNING2}, m_fontWarnings);
    GiveFont(*this, {IDC_HIGH, IDC_NORMAL, IDC_LOW}, m_fontRadios);
    m_btnAddFiles.AssignOwnedIcon(IconAt(IDI_ADD_FILES, 32, dpi));
    m_btnOpenFolder.AssignOwnedIcon(IconAt(IDI_OPEN_FOLDER, 32, dpi));
    m_btnPreview.AssignOwnedIcon(IconAt(IDI_PREVIEW, 32, dpi));
    m_btnClearList.AssignOwnedIcon(IconAt(IDI_CLEAR_LIST, 32, dpi));
}

void STEP1::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_OPEN_FOLDER, m_btnOpenFolder);
    DDX_Control(pDX, IDC_PREVIEW, m_btnPreview);
    DDX_Control(pDX, IDC_ADD_FILES, m_btnAddFiles);
    DDX_Control(pDX, IDC_CLEAR_LIST, m_btnClearList);
    DDX_Control(pDX, IDC_FORMAT, m_cmbFormat);
    DDX_Radio(pDX, IDC_HIGH, m_nQuality);
    DDV_MinMaxInt(pDX, m_nQuality, 0, 2);
}

HBRUSH STEP1::OnCtlColor(HDC dc, HWND child, UINT ctlColor) {
    HBRUSH brush = CDialog::OnCtlColor(dc, child, ctlColor);
    // The drop-down list paints its own, opaque.
    if (ctlColor != CTLCOLOR_STATIC && ctlColor != CTLCOLOR_BTN)
        return brush;
    ::SetBkMode(dc, TRANSPARENT);
    if (ctlColor == CTLCOLOR_STATIC) {
        const int id = ::GetDlgCtrlID(child);
        const bool warning = id == IDC_WARNING1 || id == IDC_WARNING2;
        ::SetTextColor(dc, SkinColour(warning ? RGB(155, 0, 0) : RGB(0, 0, 155), COLOR_BTNTEXT));
    }
    return brush;
}

void STEP1::OnAddFiles() {
    m_main.AddFiles();
}

void STEP1::OnClearList() {
    m_main.m_listFiles.DeleteAllItems();
}

void STEP1::OnPreview() {
    m_main.TogglePreview();
}

void STEP1::OnOpenFolder() {
    OpenSelectionFolder(m_main);
}

convert::OutputFormat STEP1::Format() const {
    return m_cmbFormat.GetCurSel() == 1 ? convert::OutputFormat::Mp4 : convert::OutputFormat::Avi;
}

void STEP1::OnFormatChanged() {
    if (AfxGetApp())
        AfxGetApp()->WriteProfileString(kFormatSection, kFormatEntry,
                                        Format() == convert::OutputFormat::Mp4 ? L"MP4" : L"AVI");
}

BOOL STEP3::OnInitDialog() {
    CDialog::OnInitDialog();
    ApplyDpi();
    // The log holds a whole session, however many files it names.
    m_editLog.SetLimitText(0);
    m_progress.SetRange(0, 99);
    return TRUE;
}

void STEP3::ApplyDpi() {
    const UINT dpi = TemplateDpi();
    MakeUiFont(m_fontButtons, 16, L"Arial", dpi);
    GiveFont(*this, {IDC_OPEN_FOLDER}, m_fontButtons);
    m_btnOpenFolder.AssignOwnedIcon(IconAt(IDI_OPEN_FOLDER, 32, dpi));
}

void STEP3::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_LOG, m_editLog);
    DDX_Control(pDX, IDC_OPEN_FOLDER, m_btnOpenFolder);
    DDX_Check(pDX, IDC_SHUTDOWN, m_bShutdown);
}

HBRUSH STEP3::OnCtlColor(HDC dc, HWND child, UINT ctlColor) {
    HBRUSH brush = CDialog::OnCtlColor(dc, child, ctlColor);
    if (::GetDlgCtrlID(child) != IDC_LOG) {
        ::SetBkMode(dc, TRANSPARENT);
        return brush;
    }
    // An edit repaints only what changed, without erasing first: transparent text would
    // smear over what was there.
    ::SetTextColor(dc, SkinColour(RGB(0, 0, 155), COLOR_BTNTEXT));
    ::SetBkMode(dc, OPAQUE);
    ::SetBkColor(dc, ::GetSysColor(COLOR_3DFACE));
    return ::GetSysColorBrush(COLOR_3DFACE);
}

void STEP3::OnOpenFolder() {
    OpenSelectionFolder(m_main);
}
