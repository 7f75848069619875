// CQuelvoxDlg: the program's main window, a modal dialog that lives for the whole run. It owns
// the wizard pages, the skinned controls, the conversion run and the preview player, and is
// the host both of them show themselves through:
//   src/ui/QuelvoxDlg.cpp        set-up, title bar, timers, message routing, the two hosts
//   src/ui/FileList.cpp          the file list (the queue)
//   src/convert/Conversion.cpp   the conversion run
//   src/preview/Preview.cpp      the preview player
#pragma once

#include "resources/WindowIds.h"
#include "Languages.h"
#include "MovieFiles.h"
#include "QueueStore.h"
#include "Pages.h"
#include "convert/Conversion.h"
#include "framework/App.h"
#include "framework/Controls.h"
#include "framework/Dpi.h"
#include "framework/Dialog.h"
#include "framework/FileVersionInfo.h"
#include "framework/Worker.h"
#include "framework/Gdi.h"
#include "preview/Preview.h"
#include "skin/MyBitmapButton.h"
#include "skin/MyStatic.h"
#include "skin/Splash.h"
#include "skin/TitleMenu.h"
#include "skin/XButtonXP.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

class CQuelvoxDlg : public CDialog, convert::RunHost, preview::PreviewHost {
public:
    static constexpr UINT_PTR kClockTimer = window_ids::kClockTimer;
    static constexpr UINT_PTR kAboutTimer = window_ids::kAboutTimer;
    static constexpr UINT_PTR kSearchTimer = window_ids::kSearchTimer;
    static constexpr UINT_PTR kQueueSaveTimer = window_ids::kQueueSaveTimer;
    // How soon after a change the list is kept and its first movie identified.
    static constexpr UINT kQueueSaveMs = 500;
    // Brings back the queue the last run left, then queues the files it was started with, once the
    // window is on screen.
    static constexpr UINT kQueueStartFilesMessage = window_ids::kQueueStartFiles;
    // A look for movies through the dropped paths is done (wParam: its number).
    static constexpr UINT kMoviesFoundMessage = window_ids::kMoviesFound;
    // The window is up: the splash may go.
    static constexpr UINT kWindowUpMessage = window_ids::kWindowUp;
    // The kept list has been read (and its files looked for) by the file worker.
    static constexpr UINT kQueueReadMessage = window_ids::kQueueRead;
    // The kept list could not be written: the disk is full.
    static constexpr UINT kQueueDiskFullMessage = window_ids::kQueueDiskFull;
    // The file worker has looked for the selected file's converted movie.
    static constexpr UINT kFolderLookedMessage = window_ids::kFolderLooked;
    // The web page of the product (no scheme: the shell's default action opens it).
    static constexpr const wchar_t* kProductPage = L"www.tavrenix.example/quelvox";

    // languages: what the language menu offers (none: only its title).
    explicit CQuelvoxDlg(Languages* languages = nullptr, CWnd* parent = nullptr);
    ~CQuelvoxDlg() override;

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
    // Selects the item alone, with the focus, and scrolls it into view.
    void SelectItem(int index);
    // Queues the movies among the paths (files, and the movies inside folders) after the
    // list's items, once they are found; sayIfNone: a box says so when there is none.
    void QueueMovies(std::vector<std::wstring> paths, bool sayIfNone);
    // A look for movies is under way or waiting.
    bool Searching() const { return !m_searches.empty(); }
    // Opens the folder of source with its converted movie selected, when there is one.
    void OpenFolderOf(const std::wstring& source);
    // What the last run left has been taken up (brought back, offered or set aside).
    bool PreviousListTaken() const { return m_bPreviousListTaken; }

    // Conversion (the run is m_conversion's)
    void OnConvert() { m_conversion.OnConvert(m_nCurPage == 2); }
    void OnPrev() { m_conversion.OnPrev(m_nCurPage == 2); }
    void StopConversion() { m_conversion.StopConversion(); }
    void AppendLog(const wchar_t* text);
    void AppendLogId(UINT id);

    // Preview (the player is m_preview's) and position display
    void TogglePreview();
    void StopPreview() { m_preview.StopPreview(); }
    void OnClockTick();
    void SeekPlayer(UINT key) { m_preview.SeekPlayer(key); }
    HWND FindPlayerWindow() const { return m_preview.FindPlayerWindow(); }

