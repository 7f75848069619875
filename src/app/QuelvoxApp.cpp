#include "QuelvoxApp.h"

#include "Language.h"
#include "framework/Paths.h"
#include "framework/Handle.h"
#include "framework/Seam.h"
#include "framework/String.h"
#include "ui/QuelvoxDlg.h"
#include "skin/Splash.h"

#include <commctrl.h>
#include <shellapi.h>
#include <objbase.h>
#include <shlobj.h>

#include <cwchar>

namespace {
// Held by an instance that launched its successor, until it ends.
CHandle s_hRestartMutex;
// How long a restart waits for another instance's hand-over to end.
constexpr DWORD kHandOverBoundMs = 30000;

bool IsTakenElsewhere(DWORD error) {
    return error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
}
} // namespace

CQuelvoxApp::CQuelvoxApp() = default;
CQuelvoxApp::~CQuelvoxApp() = default;

CQuelvoxApp& TheApp() {
    return *static_cast<CQuelvoxApp*>(AfxGetApp());
}

std::vector<std::wstring> StartFiles(const wchar_t* commandLine) {
    std::vector<std::wstring> files;
    int count = 0;
    wchar_t** words = ::CommandLineToArgvW(commandLine, &count);
    if (!words)
        return files;
    for (int i = 1; i < count; ++i) {
        if (std::wcscmp(words[i], CQuelvoxApp::kRestartArgument) == 0)
            continue;
        // Whole paths, as a drop gives them: the run must not depend on the folder we started in.
        std::wstring full(::GetFullPathNameW(words[i], 0, nullptr, nullptr), L'\0');
        full.resize(
            ::GetFullPathNameW(words[i], static_cast<DWORD>(full.size()), full.data(), nullptr));
        files.push_back(full.empty() ? std::wstring(words[i]) : full);
    }
    ::LocalFree(words);
    return files;
}

bool SkipsRestartWait(const wchar_t* commandLine) {
    const size_t length = std::wcslen(CQuelvoxApp::kRestartArgument);
    return std::wcsncmp(commandLine, CQuelvoxApp::kRestartArgument, length) == 0;
}

void WaitForPreviousInstance() {
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, CQuelvoxApp::kRestartMutex);
    const DWORD created = ::GetLastError();
    s_hRestartMutex.Attach(mutex);
    if (IsTakenElsewhere(created)) {
        // An abandoned mutex (the old instance has ended) counts as released.
        ::WaitForSingleObject(s_hRestartMutex, INFINITE);
        ::ReleaseMutex(s_hRestartMutex);
    }
    ReleaseRestartMutex();
}

bool LaunchNewInstance() {
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, CQuelvoxApp::kRestartMutex);
    const DWORD created = ::GetLastError();
    s_hRestartMutex.Attach(mutex);
    if (IsTakenElsewhere(created)) {
        // Another instance hands over; its wait ends with it, or this one gives up.
        if (::WaitForSingleObject(s_hRestartMutex, kHandOverBoundMs) != WAIT_TIMEOUT)
            ::ReleaseMutex(s_hRestartMutex);
        ReleaseRestartMutex();
        return false;
    }
    // Named as the application and quoted in the command line: from a folder with blanks an
    // unquoted path would start "C:\Program.exe" when there is one.
    const std::wstring path = GetModulePath();
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (path.empty() || !::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                          0, nullptr, nullptr, &si, &pi))
        return false;
    const CHandle thread(pi.hThread), process(pi.hProcess);
    // This process took the user's click on the language menu and may still take the
    // foreground; the successor may not until it is allowed to, and would open behind.
    Seam().AllowSetForegroundWindow(pi.dwProcessId);
    return true;
}

void ReleaseRestartMutex() {
    s_hRestartMutex.Close();
}

void KeepRestartMutexToTheEnd() {
    // The system lets go of it when the process has ended.
    s_hRestartMutex.Detach();
}

void HoldRunningMutex() {
    // Windows cannot replace or delete the files of a running program: an installer that
    // went on would leave a mix of two versions. Global\ is seen by an installer started in
    // another session; either name may be another copy's already, which serves as well.
    for (const wchar_t* space : {L"Local\\", L"Global\\"}) {
        // Never closed: the system lets go of it when the process ends, however it ends.
        ::CreateMutexW(nullptr, FALSE, (std::wstring(space) + CQuelvoxApp::kRunningMutex).c_str());
    }
}

