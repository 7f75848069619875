// CQuelvoxDlg: the program's main window, a modal dialog that lives for the whole run. It owns
// the wizard pages, the skinned controls and the three console monitors; its operations are
// spread over the subsystems' folders:
//   src/ui/QuelvoxDlg.cpp        set-up, title bar, timers, message routing
//   src/ui/FileList.cpp          the file list (the queue)
//   src/convert/Conversion.cpp   the conversion run
//   src/preview/Preview.cpp      the preview player and the position display
#pragma once

#include "Pages.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/Gdi.h"
#include "redirect/DemoRedirector.h"
#include "redirect/RedirMPlayer.h"
#include "redirect/RedirMediaInfo.h"
#include "skin/MyBitmapButton.h"
#include "skin/MyStatic.h"
#include "skin/TitleMenu.h"
#include "skin/XButtonXP.h"
#include "app/FileVersionInfo.h"

#include <string>

class CQuelvoxDlg : public CDialog {
public:
    static constexpr UINT_PTR kClockTimer = 1;
    static constexpr UINT_PTR kAboutTimer = 2;
    // The web page of the product (no scheme: the shell's default action opens it).
    static constexpr const wchar_t* kProductPage = L"www.tavrenix.example/quelvox";

    explicit CQuelvoxDlg(CWnd* parent = nullptr);
    ~CQuelvoxDlg() override;

    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnInitDialog() override;
    // Enter and Escape never end the main window: the run and the list would go with it.
    void OnOK() override {}
    void OnCancel() override {}
    HBRUSH OnCtlColor(HDC dc, HWND child, UINT ctlColor) override;

    // File list
    void AddFiles();
    // Inserts a ticked, selected item.
    void AppendFile(int index, const std::wstring& path);

    // Conversion
    // Identifies the file and starts the encoder on it: 0 when its completion will follow,
    // 1 when the file is skipped.
    int ConvertFile(const std::wstring& path);
    void OnConvert();
    void OnPrev();
    void ConvertNext();
    void StopConversion();
    void OnConvertDone();
    void AppendLog(const wchar_t* text);
    void AppendLogId(UINT id);

    // Preview and position display
    void TogglePreview();
    void StartPreview(std::wstring path);
    void StopPreview();
    bool FitPreviewPane();
    bool WaitForPlayerWindow();
    void OnClockTick();
    void SeekPlayer(UINT key, int lookups);
    HWND FindPlayerWindow() const;

    // The dialog disabled under the "Please Wait..." label while its thread is busy.
    void BeginWait();
    void EndWait();

    void ShowAboutBox();
    void ShowPage(CDialog& page, int pageNumber);

