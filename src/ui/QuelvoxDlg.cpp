#include "QuelvoxDlg.h"

#include "AboutDlg.h"
#include "BuildStamp.h"
#include "Look.h"
#include "framework/App.h"
#include "framework/Dpi.h"
#include "framework/InputLock.h"
#include "framework/Seam.h"
#include "framework/String.h"
#include "resources/resource.h"

#include "QuelvoxVersion.h"

#include <shellapi.h>

#include <algorithm>

namespace {
constexpr const wchar_t* kBuiltInTitle = L"Quelvox " QV_VERSION_WIDE L" ";
constexpr COLORREF kTitleBarColor = RGB(0x16, 0x39, 0x5F); // as drawn by scripts/draw-skin
} // namespace

CQuelvoxDlg::CQuelvoxDlg(Languages* languages, CWnd* parent)
    : CDialog(IDD_QUELVOX_DIALOG, parent), m_step1(*this), m_step3(*this), m_pLanguages(languages) {
    m_hIcon = ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CQuelvoxDlg::~CQuelvoxDlg() {
    // The window and the pages' and controls' windows go first, while the fonts and icons
    // they use and the monitors their destruction ends are still here. The monitors then
    // stop their readers as the members go: the player's first, the encoder's last.
    DestroyWindow();
}

void CQuelvoxDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_FILE_LIST, m_listFiles);
    DDX_Control(pDX, IDC_PANE, m_stcPane);
    DDX_Control(pDX, IDC_TIME, m_stcTime);
    DDX_Control(pDX, IDC_SLIDER, m_slider);
    DDX_Control(pDX, IDC_MINIMIZE, m_btnMinimize);
    DDX_Control(pDX, IDC_LOGO, m_btnLogo);
    DDX_Control(pDX, IDC_CLOSE, m_btnClose);
    DDX_Control(pDX, IDC_ABOUT, m_btnAbout);
    DDX_Control(pDX, IDC_STEP_GROUP, m_grpStep);
    DDX_Control(pDX, IDC_WAIT_LABEL, m_stcWait);
    DDX_Control(pDX, IDC_TITLE, m_stcTitle);
    DDX_Control(pDX, IDC_PREV, m_btnPrev);
    DDX_Control(pDX, IDC_CONVERT, m_btnConvert);
    DDX_Control(pDX, IDC_FRAME, m_stcFrame);
    DDX_Control(pDX, IDC_LANGUAGE, m_btnLanguage);
    DDX_Control(pDX, IDC_SEEK_FORWARD, m_btnSeekFwd);
    DDX_Control(pDX, IDC_SEEK_BACK, m_btnSeekBack);
}

void CQuelvoxDlg::SetStartUp(StartUp startUp) {
    m_startUp = std::move(startUp);
}

BOOL CQuelvoxDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetUpShell();
    m_listFiles.InsertColumn(0, LoadResString(IDS_FILE_NAME).c_str(), LVCFMT_LEFT, 320);
    m_listFiles.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    SetTitles();

    m_step1.Create(IDD_STEP1, this);
    m_step2.Create(IDD_STEP2, this);
    m_step3.Create(IDD_STEP3, this);
    ShowPage(m_step1, 0);

    SetTimer(kClockTimer, 1000);
    if (m_startUp.firstRun)
        SetTimer(kAboutTimer, 500);

    m_stcTitle.SetWindowText(m_strTitle.c_str());

    // The preview places the pane in the frame itself, to the picture's shape.
    PlacedByCode(m_stcPane);
    ApplyDpi();
    SetUpButtons();
    ShowPage(m_nCurPage == 2 ? static_cast<CDialog&>(m_step3) : m_step1, m_nCurPage);
    ::SetParent(m_stcPane, m_stcFrame);
    // On Windows the player's window paints straight into the pane: neither may paint over it.
    m_stcFrame.ModifyStyle(0, WS_CLIPCHILDREN);
    m_stcPane.ModifyStyle(0, WS_CLIPCHILDREN);
    m_conversion.SetOwner(m_hWnd);
    m_preview.Attach(m_hWnd, m_stcFrame, m_stcPane);
    if (!m_startUp.files.empty() || m_queueStore.IsOpen())
        PostMessage(kQueueStartFilesMessage);
    // Handled once the window is shown and active.
    if (m_startUp.splash)
        PostMessage(kWindowUpMessage);
    return TRUE;
}

