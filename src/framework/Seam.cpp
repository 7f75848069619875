#include "Seam.h"

#include "Paths.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

int CSystemSeam::MessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    return ::MessageBoxW(owner, text, caption, type);
}

BOOL CSystemSeam::GetOpenFileName(OPENFILENAMEW* ofn) {
    return ::GetOpenFileNameW(ofn);
}

DWORD CSystemSeam::CommDlgExtendedError() {
    return ::CommDlgExtendedError();
}

HINSTANCE CSystemSeam::ShellExecute(HWND owner, const wchar_t* verb, const wchar_t* file,
                                    const wchar_t* parameters, const wchar_t* directory, int show) {
    return ::ShellExecuteW(owner, verb, file, parameters, directory, show);
}

bool CSystemSeam::OpenFolderAndSelect(const wchar_t* item) {
    // The shell's own call, not a command line for explorer.exe: no quoting, no length limit
    // of its own.
    PIDLIST_ABSOLUTE pidl = nullptr;
    if (FAILED(::SHParseDisplayName(item, nullptr, &pidl, 0, nullptr)))
        return false;
    const bool opened = SUCCEEDED(::SHOpenFolderAndSelectItems(pidl, 0, nullptr, 0));
    ::CoTaskMemFree(pidl);
    return opened;
}

BOOL CSystemSeam::InitiateSystemShutdown(const wchar_t* message, DWORD timeoutSeconds,
                                         BOOL forceAppsClosed, BOOL reboot) {
    return ::InitiateSystemShutdownW(nullptr, const_cast<wchar_t*>(message), timeoutSeconds,
                                     forceAppsClosed, reboot);
}

BOOL CSystemSeam::AbortSystemShutdown() {
    return ::AbortSystemShutdownW(nullptr);
}

bool CSystemSeam::HighContrast() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

void CSystemSeam::KeepSystemAwake(bool awake) {
    // The state belongs to the calling thread: always the window's.
    ::SetThreadExecutionState(awake ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS);
}

void CSystemSeam::SetTaskbarProgress(HWND window, TaskbarState state, ULONGLONG done,
                                     ULONGLONG total) {
    // Made once, on the first call (COM is up by then), and kept for the program's life.
    static ITaskbarList3* const list = [] {
        ITaskbarList3* created = nullptr;
        if (FAILED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_ITaskbarList3, reinterpret_cast<void**>(&created))))
            return static_cast<ITaskbarList3*>(nullptr);
        if (FAILED(created->HrInit())) {
            created->Release();
            return static_cast<ITaskbarList3*>(nullptr);
        }
        return created;
    }();
    if (!list)
        return;
    if (state == TaskbarState::None) {
        list->SetProgressState(window, TBPF_NOPROGRESS);
        return;
    }
    list->SetProgressValue(window, done, total);
    list->SetProgressState(window, state == TaskbarState::Paused ? TBPF_PAUSED : TBPF_NORMAL);
}

BOOL CSystemSeam::AllowSetForegroundWindow(DWORD processId) {
    return ::AllowSetForegroundWindow(processId);
}

DWORD CSystemSeam::FileAttributes(const std::wstring& path) {
    return ::GetFileAttributesW(LongPathForm(path).c_str());
}

namespace {
CSystemSeam g_systemSeam;
CSystemSeam* g_seam = &g_systemSeam;
} // namespace

CSystemSeam& Seam() {
    return *g_seam;
}

CSystemSeam* SetSeam(CSystemSeam* seam) {
    CSystemSeam* previous = g_seam;
    g_seam = seam ? seam : &g_systemSeam;
    return previous;
}

void CSystemSeam::HandlerFailed(const wchar_t* what) {
    ::OutputDebugStringW(
        (std::wstring(L"Quelvox: a message handler failed: ") + what + L"\n").c_str());
}
