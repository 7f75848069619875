// CWinApp: the application object. Holds the module handles, the main window, the per-user
// profile and the current resource module, from which templates, strings, bitmaps and icons
// are loaded (a language library can take the executable's place).
#pragma once

#include "Wnd.h"

#include <string>

class CWinApp {
public:
    // appName null: the executable's file name without its extension.
    explicit CWinApp(const wchar_t* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Returns false when the program should end (it always does here: there is no message
    // loop outside the modal dialogs).
    virtual BOOL InitInstance();

    // From now on the profile lives under HKEY_CURRENT_USER\Software\<company>\<app name>.
    void SetRegistryKey(const wchar_t* company);
    // An absent value reads as `fallback` (empty when null).
    std::wstring GetProfileString(const wchar_t* section, const wchar_t* entry,
                                  const wchar_t* fallback = nullptr) const;
    bool WriteProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* value);

    std::wstring m_strAppName;
    std::wstring m_strRegistryKey;
    HINSTANCE m_hInstance = nullptr;
    HINSTANCE m_hResource = nullptr;
    CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE resource);
// A message box owned by the main window, with the application's name as caption; an OK box
// without icon gets the exclamation icon.
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK);
int AfxMessageBox(UINT stringId, UINT type = MB_OK);