    // The dialog disabled under the "Please Wait..." label while the run, the preview or a
    // look through folders waits on something; counted, as they may overlap. Nothing waits on
    // this thread: each of them moves on from its timer or its messages (see
    // convert/Conversion.h and preview/Preview.h for what may arrive meanwhile).
    void BeginWait();
    void EndWait();
    bool Busy() const { return m_nBusy > 0; }

    void ShowAboutBox();
    void ShowPage(CDialog& page, int pageNumber);

    // The language menu (src/ui/LanguageMenu.cpp).
    void BuildLanguageMenu();
    // Acts on a command of the language menu (a restart in the chosen language).
    void HandleLanguageCommand(UINT command);
    // Opens the menu at the mouse pointer.
    void ShowLanguageMenu();

    // What the program was started with, handed over before the window is created.
    struct StartUp {
        // Still on screen until this window is up.
        std::unique_ptr<StartDialog> splash;
        // The first run of this version: the about box opens by itself.
        bool firstRun = false;
        // Files and folders the program was started with ("Open with", "Send To").
        std::vector<std::wstring> files;
    };
    void SetStartUp(StartUp startUp);

    // The page shown: 0 the list's, 2 the run's.
    int CurrentPage() const { return m_nCurPage; }
    // The product's name and version, and with the build's date as the about box shows it.
    const std::wstring& Title() const { return m_strTitle; }
    const std::wstring& TitleWithBuild() const { return m_strTitleBuild; }
    // What the language menu offers (none: only its title).
    const Languages* LanguagesOffered() const { return m_pLanguages; }
    // The length of the movie in the preview, in seconds; the position display and the slider
    // go by it.
    int Length() const { return m_nLength; }
    void ShowLength(int seconds) override;

    // The window's parts, in the order of construction: its pages, controls, the list's
    // keeping, the run and the player. Its own state is private.
    STEP1 m_step1;
    STEP2 m_step2;
    STEP3 m_step3;
    CListCtrl m_listFiles;
    CStatic m_stcPane;
    CStatic m_stcTime;
    CSliderCtrl m_slider;
    CMyBitmapButton m_btnMinimize;
    CMyBitmapButton m_btnLogo;
    CMyBitmapButton m_btnClose;
    CMyBitmapButton m_btnAbout;
    CStatic m_grpStep;
    CMyStatic m_stcWait;
    CFont m_fontBold;
    CMyStatic m_stcTitle;
    CXButtonXP m_btnPrev;
    CXButtonXP m_btnConvert;
    // Where the list is kept while the program runs (not open: nowhere). Only the file worker
    // reads and writes it.
    CQueueStore m_queueStore;
    // Runs the window's file calls that may block on a user's path (a dropped network share)
    // off its thread, in order.
    CWorker m_fileWorker;
    convert::CConversion m_conversion{*this};
    preview::CPreview m_preview{*this};
    CStatic m_stcFrame;
    CMyBitmapButton m_btnLanguage;
    CTitleMenu m_menuLang;
    CXButtonXP m_btnSeekFwd;
    CXButtonXP m_btnSeekBack;
    // Each button's name as a tip.
    CToolTips m_tips;

private:
    Languages* m_pLanguages;
    HICON m_hIcon;
    struct {
        int x, y, width, height;
    } m_rcPage{};
    int m_nLength = 0;
    int m_nShownPos = 0;
    int m_nCurPage = 0;
    std::wstring m_strTitle;
    std::wstring m_strTitleBuild;
    // The Convert button's icon as it reads now: IDI_CONVERT, IDI_STOP or IDI_EXIT.
    UINT m_nConvertIcon = IDI_CONVERT;
    StartUp m_startUp;
    CFileVersionInfo m_verInfo;
    // Parts of OnInitDialog.
    void SetUpShell();
    void SetTitles();
    void SetUpButtons();
    int m_nBusy = 0;
    // The wheel's turn not yet spent on a seek.
    int m_nWheelDelta = 0;
    // The list changed since it was last kept; it is kept shortly after.
    bool m_bQueueDirty = false;
    // The window ends for a language restart: the list is kept for the next start.
    bool m_bRestarting = false;
    std::vector<CQueueStore::Item> QueueItems() const;
    void QueueChanged();
    // Hands the list as it is now to the file worker to keep; restart: for the next start.
    void KeepQueue(bool restart = false);
    // What the file worker read of the previous run's list, for kQueueReadMessage.
    struct RestoredQueue {
        CQueueStore::Previous previous;
        int missing = 0; // files of the list that no longer exist, left out
    };
    std::shared_ptr<RestoredQueue> m_restoredQueue;
    bool m_bPreviousListTaken = false;
    // The full disk has been reported: once is enough.
    bool m_bDiskFullSaid = false;
    LRESULT OnQueueRead(WPARAM, LPARAM);
    // What the file worker found for "Open folder".
    struct FolderLook {
        std::wstring folder, movie;
    };
    std::shared_ptr<FolderLook> m_folderLook;
    LRESULT OnFolderLooked(WPARAM, LPARAM);
    LRESULT OnQueueDiskFull(WPARAM, LPARAM);
    LRESULT OnListChanged(NMHDR* header);
    // The looks for movies asked for, the first one under way.
    struct Search {
        std::vector<std::wstring> paths;
        bool sayIfNone;
    };
    std::deque<Search> m_searches;
    CMovieSearch m_search;
    WPARAM m_nSearch = 0;
    bool m_bSearchWait = false;
    std::wstring m_strWaitText;
    void StartSearch();
    void ShowSearchProgress();
    LRESULT OnMoviesFound(WPARAM search, LPARAM);

