#include "FileDialog.h"

#include "InputLock.h"
#include "Seam.h"

CFileDialog::CFileDialog(DWORD flags, const wchar_t* filter, HWND owner, size_t bufferChars)
    : m_filter(filter ? filter : L""), m_buffer(bufferChars, L'\0') {
    for (wchar_t& c : m_filter)
        if (c == L'|')
            c = L'\0';
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.hwndOwner = owner;
    m_ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
    m_ofn.nFilterIndex = 1;
    m_ofn.lpstrFile = m_buffer.data();
    m_ofn.nMaxFile = static_cast<DWORD>(m_buffer.size());
    // Explorer style: a multiple selection comes back as NUL-separated names.
    m_ofn.Flags = flags | OFN_EXPLORER | OFN_ENABLESIZING;
}

INT_PTR CFileDialog::DoModal() {
    m_buffer.assign(m_buffer.size(), L'\0');
    const CBoxScope box(m_ofn.hwndOwner);
    if (Seam().GetOpenFileName(&m_ofn))
        return IDOK;
    m_dwError = Seam().CommDlgExtendedError();
    return IDCANCEL;
}

std::vector<std::wstring> CFileDialog::GetPathNames() const {
    std::vector<std::wstring> names;
    const wchar_t* at = m_buffer.data();
    const wchar_t* end = at + m_buffer.size();
    auto next = [&]() -> std::wstring {
        const wchar_t* start = at;
        while (at < end && *at)
            ++at;
        std::wstring text(start, at);
        if (at < end)
            ++at;
        return text;
    };
    std::wstring first = next();
    if (first.empty())
        return names;
    // One file: its full path. Several: the folder, then each name.
    for (std::wstring name = next(); !name.empty(); name = next())
        names.push_back(first + (first.back() == L'\\' ? L"" : L"\\") + name);
    if (names.empty())
        names.push_back(first);
    return names;
}
