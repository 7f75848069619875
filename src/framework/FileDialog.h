// CFileDialog: the system's open-file dialog, with room for a multiple selection.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <string>
#include <vector>

class CFileDialog {
public:
    // filter: pairs of display text and pattern separated by '|', ended by "||".
    CFileDialog(DWORD flags, const wchar_t* filter, HWND owner, size_t bufferChars);

    // IDOK with the chosen names, IDCANCEL when cancelled or when the dialog failed (see
    // m_dwError, e.g. FNERR_BUFFERTOOSMALL).
    INT_PTR DoModal();
    // The chosen files, each with its folder, in the order the dialog returned them.
    std::vector<std::wstring> GetPathNames() const;

    OPENFILENAMEW m_ofn{};
    DWORD m_dwError = 0;

private:
    std::wstring m_filter;
    std::vector<wchar_t> m_buffer;
};