    // convert::RunHost
    int ItemCount() override { return m_listFiles.GetItemCount(); }
    bool IsTicked(int item) override { return m_listFiles.GetCheck(item); }
    std::wstring ItemPath(int item) override { return m_listFiles.GetItemText(item, 0); }
    void Untick(int item) override { m_listFiles.SetCheck(item, false); }
    int Quality() override;
    convert::OutputFormat Format() override { return m_step1.Format(); }
    bool ShutdownWanted() override;
    void Log(const std::wstring& text) override { AppendLog(text.c_str()); }
    void ShowRunStarted() override;
    void ShowRunPage() override { ShowPage(m_step3, 2); }
    void ReleaseList() override;
    void ShowExitButton() override { SetConvertButton(IDI_EXIT, IDS_EXIT); }
    void ShowList() override;
    void EndProgram() override { EndMainWindow(); }
    void FileStarted() override { m_nLength = 0; }
    // The encoder's share done in the progress bar and the position display, the queue's in
    // the caption (what the taskbar and Alt+Tab show) and on the taskbar button.
    void ShowQueueProgress(const convert::QueueProgress& progress, bool paused) override;
    // convert::RunHost and preview::PreviewHost
    void SetBusy(bool busy) override { busy ? BeginWait() : EndWait(); }
    int Ask(const std::wstring& text, UINT type) override {
        return AfxMessageBox(text.c_str(), type);
    }
    // preview::PreviewHost
    void ShowPreviewing(bool previewing) override;