// The system menu's About item, the icons, the language menu and drops from Explorer.
void CQuelvoxDlg::SetUpShell() {
    if (HMENU system = ::GetSystemMenu(m_hWnd, FALSE)) {
        std::wstring about = LoadResString(IDS_ABOUTBOX);
        if (!about.empty()) {
            ::AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(system, MF_STRING, IDM_ABOUTBOX, about.c_str());
        }
    }
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    BuildLanguageMenu();
    ::DragAcceptFiles(m_hWnd, TRUE);
    // Started elevated after all, it still takes drops from Explorer, which is not (0x49 is
    // WM_COPYGLOBALDATA, which the drop's data travels in).
    for (UINT message : {UINT{WM_DROPFILES}, UINT{WM_COPYDATA}, 0x49u})
        ::ChangeWindowMessageFilterEx(m_hWnd, message, MSGFLT_ALLOW, nullptr);
}

// The product's name and version (the build's date too, for the title shown on demand).
void CQuelvoxDlg::SetTitles() {
    const std::wstring stamp = std::wstring(L"(Build: ") + kBuildDate + L" " + kBuildTime + L" )";
    m_strTitle = kBuiltInTitle;
    m_strTitleBuild = m_strTitle + stamp;
    if (m_verInfo.LoadFromExecutable()) {
        const VS_FIXEDFILEINFO& fixed = m_verInfo.m_fixedInfo;
        m_strTitle =
            FormatString(L"%s %d.%d.%d.%d", m_verInfo.QueryProductName().c_str(),
                         HIWORD(fixed.dwProductVersionMS), LOWORD(fixed.dwProductVersionMS),
                         HIWORD(fixed.dwProductVersionLS), LOWORD(fixed.dwProductVersionLS));
        m_strTitleBuild = FormatString(L"%s %s", m_strTitle.c_str(), stamp.c_str());
    }
    SetWindowText(m_strTitle.c_str());
}

