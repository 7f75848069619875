#include "AboutDlg.h"

#include "Look.h"
#include "QuelvoxDlg.h"
#include "framework/Dpi.h"
#include "framework/Paths.h"
#include "framework/Handle.h"
#include "framework/Seam.h"
#include "framework/String.h"
#include "resources/resource.h"

#include <algorithm>
#include <vector>

CAboutDlg::CAboutDlg(const CQuelvoxDlg* main) : CBDialog(IDD_ABOUTBOX), m_pMain(main) {}

void CAboutDlg::DoDataExchange(CDataExchange* pDX) {
    CBDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LICENCE, m_editLicence);
    DDX_Control(pDX, IDC_VERSION, m_staticVersion);
    DDX_Control(pDX, IDC_ABOUT_CLOSE, m_btnClose);
}

std::wstring CAboutDlg::ReadLicence(const std::wstring& path) {
    const CHandle file =
        FileHandle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return {};
    LARGE_INTEGER size{};
    std::wstring text;
    if (::GetFileSizeEx(file, &size)) {
        // A licence is a few pages: a huge file is shown only as far as a box can hold.
        text.resize(static_cast<size_t>(std::min<LONGLONG>(size.QuadPart, kMaxLicenceBytes) / 2));
        DWORD read = 0;
        if (!text.empty() &&
            !::ReadFile(file, text.data(), static_cast<DWORD>(text.size() * 2), &read, nullptr))
            read = 0;
        text.resize(read / 2);
    }
    return text;
}

BOOL CAboutDlg::OnInitDialog() {
    CBDialog::OnInitDialog();
    ApplyDpi();
    m_btnClose.SetWindowText(LoadResString(IDS_NAME_CLOSE).c_str());
    m_tips.Create(m_hWnd);
    m_tips.AddButtons(m_hWnd);

    // The licence of the language asked for, even when the English library stands in for it;
    // without one (English of the United Kingdom, German...), that of the library in use, then
    // the English one.
    const Languages* languages = m_pMain ? m_pMain->LanguagesOffered() : nullptr;
    std::vector<std::wstring> names = {L"ENU"};
    if (languages)
        names.insert(names.begin(), {languages->Abbreviation(), languages->LoadedAbbreviation()});
    for (const std::wstring& name : names) {
        const std::wstring licence = GetModuleDirectory() + L"copying_" + name + L".txt";
        if (::GetFileAttributesW(licence.c_str()) != INVALID_FILE_ATTRIBUTES) {
            m_editLicence.SetWindowText(WithCrLf(ReadLicence(licence)).c_str());
            break;
        }
    }
    // The first control takes the focus, which selects all its text and scrolls to its end;
    // the reader starts at the top, with nothing selected.
    m_editLicence.PostMessage(EM_SETSEL, 0, 0);
    m_editLicence.PostMessage(EM_SCROLLCARET);
    if (m_pMain)
        m_staticVersion.SetWindowText(m_pMain->TitleWithBuild().c_str());

    return TRUE;
}

void CAboutDlg::ApplyDpi() {
    const UINT dpi = TemplateDpi();
    MakeUiFont(m_font, 15, L"Arial", dpi);
    for (int button : {IDOK, IDC_CHECK_UPDATE})
        ::SendMessageW(GetDlgItem(button), WM_SETFONT,
                       reinterpret_cast<WPARAM>(static_cast<HFONT>(m_font)), TRUE);
    m_btnClose.LoadBitmaps(IDB_CLOSE, IDB_CLOSE, IDB_CLOSE_HOVER, 0, dpi);
    m_btnClose.SizeToContent();
    ShowPicture(GetDlgItem(IDC_TITLE_PICTURE), m_bmStrip, IDB_ABOUT_STRIP, dpi);
    // The system's icon size at the window's DPI; the control takes the icon's size.
    const int size = SystemMetricAt(SM_CXICON, Dpi());
    if (auto icon = static_cast<HICON>(::LoadImageW(
            AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, 0))) {
        ::SendMessageW(GetDlgItem(IDC_ABOUT_ICON), STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        m_icon.Attach(icon);
    }
}

void CAboutDlg::OnCheckUpdate() {
    Seam().ShellExecute(nullptr, nullptr, CQuelvoxDlg::kProductPage, nullptr, nullptr,
                        SW_SHOWNORMAL);
}

LRESULT CAboutDlg::OnPaint(WPARAM, LPARAM) {
    CPaintDC paint(m_hWnd);
    return 0;
}
