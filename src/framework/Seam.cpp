#include "Seam.h"

#include <shellapi.h>

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

BOOL CSystemSeam::InitiateSystemShutdown(const wchar_t* message, DWORD timeoutSeconds,
                                         BOOL forceAppsClosed, BOOL reboot) {
    return ::InitiateSystemShutdownW(nullptr, const_cast<wchar_t*>(message), timeoutSeconds,
                                     forceAppsClosed, reboot);
}

BOOL CSystemSeam::AbortSystemShutdown() {
    return ::AbortSystemShutdownW(nullptr);
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
