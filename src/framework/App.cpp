#include "App.h"

#include "InputLock.h"

#include "Handle.h"
#include "Seam.h"
#include "String.h"

namespace {
CWinApp* g_app = nullptr;
} // namespace

CWinApp::CWinApp(const wchar_t* appName) {
    g_app = this;
    m_hInstance = ::GetModuleHandleW(nullptr);
    m_hResource = m_hInstance;
    if (appName) {
        m_strAppName = appName;
    } else {
        wchar_t path[MAX_PATH] = L"";
        ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring name = path;
        name = name.substr(name.find_last_of(L"\\/") + 1);
        m_strAppName = name.substr(0, name.rfind(L'.'));
    }
}

CWinApp::~CWinApp() {
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

void CWinApp::SetRegistryKey(const wchar_t* company) {
    m_strRegistryKey = company;
}

namespace {
std::wstring SectionKey(const CWinApp& app, const wchar_t* section) {
    return L"Software\\" + app.m_strRegistryKey + L"\\" + app.m_strAppName + L"\\" + section;
}
} // namespace

std::wstring CWinApp::GetProfileString(const wchar_t* section, const wchar_t* entry,
                                       const wchar_t* fallback) const {
    std::wstring result = fallback ? fallback : L"";
    CRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, SectionKey(*this, section).c_str(), 0, KEY_READ,
                        key.Receive()) != ERROR_SUCCESS)
        return result;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(key, entry, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        if (::RegQueryValueExW(key, entry, nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                               &size) == ERROR_SUCCESS) {
            value.resize(size / sizeof(wchar_t));
            // The stored text may or may not carry its terminator.
            result = value.substr(0, value.find(L'\0'));
        }
    }
    return result;
}

bool CWinApp::WriteProfileString(const wchar_t* section, const wchar_t* entry,
                                 const wchar_t* value) {
    CRegKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, SectionKey(*this, section).c_str(), 0, nullptr, 0,
                          KEY_WRITE, nullptr, key.Receive(), nullptr) != ERROR_SUCCESS)
        return false;
    LONG status;
    if (value) {
        DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
        status =
            ::RegSetValueExW(key, entry, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes);
    } else {
        status = ::RegDeleteValueW(key, entry);
    }
    return status == ERROR_SUCCESS;
}

CWinApp* AfxGetApp() {
    return g_app;
}

HINSTANCE AfxGetInstanceHandle() {
    return g_app ? g_app->m_hInstance : ::GetModuleHandleW(nullptr);
}

HINSTANCE AfxGetResourceHandle() {
    return g_app ? g_app->m_hResource : ::GetModuleHandleW(nullptr);
}

void AfxSetResourceHandle(HINSTANCE resource) {
    if (g_app)
        g_app->m_hResource = resource;
}

int AfxMessageBox(const wchar_t* text, UINT type) {
    if ((type & MB_ICONMASK) == 0 && (type & MB_TYPEMASK) == MB_OK)
        type |= MB_ICONEXCLAMATION;
    HWND owner = nullptr;
    if (g_app && g_app->m_pMainWnd && ::IsWindow(g_app->m_pMainWnd->m_hWnd))
        owner = g_app->m_pMainWnd->m_hWnd;
    const wchar_t* caption = g_app ? g_app->m_strAppName.c_str() : L"";
    const CBoxScope box(owner);
    return Seam().MessageBox(owner, text, caption, type);
}

int AfxMessageBox(UINT stringId, UINT type) {
    return AfxMessageBox(LoadResString(stringId).c_str(), type);
}