void CQuelvoxDlg::SetUpButtons() {
    // The picture buttons' names, which screen readers speak, in the language in use; tips show
    // every button's.
    const struct {
        CWnd& button;
        UINT name;
    } names[] = {{m_btnClose, IDS_NAME_CLOSE},         {m_btnMinimize, IDS_NAME_MINIMIZE},
                 {m_btnLanguage, IDS_NAME_LANGUAGE},   {m_btnAbout, IDS_NAME_ABOUT},
                 {m_btnLogo, IDS_NAME_WEB_PAGE},       {m_btnSeekBack, IDS_NAME_SEEK_BACK},
                 {m_btnSeekFwd, IDS_NAME_SEEK_FORWARD}};
    for (const auto& n : names)
        n.button.SetWindowText(LoadResString(n.name).c_str());
    m_btnSeekBack.m_bCaptionDrawn = m_btnSeekFwd.m_bCaptionDrawn = false;
    m_tips.Create(m_hWnd);
    m_tips.AddButtons(m_hWnd);
    // Tab goes the way the work goes: the list, the page shown, "< Prev" and Convert, the
    // preview's controls, then the title bar's buttons. What is not reached by Tab keeps its
    // place below them (the title bar picture lowest).
    HWND after = HWND_TOP;
    for (HWND control :
         {m_listFiles.m_hWnd, m_btnPrev.m_hWnd, m_btnConvert.m_hWnd, m_btnSeekBack.m_hWnd,
          m_slider.m_hWnd, m_btnSeekFwd.m_hWnd, m_btnLogo.m_hWnd, m_btnLanguage.m_hWnd,
          m_btnMinimize.m_hWnd, m_btnAbout.m_hWnd, m_btnClose.m_hWnd}) {
        ::SetWindowPos(control, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = control;
    }
}

void CQuelvoxDlg::ApplyDpi() {
    // The title bar, its pictures and the pages are laid out in the template's units.
    const UINT dpi = TemplateDpi();
    struct {
        CMyBitmapButton& button;
        UINT image, hover;
    } const titleButtons[] = {{m_btnClose, IDB_CLOSE, IDB_CLOSE_HOVER},
                              {m_btnMinimize, IDB_MINIMIZE, IDB_MINIMIZE_HOVER},
                              {m_btnLogo, IDB_LOGO, IDB_LOGO_HOVER},
                              {m_btnAbout, IDB_ABOUT, IDB_ABOUT_HOVER},
                              {m_btnLanguage, IDB_LANGUAGE, IDB_LANGUAGE_HOVER}};
    for (const auto& b : titleButtons) {
        b.button.LoadBitmaps(b.image, b.image, b.hover, 0, dpi);
        b.button.SizeToContent();
    }
    // The window's own buttons side by side at its right edge, whatever the pictures' size.
    int right = GetClientRect().right;
    for (CMyBitmapButton* button : {&m_btnClose, &m_btnAbout, &m_btnMinimize}) {
        RECT place = button->GetWindowRect();
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&place), 2);
        right -= place.right - place.left;
        button->SetWindowPos(nullptr, right, place.top, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ApplyColours(dpi);

    MakeUiFont(m_fontBold, 15, L"Arial", dpi);
    for (CWnd* control : {static_cast<CWnd*>(&m_stcWait), static_cast<CWnd*>(&m_stcTitle),
                          static_cast<CWnd*>(&m_grpStep), static_cast<CWnd*>(&m_btnConvert),
                          static_cast<CWnd*>(&m_btnPrev)})
        control->SetFont(m_fontBold);
    const UINT convertIcons[] = {IDI_CONVERT, IDI_STOP, IDI_EXIT};
    for (int i = 0; i < 3; ++i)
        m_icons[i].Attach(IconAt(convertIcons[i], 32, dpi));
    SetConvertButton(m_nConvertIcon, 0);
    m_iconPrev.Attach(IconAt(IDI_PREV, 32, dpi));
    m_btnPrev.AssignIcon(m_iconPrev);
    // The seek icons are the executable's own.
    auto ownIcon = [dpi](UINT id) {
        return static_cast<HICON>(::LoadImageW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(id),
                                               IMAGE_ICON, Scaled(16, dpi), Scaled(16, dpi), 0));
    };
    m_btnSeekFwd.AssignOwnedIcon(ownIcon(IDI_SEEK_FORWARD));
    m_btnSeekBack.AssignOwnedIcon(ownIcon(IDI_SEEK_BACK));
    ListView_SetColumnWidth(m_listFiles, 0, Scaled(320, dpi));
    m_menuLang.SetDpi(Dpi());

    // The pages fill the step group wherever it stands now.
    RECT dialog = GetWindowRect(), group = m_grpStep.GetWindowRect();
    m_rcPage = {group.left - dialog.left, group.top - dialog.top, group.right - group.left,
                group.bottom - group.top};
    if (m_step1.m_hWnd)
        ShowPage(m_nCurPage == 2 ? static_cast<CDialog&>(m_step3) : m_step1, m_nCurPage);
    // The picture fills the frame again at its size now.
    if (m_preview.Previewing())
        m_preview.PlacePaneAgain();
}