void CQuelvoxApp::RestartIn(LCID lcid) {
    WriteProfileString(L"Language", L"LCID", FormatString(L"%d", static_cast<int>(lcid)).c_str());
    m_bRestart = true;
}

void CQuelvoxApp::FinishRestart() {
    // After the main window has gone: the launch may wait for another instance's hand-over,
    // and no window of ours must wait with it.
    if (std::exchange(m_bRestart, false) && !LaunchNewInstance())
        Seam().MessageBox(nullptr, L"Something Wrong", L"Restart App", MB_ICONEXCLAMATION | MB_OK);
}

bool AddSendToEntry(const std::wstring& folder, const std::wstring& program) {
    IShellLinkW* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* file = nullptr;
    const bool saved =
        SUCCEEDED(link->SetPath(program.c_str())) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Save((folder + L"\\Quelvox.lnk").c_str(), TRUE));
    if (file)
        file->Release();
    link->Release();
    return saved;
}

namespace {
// An installed copy adds its Send To entry for the user who runs it, once per version: the
// installer runs as an administrator, who may be another user. A portable copy leaves the
// menu alone.
void AddOwnSendToEntry() {
    const std::wstring program = GetModulePath();
    if (::GetFileAttributesW((GetModuleDirectory() + L"Uninstall.exe").c_str()) ==
        INVALID_FILE_ATTRIBUTES)
        return;
    wchar_t* sendTo = nullptr;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_SendTo, KF_FLAG_CREATE, nullptr, &sendTo)))
        AddSendToEntry(sendTo, program);
    ::CoTaskMemFree(sendTo);
}
} // namespace

LCID StoredLanguage(const std::wstring& stored) {
    // Anything but the number of an installed locale (garbage, a stale value) means the
    // user's own language, as when nothing is stored.
    wchar_t* end = nullptr;
    const unsigned long lcid = std::wcstoul(stored.c_str(), &end, 10);
    if (stored.empty() || *end != L'\0' || lcid == 0 ||
        !::IsValidLocale(static_cast<LCID>(lcid), LCID_INSTALLED))
        return ::GetUserDefaultUILanguage();
    return static_cast<LCID>(lcid);
}

void CQuelvoxApp::StartUp() {
    if (!SkipsRestartWait(::GetCommandLineW()))
        WaitForPreviousInstance();

    SetRegistryKey(kRegistryKey);
    SelectLanguage(*this, StoredLanguage(GetProfileString(L"Language", L"LCID")));

    INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF};
    ::InitCommonControlsEx(&controls);
    CWinApp::InitInstance();
    ::CoInitialize(nullptr);
}

std::wstring CQuelvoxApp::LoadedAbbreviation() const {
    return LanguageAbbreviation(m_lcid);
}

bool CQuelvoxApp::CheckVersion() {
    if (GetProfileString(L"Ver", L"Val") == kVersionText)
        return false;
    WriteProfileString(L"Ver", L"Val", kVersionText);
    return true;
}

BOOL CQuelvoxApp::InitInstance() {
    HoldRunningMutex();
    StartUp();
    std::unique_ptr<StartDialog> splash = RunSplash();

    auto* dialog = new CQuelvoxDlg(this);
    m_pMainWnd = dialog;
    m_pMainDlg = dialog;
    CQuelvoxDlg::StartUp start{std::move(splash), CheckVersion(), StartFiles(::GetCommandLineW())};
    if (start.firstRun)
        AddOwnSendToEntry();
    dialog->SetStartUp(std::move(start));
    if (const std::wstring state = StateFolder(); !state.empty()) {
        dialog->m_queueStore.Open(state);
        dialog->m_conversion.SetLogFolder(state + L"\\Logs");
    }
    dialog->DoModal();
    // The window is gone: what its end asked for.
    delete dialog;
    m_pMainWnd = nullptr;
    m_pMainDlg = nullptr;
    FinishRestart();

    ::CoUninitialize();
    if (m_hLangDll) {
        AfxSetResourceHandle(m_hInstance);
        ::FreeLibrary(m_hLangDll);
        m_hLangDll = nullptr;
    }
    // Owned until this process has ended, which is what the successor waits for.
    KeepRestartMutexToTheEnd();
    return FALSE;
}
