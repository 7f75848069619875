// The file list of the main dialog, which is the conversion queue: one item per full path,
// ticked when the file is to be converted.
#include "QuelvoxDlg.h"

#include "MovieFiles.h"
#include "framework/App.h"
#include "framework/FileDialog.h"
#include "framework/String.h"
#include "resources/resource.h"

#include <shellapi.h>

#include <utility>

namespace {
// Room for a multiple selection of hundreds of files with long names.
constexpr size_t kSelectionChars = 64 * 1024;
// How often a long look through folders lets the window paint and show how far it got.
constexpr ULONGLONG kProgressMs = 100;
} // namespace

void CQuelvoxDlg::AppendFile(int index, const std::wstring& path) {
    m_listFiles.InsertItem(index, path.c_str());
    m_listFiles.SetItemState(index, LVIS_SELECTED, LVIS_SELECTED);
    m_listFiles.SetCheck(index, true);
}

void CQuelvoxDlg::AddFiles() {
    CFileDialog dialog(OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR |
                           OFN_ALLOWMULTISELECT,
                       MovieFilter().c_str(), m_hWnd, kSelectionChars);
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

int CQuelvoxDlg::QueueMovies(const std::vector<std::wstring>& paths) {
    // A tree of tens of thousands of files takes a while: then the wait label counts what has
    // been looked at, and the window keeps painting.
    const std::wstring waitText = m_stcWait.GetWindowText();
    bool waiting = false;
    ULONGLONG nextShow = ::GetTickCount64() + kProgressMs;
    const std::vector<std::wstring> movies = CollectMovies(paths, [&](size_t examined) {
        if (::GetTickCount64() < nextShow)
            return;
        if (!std::exchange(waiting, true))
            BeginWait();
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
            ::DispatchMessageW(&msg);
        // Drawn last: the preview frame it lies on may just have painted over it.
        m_stcWait.SetWindowText(FormatString(L"%s %zu", waitText.c_str(), examined).c_str());
        m_stcWait.RedrawWindow(RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        nextShow = ::GetTickCount64() + kProgressMs;
    });
    m_stcWait.SetWindowText(waitText.c_str());
    int next = m_listFiles.GetItemCount();
    // Thousands of files may come at once: the list is drawn once, at the end.
    m_listFiles.SendMessage(WM_SETREDRAW, FALSE);
    for (const std::wstring& movie : movies)
        AppendFile(next++, movie);
    m_listFiles.SendMessage(WM_SETREDRAW, TRUE);
    m_listFiles.Invalidate();
    if (waiting)
        EndWait();
    return static_cast<int>(movies.size());
}

LRESULT CQuelvoxDlg::OnDropFiles(WPARAM wParam, LPARAM) {
    auto drop = reinterpret_cast<HDROP>(wParam);
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::wstring> paths;
    for (UINT i = 0; i < count; ++i) {
        // The whole path, however long: a cut one would queue a file that does not exist.
        std::wstring path(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        path.resize(::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
        paths.push_back(std::move(path));
    }
    LRESULT result = Default();
    ::DragFinish(drop);
    // A drop that adds nothing says why, instead of doing nothing.
    if (QueueMovies(paths) == 0 && count > 0)
        AfxMessageBox(IDS_NO_MOVIES, MB_OK | MB_ICONINFORMATION);
    return result;
}

LRESULT CQuelvoxDlg::OnQueueStartFiles(WPARAM, LPARAM) {
    QueueMovies(m_startFiles);
    m_startFiles.clear();
    return 0;
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