void CQuelvoxDlg::ApplyColours(UINT dpi) {
    // As high as the title bar's texts and buttons, which the template places in dialog units;
    // under a high-contrast theme in the system's caption colour.
    RECT title = m_stcTitle.GetWindowRect();
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&title), 2);
    ShowPicture(GetDlgItem(IDC_TITLE_PICTURE), m_bmTitleBar, IDB_TITLE_BAR, dpi, title.bottom,
                SkinColour(CLR_INVALID, COLOR_ACTIVECAPTION));
    m_stcTitle.SetForeColor(SkinColour(RGB(255, 255, 255), COLOR_CAPTIONTEXT));
    // The label lies on the title bar picture; its background is the picture's colour.
    m_stcTitle.SetFillColor(SkinColour(kTitleBarColor, COLOR_ACTIVECAPTION));
    m_stcWait.SetForeColor(SkinColour(RGB(255, 0, 0), COLOR_HIGHLIGHTTEXT));
    m_stcWait.SetFillColor(SkinColour(RGB(0, 50, 0), COLOR_HIGHLIGHT));
}

LRESULT CQuelvoxDlg::OnSettingChange(WPARAM wParam, LPARAM) {
    if (wParam == SPI_SETHIGHCONTRAST || wParam == SPI_SETNONCLIENTMETRICS) {
        ApplyDpi();
        RepaintAroundThePicture();
    }
    return Default();
}

LRESULT CQuelvoxDlg::OnSysColorChange(WPARAM, LPARAM) {
    SendToOwnDescendants(m_hWnd, WM_SYSCOLORCHANGE);
    if (Seam().HighContrast()) {
        ApplyColours(TemplateDpi());
        RepaintAroundThePicture();
    }
    return Default();
}

void CQuelvoxDlg::RepaintAroundThePicture() {
    RedrawWindow(RDW_INVALIDATE | RDW_ERASE | RDW_NOCHILDREN);
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        ::RedrawWindow(child, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE |
                           (child == m_stcFrame.m_hWnd ? RDW_NOCHILDREN : RDW_ALLCHILDREN));
}

void CQuelvoxDlg::ShowPage(CDialog& page, int pageNumber) {
    // Right after the list in the tab order (and above the step group it lies on).
    page.SetWindowPos(m_listFiles, m_rcPage.x, m_rcPage.y, m_rcPage.width, m_rcPage.height,
                      SWP_SHOWWINDOW | SWP_NOACTIVATE);
    for (CDialog* other : {static_cast<CDialog*>(&m_step1), static_cast<CDialog*>(&m_step2),
                           static_cast<CDialog*>(&m_step3)})
        if (other != &page)
            other->ShowWindow(SW_HIDE);
    m_nCurPage = pageNumber;
}

void CQuelvoxDlg::BeginWait() {
    HoldInput(m_hWnd, InputHold::Wait);
    if (m_nBusy++ > 0)
        return;
    m_stcWait.ShowWindow(SW_SHOW);
    m_stcWait.SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    m_stcWait.RedrawWindow(RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CQuelvoxDlg::EndWait() {
    if (m_nBusy == 0)
        return;
    // Enabled again only when nothing else holds it: a box may be open over it.
    ReleaseInput(m_hWnd, InputHold::Wait);
    if (--m_nBusy == 0)
        m_stcWait.ShowWindow(SW_HIDE);
}

BOOL CQuelvoxDlg::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_MOUSEWHEEL) {
        // Touchpads and smooth wheels send small steps: one seek per notch's worth, the way
        // the wheel turned (away from the user: back). A turn the other way starts afresh.
        const int delta = static_cast<short>(HIWORD(msg->wParam));
        if ((delta < 0) != (m_nWheelDelta < 0))
            m_nWheelDelta = 0;
        m_nWheelDelta += delta;
        for (; m_nWheelDelta >= WHEEL_DELTA; m_nWheelDelta -= WHEEL_DELTA)
            SeekPlayer(VK_LEFT);
        for (; m_nWheelDelta <= -WHEEL_DELTA; m_nWheelDelta += WHEEL_DELTA)
            SeekPlayer(VK_RIGHT);
    }
    return CDialog::PreTranslateMessage(msg);
}

HBRUSH CQuelvoxDlg::OnCtlColor(HDC dc, HWND child, UINT ctlColor) {
    HBRUSH brush = CDialog::OnCtlColor(dc, child, ctlColor);
    if (ctlColor == CTLCOLOR_STATIC && ::GetDlgCtrlID(child) == IDC_WAIT_LABEL)
        ::SetTextColor(dc, SkinColour(RGB(255, 0, 0), COLOR_HIGHLIGHTTEXT));
    else
        ::SetBkMode(dc, TRANSPARENT);
    return brush;
}

