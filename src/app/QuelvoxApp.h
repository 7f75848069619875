// CQuelvoxApp: the program's whole life in InitInstance (restart wait, settings, language,
// splash, main dialog, clean-up), the two persisted settings and the restart hand-over.
#pragma once

#include "framework/App.h"
#include "ui/Languages.h"

#include "QuelvoxVersion.h"

#include <string>
#include <vector>

class CQuelvoxDlg;

class CQuelvoxApp : public CWinApp, public Languages {
public:
    static constexpr const wchar_t* kRegistryKey = L"Tavrenix";
    static constexpr const wchar_t* kVersionText = QV_VERSION_WIDE L" "; // with its trailing blank
    static constexpr const wchar_t* kRestartMutex = L"YOUR_RESTART-MUTEX_NAME";
    static constexpr const wchar_t* kRestartArgument = L"--Restart";
    // Held while the program runs: the installer and the uninstaller wait until it is gone.
    static constexpr const wchar_t* kRunningMutex = QV_RUNNING_MUTEX_WIDE;

    CQuelvoxApp();
    ~CQuelvoxApp() override;
    BOOL InitInstance() override;

    // The start-up steps before the splash: restart wait, profile, language, controls, COM.
    void StartUp();
    // Reads and rewrites the stored version text; true when it changed (a first run).
    bool CheckVersion();

    // The languages the main window offers, as SelectLanguage found them.
    const std::vector<LCID>& Installed() const override { return m_arrLangLcid; }
    LCID InUse() const override { return m_lcid; }
    std::wstring Abbreviation() const override { return m_szLangAbbrev; }
    std::wstring LoadedAbbreviation() const override;
    // Stores the choice; FinishRestart starts the successor once the main window has gone, and
    // reports a failed start.
    void RestartIn(LCID lcid) override;
    void FinishRestart();

    CQuelvoxDlg* m_pMainDlg = nullptr;
    wchar_t m_szLangAbbrev[4] = L"";
    LCID m_lcid = 1033;
    HMODULE m_hLangDll = nullptr;
    std::vector<LCID> m_arrLangLcid;
    // A language was chosen: the program starts anew once the main window has gone.
    bool m_bRestart = false;
};

CQuelvoxApp& TheApp();

// The files and folders a command line names for the queue ("Open with", "Send To", a drop
// on the program's icon): every argument after the program's own, but the restart argument, as
// a whole path.
std::vector<std::wstring> StartFiles(const wchar_t* commandLine);
// Only a command line that begins with "--Restart" skips the restart wait; an ordinary one
// begins with the program's path.
bool SkipsRestartWait(const wchar_t* commandLine);
// Waits while a previous instance hands over to this one (it holds the restart mutex).
void WaitForPreviousInstance();
// Takes the restart mutex and starts a new instance of the program; false when another
// hand-over is under way or the start failed.
bool LaunchNewInstance();
// The language to start in for the stored "LCID" text: the user's own unless it names an
// installed locale.
LCID StoredLanguage(const std::wstring& stored);
// Lets go of the restart mutex taken by LaunchNewInstance, if any.
void ReleaseRestartMutex();
// Keeps the restart mutex, if any, until the process ends: closing its last handle earlier
// would delete it before a slow successor opens it, and the successor would not wait.
void KeepRestartMutexToTheEnd();
// Takes the running mutex, in this session's namespace and the machine's, until the process
// ends.
void HoldRunningMutex();
// Puts a "Quelvox" shortcut to the program into the folder (the user's Send To); COM must be up.
bool AddSendToEntry(const std::wstring& folder, const std::wstring& program);
