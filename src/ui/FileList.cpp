// The file list of the main dialog, which is the conversion queue: one item per full path,
// ticked when the file is to be converted.
#include "QuelvoxDlg.h"

#include "framework/App.h"
#include "framework/FileDialog.h"
#include "framework/String.h"
#include "resources/resource.h"

#include <shellapi.h>

#include <cwctype>

namespace {

constexpr const wchar_t* kAcceptedExtensions[] = {L".avi", L".asf", L".wmv", L".mp", L".vob",
                                                  L".dat", L".ts",  L".tp",  L".mkv"};
constexpr const wchar_t* kFilter =
    L"Movie Files(*.avi,*.asf,*.wmv,*.mpg,*.mpx,*.tp,*.ts,*.mkv)|"
    L"*.avi;*.asf;*.wmv;*.mpg;*.mp*;*.ts;*.tp;*.mkv|All Files(*.*)|*.*||";
// Room for a multiple selection of hundreds of files with long names.
constexpr size_t kSelectionChars = 64 * 1024;

bool HasAcceptedExtension(const std::wstring& path) {
    size_t dot = path.rfind(L'.');
    std::wstring ext = dot == std::wstring::npos ? path : path.substr(dot);
    for (wchar_t& c : ext)
        c = static_cast<wchar_t>(std::towlower(c));
    for (const wchar_t* accepted : kAcceptedExtensions)
        if (ext == accepted)
            return true;
    return false;
}

} // namespace

void CQuelvoxDlg::AppendFile(int index, const std::wstring& path) {
    m_listFiles.InsertItem(index, path.c_str());
    m_listFiles.SetItemState(index, LVIS_SELECTED, LVIS_SELECTED);
    m_listFiles.SetCheck(index, true);
}

void CQuelvoxDlg::AddFiles() {
    CFileDialog dialog(OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR |
                           OFN_ALLOWMULTISELECT,
                       kFilter, m_hWnd, kSelectionChars);
    int next = m_listFiles.GetItemCount();
    if (dialog.DoModal() != IDOK) {
        // A selection too large for the buffer must not vanish without a word.
        if (dialog.m_dwError == FNERR_BUFFERTOOSMALL)
            AfxMessageBox(IDS_TOO_MANY_FILES, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    for (const std::wstring& path : dialog.GetPathNames())
        AppendFile(next++, path);
}

LRESULT CQuelvoxDlg::OnDropFiles(WPARAM wParam, LPARAM) {
    auto drop = reinterpret_cast<HDROP>(wParam);
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    int next = m_listFiles.GetItemCount();
    // Thousands of files may come at once: the list is drawn once, at the end.
    m_listFiles.SendMessage(WM_SETREDRAW, FALSE);
    for (UINT i = 0; i < count; ++i) {
        // The whole path, however long: a cut one would queue a file that does not exist.
        std::wstring path(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        path.resize(::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
        if (HasAcceptedExtension(path))
            AppendFile(next++, path);
    }
    m_listFiles.SendMessage(WM_SETREDRAW, TRUE);
    m_listFiles.Invalidate();
    LRESULT result = Default();
    ::DragFinish(drop);
    return result;
}

LRESULT CQuelvoxDlg::OnListDblClk(NMHDR*) {
    TogglePreview();
    return 0;
}

LRESULT CQuelvoxDlg::OnListKeyDown(NMHDR* header) {
    switch (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey) {
    case VK_INSERT:
        AddFiles();
        break;
    case VK_DELETE:
        if (int selected = m_listFiles.GetNextItem(-1, LVNI_SELECTED); selected >= 0)
            m_listFiles.DeleteItem(selected);
        break;
    default:
        break;
    }
    return 0;
}