    // Members, in the order of construction.
    HICON m_hIcon;
    STEP1 m_step1;
    STEP2 m_step2;
    STEP3 m_step3;
    struct {
        int x, y, width, height;
    } m_rcPage{};
    CListCtrl m_listFiles;
    CStatic m_stcPane;
    CStatic m_stcTime;
    CSliderCtrl m_slider;
    int m_nLength = 0;
    int m_nShownPos = 0;
    std::wstring m_strOutputFolder;
    CMyBitmapButton m_btnMinimize;
    CMyBitmapButton m_btnLogo;
    CMyBitmapButton m_btnClose;
    int m_nCurPage = 0;
    int m_nCurrentItem = 0;
    int m_nConverted = 0;
    bool m_bFinished = false;
    bool m_bConverting = false;
    CMyBitmapButton m_btnAbout;
    CStatic m_grpStep;
    CMyStatic m_stcWait;
    CFont m_fontBold;
    CMyStatic m_stcTitle;
    std::wstring m_strTitle;
    std::wstring m_strTitleBuild;
    HICON m_hIconConvert = nullptr;
    HICON m_hIconExit = nullptr;
    HICON m_hIconStop = nullptr;
    CXButtonXP m_btnPrev;
    CXButtonXP m_btnConvert;
    bool m_bFirstRun = false;
    CDemoRedirector m_encoder;
    CRedirMediaInfo m_mediaInfo;
    HWND m_hPlayerWnd = nullptr;
    CRedirMPlayer m_player;
    CStatic m_stcFrame;
    CMyBitmapButton m_btnLanguage;
    CTitleMenu m_menuLang;
    CFileVersionInfo m_verInfo;
    CXButtonXP m_btnSeekFwd;
    CXButtonXP m_btnSeekBack;
    // An encoder's completion that arrived while the user was asked whether to stop.
    bool m_bCompletionMissed = false;
    bool m_bAskingToStop = false;

private:
    // Asks whether to stop the run (question 102); true on Yes.
    bool ConfirmStop();
    void SetConvertButton(HICON icon, UINT captionId);
    // The monitors' messages, wherever they are dispatched (our loop or a system one: a
    // message box, a menu, moving the window). Each counts only for the run it names.
    LRESULT OnEncoderDone(WPARAM run, LPARAM);
    LRESULT OnPlayerVideoOpened(WPARAM run, LPARAM);
    LRESULT OnPlayerEnded(WPARAM run, LPARAM);
    LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);
    // Alt+F4, Close on the taskbar or the system menu: the way of the Close button.
    LRESULT OnCloseMessage(WPARAM, LPARAM) {
        OnClose();
        return 0;
    }
    LRESULT OnPaint(WPARAM, LPARAM);
    LRESULT OnQueryDragIcon(WPARAM, LPARAM) { return reinterpret_cast<LRESULT>(m_hIcon); }
    LRESULT OnRButtonUp(WPARAM, LPARAM) { return 0; }
    LRESULT OnLButtonDown(WPARAM, LPARAM);
    LRESULT OnShowWindow(WPARAM wParam, LPARAM);
    LRESULT OnDropFiles(WPARAM wParam, LPARAM);
    LRESULT OnTimer(WPARAM wParam, LPARAM);
    LRESULT OnDestroy(WPARAM, LPARAM);
    LRESULT OnNothing(NMHDR*) { return 0; }
    LRESULT OnListDblClk(NMHDR*);
    LRESULT OnListKeyDown(NMHDR* header);
    void OnMinimize() { ShowWindow(SW_MINIMIZE); }
    void OnClose();
    // Ends the main window: the Close button, Exit and the end of a run.
    void EndMainWindow() { CDialog::OnOK(); }
    void OnLogo();
    void OnPaneClick() { m_slider.SetFocus(); }
    void OnSeekForward();
    void OnSeekBack();
    void OnLanguageButton();
    CMenu* OwnerDrawnMenu() override { return &m_menuLang; }

    BEGIN_MSG_MAP(CQuelvoxDlg, CDialog)
        ON_MESSAGE(WM_SYSCOMMAND, OnSysCommand)
        ON_MESSAGE(WM_CLOSE, OnCloseMessage)
        ON_MESSAGE(WM_PAINT, OnPaint)
        ON_MESSAGE(WM_QUERYDRAGICON, OnQueryDragIcon)
        ON_MESSAGE(WM_RBUTTONUP, OnRButtonUp)
        ON_MESSAGE(WM_LBUTTONDOWN, OnLButtonDown)
        ON_MESSAGE(WM_SHOWWINDOW, OnShowWindow)
        ON_COMMAND(IDC_CONVERT, OnConvert)
        ON_COMMAND(IDC_PREV, OnPrev)
        ON_MESSAGE(WM_DROPFILES, OnDropFiles)
        ON_NOTIFY(IDC_FILE_LIST, NM_CLICK, OnNothing)
        ON_NOTIFY(IDC_FILE_LIST, LVN_ITEMCHANGED, OnNothing)
        ON_NOTIFY(IDC_SLIDER, NM_CUSTOMDRAW, OnNothing)
        ON_NOTIFY(IDC_FILE_LIST, NM_DBLCLK, OnListDblClk)
        ON_NOTIFY(IDC_FILE_LIST, LVN_KEYDOWN, OnListKeyDown)
        ON_MESSAGE(WM_TIMER, OnTimer)
        ON_COMMAND(IDC_MINIMIZE, OnMinimize)
        ON_COMMAND(IDC_CLOSE, OnClose)
        ON_COMMAND(IDC_LOGO, OnLogo)
        ON_COMMAND(IDC_PANE, OnPaneClick)
        ON_COMMAND(IDC_ABOUT, ShowAboutBox)
        ON_COMMAND(IDC_SEEK_FORWARD, OnSeekForward)
        ON_COMMAND(IDC_SEEK_BACK, OnSeekBack)
        ON_COMMAND(IDC_LANGUAGE, OnLanguageButton)
        ON_MESSAGE(WM_DESTROY, OnDestroy)
        ON_MESSAGE(CDemoRedirector::kDoneMessage, OnEncoderDone)
        ON_MESSAGE(CRedirMPlayer::kVideoOpenedMessage, OnPlayerVideoOpened)
        ON_MESSAGE(CRedirMPlayer::kEndedMessage, OnPlayerEnded)
    END_MSG_MAP()
};