LRESULT CQuelvoxDlg::OnSysCommand(WPARAM wParam, LPARAM) {
    if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
        ShowAboutBox();
        return 0;
    }
    return Default();
}

LRESULT CQuelvoxDlg::OnPaint(WPARAM, LPARAM) {
    if (!::IsIconic(m_hWnd))
        return Default();
    CPaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(static_cast<HDC>(dc)), 0);
    RECT rc = GetClientRect();
    int x = (rc.right - rc.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (rc.bottom - rc.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    return 0;
}

LRESULT CQuelvoxDlg::OnLButtonDown(WPARAM, LPARAM) {
    // Moving by the caption, from anywhere on the body: the dialog has no caption bar.
    SendMessage(WM_SYSCOMMAND, SC_MOVE + HTCAPTION, 0);
    return Default();
}

LRESULT CQuelvoxDlg::OnShowWindow(WPARAM wParam, LPARAM) {
    LRESULT result = Default();
    if (wParam)
        ShowPage(m_step1, 0);
    return result;
}

LRESULT CQuelvoxDlg::OnTimer(WPARAM wParam, LPARAM) {
    switch (wParam) {
    case kClockTimer:
        OnClockTick();
        break;
    case kAboutTimer:
        // Not over a wait or another box: it would run its loop inside them.
        if (!Busy() && !BoxOpenOver(m_hWnd)) {
            KillTimer(kAboutTimer);
            ShowAboutBox();
        }
        break;
    case convert::CConversion::kStepTimer:
        m_conversion.Step();
        break;
    case preview::CPreview::kStepTimer:
        m_preview.Step();
        break;
    case kSearchTimer:
        ShowSearchProgress();
        break;
    case kQueueSaveTimer:
        KillTimer(kQueueSaveTimer);
        if (std::exchange(m_bQueueDirty, false))
            KeepQueue();
        // A preview that starts comes first: the processor is its, the identification waits.
        if (m_preview.Busy())
            SetTimer(kQueueSaveTimer, kQueueSaveMs);
        else
            m_conversion.IdentifyFirstAhead();
        break;
    default:
        break;
    }
    return Default();
}

LRESULT CQuelvoxDlg::OnDestroy(WPARAM, LPARAM) {
    LRESULT result = Default();
    // No child outlives the window.
    m_preview.EndPlayer();
    m_conversion.EndChildren();
    // A normal end starts empty next time; a language restart has kept the list. After the
    // writes handed off before, which the worker finishes as the window's object goes.
    if (!m_bRestarting && m_queueStore.IsOpen())
        m_fileWorker.Post([store = &m_queueStore] { store->Discard(); });
    return result;
}

void CQuelvoxDlg::OnLogo() {
    Seam().ShellExecute(nullptr, nullptr, kProductPage, nullptr, nullptr, SW_SHOWNORMAL);
}

void CQuelvoxDlg::ShowAboutBox() {
    CAboutDlg about(this);
    about.DoModal();
}

void CQuelvoxDlg::TogglePreview() {
    const int selected = m_listFiles.GetNextItem(-1, LVNI_SELECTED);
    m_preview.TogglePreview(selected == -1 ? std::nullopt
                                           : std::optional(m_listFiles.GetItemText(selected, 0)));
}

void CQuelvoxDlg::OnClockTick() {
    m_nShownPos = m_preview.Position();
    if (m_conversion.Converting()) {
        m_conversion.ShowQueueProgress();
        return;
    }
    m_slider.SetPos(m_nShownPos);
    const auto pos = static_cast<unsigned>(m_nShownPos), length = static_cast<unsigned>(m_nLength);
    m_stcTime.SetWindowText(FormatString(L"%02u:%02u:%02u/%02u:%02u:%02u", pos / 3600 % 60,
                                         pos / 60 % 60, pos % 60, length / 3600 % 60,
                                         length / 60 % 60, length % 60)
                                .c_str());
}

void CQuelvoxDlg::ShowQueueProgress(const convert::QueueProgress& progress, bool paused) {
    m_step3.m_progress.SetPos(progress.filePercent);
    m_stcTime.SetWindowText(FormatString(L"%3d%%", progress.filePercent).c_str());
    std::wstring caption = FormatString(LoadResString(IDS_CAPTION_PROGRESS).c_str(),
                                        progress.percent, progress.file, progress.files);
    if (progress.secondsLeft >= 0)
        caption += FormatString(LoadResString(IDS_CAPTION_TIME_LEFT).c_str(),
                                std::max(1, (progress.secondsLeft + 59) / 60));
    SetWindowText((caption + L" \u2013 " + m_strTitle).c_str());
    Seam().SetTaskbarProgress(
        m_hWnd, paused ? CSystemSeam::TaskbarState::Paused : CSystemSeam::TaskbarState::Normal,
        static_cast<ULONGLONG>(progress.percent), 100);
}

void CQuelvoxDlg::ShowNoQueueProgress() {
    SetWindowText(m_strTitle.c_str());
    Seam().SetTaskbarProgress(m_hWnd, CSystemSeam::TaskbarState::None, 0, 0);
}

void CQuelvoxDlg::AppendLog(const wchar_t* text) {
    const CEdit& log = m_step3.m_editLog;
    const int end = ::GetWindowTextLengthW(log);
    log.SetSel(end, end);
    log.SendMessage(EM_SCROLLCARET);
    log.ReplaceSel(WithCrLf(text).c_str(), false);
    log.LineScroll(10);
    // Painted with the next messages: nothing holds this thread up any more.
    m_step3.RedrawWindow(RDW_INVALIDATE | RDW_ERASE);
}

void CQuelvoxDlg::AppendLogId(UINT id) {
    AppendLog(LoadResString(id).c_str());
}

void CQuelvoxDlg::SetConvertButton(UINT iconId, UINT captionId) {
    m_nConvertIcon = iconId;
    m_btnConvert.AssignIcon(m_icons[iconId == IDI_STOP ? 1 : iconId == IDI_EXIT ? 2 : 0]);
    if (captionId) {
        m_btnConvert.SetWindowText(LoadResString(captionId).c_str());
        m_tips.Add(m_btnConvert);
    }
}

int CQuelvoxDlg::Quality() {
    m_step1.UpdateData(TRUE);
    return m_step1.m_nQuality;
}

bool CQuelvoxDlg::ShutdownWanted() {
    m_step3.UpdateData(TRUE);
    return m_step3.m_bShutdown;
}

void CQuelvoxDlg::ShowRunStarted() {
    m_btnPrev.EnableWindow(true);
    SetConvertButton(IDI_STOP, IDS_STOP);
    m_grpStep.SetWindowText(LoadResString(IDS_STEP2).c_str());
    m_listFiles.EnableWindow(false);
    StopPreview();
    m_btnLanguage.EnableWindow(false);
}

void CQuelvoxDlg::ReleaseList() {
    m_listFiles.EnableWindow(true);
    m_btnLanguage.EnableWindow(true);
    // The run has ended or stopped.
    ShowNoQueueProgress();
}

void CQuelvoxDlg::ShowList() {
    m_btnPrev.EnableWindow(false);
    m_grpStep.SetWindowText(LoadResString(IDS_STEP1).c_str());
    SetConvertButton(IDI_CONVERT, IDS_CONVERT);
    ShowPage(m_step1, 0);
}

void CQuelvoxDlg::ShowPreviewing(bool previewing) {
    m_step1.m_btnPreview.SetWindowText(
        LoadResString(previewing ? IDS_STOP_PREVIEW : IDS_PREVIEW).c_str());
}

void CQuelvoxDlg::ShowLength(int seconds) {
    m_nLength = seconds;
    m_slider.SetRange(0, m_nLength, false);
}