    void SetConvertButton(UINT iconId, UINT captionId);
    // Draws everything the code sizes in pixels at the window's DPI: fonts, pictures, icons,
    // the title bar, the list's column, the pages' place, the preview pane. On creation and
    // when the window moves to a monitor of another DPI.
    void ApplyDpi() override;
    // Windows sends WM_SETTINGCHANGE often, for many reasons: only a high-contrast theme going
    // on or off and new non-client metrics (the menu's font) change what ApplyDpi made.
    LRESULT OnSettingChange(WPARAM wParam, LPARAM);
    // The system's colours changed: the common controls are told, as only a top-level window
    // hears it, and what takes the system's colours under a high-contrast theme is redone.
    LRESULT OnSysColorChange(WPARAM, LPARAM);
    // Puts the skin's colours, or under a high-contrast theme the system's, on the title bar and
    // the wait label.
    void ApplyColours(UINT dpi);
    // Repaints the window and its controls, but not the player's picture in the preview pane,
    // which draws itself.
    void RepaintAroundThePicture();
    // What ApplyDpi made, for as long as the controls show it.
    CBitmap m_bmTitleBar;
    CIcon m_icons[3]; // Convert, Stop, Exit
    CIcon m_iconPrev;
    // The plain caption and no progress on the taskbar button: no run.
    void ShowNoQueueProgress();
    // The monitors' messages, wherever they are dispatched (our loop or a system one: a
    // message box, a menu, moving the window). Each counts only for the run it names.
    LRESULT OnEncoderDone(WPARAM run, LPARAM) {
        m_conversion.OnEncoderDone(run);
        return 0;
    }
    LRESULT OnPlayerVideoOpened(WPARAM run, LPARAM) {
        m_preview.OnPlayerVideoOpened(run);
        return 0;
    }
    LRESULT OnPlayerEnded(WPARAM run, LPARAM) {
        m_preview.OnPlayerEnded(run);
        return 0;
    }
    // An identification or a look beside a movie has ended: the run's or the preview's,
    // whichever waits for it.
    LRESULT OnIdentified(WPARAM run, LPARAM) {
        m_conversion.OnIdentified(run);
        m_preview.Step();
        return 0;
    }
    LRESULT OnLooked(WPARAM, LPARAM) {
        m_conversion.OnLooked();
        m_preview.Step();
        return 0;
    }
    // The encoder's first share done, shown as it comes rather than with the next tick.
    LRESULT OnEncoderProgress(WPARAM run, LPARAM) {
        m_conversion.OnEncoderProgress(run);
        return 0;
    }
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
    LRESULT OnQueueStartFiles(WPARAM, LPARAM);
    LRESULT OnWindowUp(WPARAM, LPARAM) {
        m_startUp.splash.reset();
        return 0;
    }
    LRESULT OnTimer(WPARAM wParam, LPARAM);
    LRESULT OnDestroy(WPARAM, LPARAM);
    LRESULT OnNothing(NMHDR*) { return 0; }
    LRESULT OnListDblClk(NMHDR*);
    LRESULT OnListKeyDown(NMHDR* header);
    void OnMinimize() { ShowWindow(SW_MINIMIZE); }
    void OnClose() { m_conversion.OnClose(m_nCurPage == 2); }
    // Ends the main window: the Close button, Exit and the end of a run.
    void EndMainWindow() { CDialog::OnOK(); }
    void OnLogo();
    void OnPaneClick() { m_slider.SetFocus(); }
    void OnSeekForward() { SeekPlayer(VK_RIGHT); }
    void OnSeekBack() { SeekPlayer(VK_LEFT); }
    void OnLanguageButton() { ShowLanguageMenu(); }
    CMenu* OwnerDrawnMenu() override { return &m_menuLang; }

    BEGIN_MSG_MAP(CQuelvoxDlg, CDialog)
        ON_MESSAGE(WM_SYSCOMMAND, OnSysCommand)
        ON_COMMAND_RANGE(kLanguageCommandBit, 0xFFFF, HandleLanguageCommand)
        ON_MESSAGE(WM_SYSCOLORCHANGE, OnSysColorChange)
        ON_MESSAGE(WM_SETTINGCHANGE, OnSettingChange)
        ON_MESSAGE(WM_CLOSE, OnCloseMessage)
        ON_MESSAGE(WM_PAINT, OnPaint)
        ON_MESSAGE(WM_QUERYDRAGICON, OnQueryDragIcon)
        ON_MESSAGE(WM_RBUTTONUP, OnRButtonUp)
        ON_MESSAGE(WM_LBUTTONDOWN, OnLButtonDown)
        ON_MESSAGE(WM_SHOWWINDOW, OnShowWindow)
        ON_COMMAND(IDC_CONVERT, OnConvert)
        ON_COMMAND(IDC_PREV, OnPrev)
        ON_MESSAGE(WM_DROPFILES, OnDropFiles)
        ON_MESSAGE(kQueueStartFilesMessage, OnQueueStartFiles)
        ON_MESSAGE(kMoviesFoundMessage, OnMoviesFound)
        ON_MESSAGE(kWindowUpMessage, OnWindowUp)
        ON_MESSAGE(kQueueReadMessage, OnQueueRead)
        ON_MESSAGE(kQueueDiskFullMessage, OnQueueDiskFull)
        ON_MESSAGE(kFolderLookedMessage, OnFolderLooked)
        ON_NOTIFY(IDC_FILE_LIST, NM_CLICK, OnNothing)
        ON_NOTIFY(IDC_FILE_LIST, LVN_ITEMCHANGED, OnListChanged)
        ON_NOTIFY(IDC_FILE_LIST, LVN_INSERTITEM, OnListChanged)
        ON_NOTIFY(IDC_FILE_LIST, LVN_DELETEITEM, OnListChanged)
        ON_NOTIFY(IDC_FILE_LIST, LVN_DELETEALLITEMS, OnListChanged)
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
        ON_MESSAGE(CRedirMediaInfo::kEndedMessage, OnIdentified)
        ON_MESSAGE(CSubtitleLookup::kDoneMessage, OnLooked)
        ON_MESSAGE(CDemoRedirector::kProgressMessage, OnEncoderProgress)
    END_MSG_MAP()
};
