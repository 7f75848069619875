// The file list of the main dialog, which is the conversion queue: one item per full path,
// ticked when the file is to be converted.
#include "QuelvoxDlg.h"

#include "MovieFiles.h"
#include "framework/App.h"
#include "framework/FileDialog.h"
#include "framework/Paths.h"
#include "framework/Seam.h"
#include "framework/String.h"
#include "resources/resource.h"

#include <shellapi.h>

#include <algorithm>
#include <utility>

namespace {
// Room for a multiple selection of hundreds of files with long names.
constexpr size_t kSelectionChars = 64 * 1024;
// How often a long look through folders shows how far it got.
constexpr UINT kProgressMs = 100;
// A look through the paths that ends within this is waited for without the wait label.
constexpr DWORD kQuickSearchMs = 30;
} // namespace

void CQuelvoxDlg::AppendFile(int index, const std::wstring& path) {
    m_listFiles.InsertItem(index, path.c_str());
    SelectItem(index);
    m_listFiles.SetCheck(index, true);
}

void CQuelvoxDlg::SelectItem(int index) {
    // The focused item follows the selection, where the keyboard goes on from, and shows.
    m_listFiles.SetItemState(index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    m_listFiles.SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
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

void CQuelvoxDlg::QueueMovies(std::vector<std::wstring> paths, bool sayIfNone) {
    m_searches.push_back({std::move(paths), sayIfNone});
    if (m_searches.size() == 1)
        StartSearch();
}

void CQuelvoxDlg::StartSearch() {
    m_nSearch = m_search.Start(m_searches.front().paths, m_hWnd, kMoviesFoundMessage);
    // Most drops are done at once: no wait label for them.
    if (m_search.Wait(kQuickSearchMs)) {
        OnMoviesFound(m_nSearch, 0);
        return;
    }
    // A tree of tens of thousands of files, or a slow share: the wait label counts what has
    // been looked at.
    m_strWaitText = m_stcWait.GetWindowText();
    m_bSearchWait = true;
    BeginWait();
    SetTimer(kSearchTimer, kProgressMs);
}

void CQuelvoxDlg::ShowSearchProgress() {
    m_stcWait.SetWindowText(
        FormatString(L"%s %zu", m_strWaitText.c_str(), m_search.Examined()).c_str());
    // Drawn last: the preview frame it lies on may just have painted over it.
    m_stcWait.RedrawWindow(RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

LRESULT CQuelvoxDlg::OnMoviesFound(WPARAM search, LPARAM) {
    std::optional<std::vector<std::wstring>> movies = m_search.Take(search);
    if (!movies || m_searches.empty())
        return 0; // taken already, when the search was quick
    if (std::exchange(m_bSearchWait, false)) {
        KillTimer(kSearchTimer);
        m_stcWait.SetWindowText(m_strWaitText.c_str());
        EndWait();
    }
    const bool sayIfNone = m_searches.front().sayIfNone && !m_searches.front().paths.empty();
    m_searches.pop_front();
    int next = m_listFiles.GetItemCount();
    // Thousands of files may come at once: the list is drawn once, at the end.
    m_listFiles.SendMessage(WM_SETREDRAW, FALSE);
    for (const std::wstring& movie : *movies)
        AppendFile(next++, movie);
    m_listFiles.SendMessage(WM_SETREDRAW, TRUE);
    m_listFiles.Invalidate();
    if (!m_searches.empty())
        StartSearch();
    // A drop that adds nothing says why, instead of doing nothing.
    if (movies->empty() && sayIfNone)
        AfxMessageBox(IDS_NO_MOVIES, MB_OK | MB_ICONINFORMATION);
    return 0;
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
    QueueMovies(std::move(paths), true);
    return result;
}

LRESULT CQuelvoxDlg::OnQueueStartFiles(WPARAM, LPARAM) {
    if (!m_queueStore.IsOpen()) {
        m_bPreviousListTaken = true;
        QueueMovies(std::exchange(m_startUp.files, {}), false);
        return 0;
    }
    // The list and its files are looked at off this thread: they may lie on a share that is
    // gone. What an encoder ended outright left beside them is removed there too.
    m_restoredQueue = std::make_shared<RestoredQueue>();
    m_fileWorker.Post([store = &m_queueStore, restored = m_restoredQueue, window = m_hWnd] {
        restored->previous = store->Read();
        std::vector<CQueueStore::Item>& items = restored->previous.items;
        // Its encoders were ended with it: what they were writing is no movie.
        if (restored->previous.left == CQueueStore::Left::Unexpected)
            for (const CQueueStore::Item& item : items)
                for (convert::OutputFormat format :
                     {convert::OutputFormat::Avi, convert::OutputFormat::Mp4})
                    ::DeleteFileW(
                        LongPathForm(convert::OutputPathFor(item.path, format) + L".part").c_str());
        const size_t listed = items.size();
        std::erase_if(items, [](const CQueueStore::Item& item) {
            const DWORD attributes = Seam().FileAttributes(item.path);
            return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY);
        });
        restored->missing = static_cast<int>(listed - items.size());
        ::PostMessageW(window, kQueueReadMessage, 0, 0);
    });
    return 0;
}

LRESULT CQuelvoxDlg::OnQueueRead(WPARAM, LPARAM) {
    const std::shared_ptr<RestoredQueue> restored = std::exchange(m_restoredQueue, {});
    if (!restored)
        return 0;
    std::vector<CQueueStore::Item>& items = restored->previous.items;
    switch (restored->previous.left) {
    case CQueueStore::Left::SetAside:
        Ask(FormatString(LoadResString(IDS_QUEUE_SET_ASIDE).c_str(),
                         restored->previous.setAsideAs.c_str()),
            MB_OK | MB_ICONEXCLAMATION);
        break;
    case CQueueStore::Left::Unexpected:
        if (items.empty())
            break;
        if (Ask(restored->missing > 0
                    ? FormatString(LoadResString(IDS_ASK_RESTORE_QUEUE_MISSING).c_str(),
                                   static_cast<int>(items.size()), restored->missing)
                    : FormatString(LoadResString(IDS_ASK_RESTORE_QUEUE).c_str(),
                                   static_cast<int>(items.size())),
                MB_YESNO | MB_ICONQUESTION) != IDYES)
            items.clear();
        break;
    default:
        break;
    }
    int next = m_listFiles.GetItemCount();
    m_listFiles.SendMessage(WM_SETREDRAW, FALSE);
    for (const CQueueStore::Item& item : items) {
        AppendFile(next, item.path);
        m_listFiles.SetCheck(next++, item.ticked);
    }
    m_listFiles.SendMessage(WM_SETREDRAW, TRUE);
    m_bPreviousListTaken = true;
    // What was left is taken over: from here on this run's list is kept.
    KeepQueue();
    QueueMovies(std::exchange(m_startUp.files, {}), false);
    return 0;
}

void CQuelvoxDlg::KeepQueue(bool restart) {
    if (!m_queueStore.IsOpen())
        return;
    m_fileWorker.Post([store = &m_queueStore, items = QueueItems(), restart, window = m_hWnd] {
        if (store->Save(items, restart) == CQueueStore::Saved::DiskFull)
            ::PostMessageW(window, kQueueDiskFullMessage, 0, 0);
    });
}

LRESULT CQuelvoxDlg::OnQueueDiskFull(WPARAM, LPARAM) {
    // The list is kept again with the next change; the user hears of the disk once.
    if (!std::exchange(m_bDiskFullSaid, true))
        Ask(LoadResString(IDS_QUEUE_DISK_FULL), MB_OK | MB_ICONEXCLAMATION);
    return 0;
}

std::vector<CQueueStore::Item> CQuelvoxDlg::QueueItems() const {
    std::vector<CQueueStore::Item> items;
    for (int i = 0; i < m_listFiles.GetItemCount(); ++i)
        items.push_back({m_listFiles.GetItemText(i, 0), m_listFiles.GetCheck(i)});
    return items;
}

void CQuelvoxDlg::QueueChanged() {
    // Kept, and its first movie identified, shortly after a change, once for a burst of them
    // (a drop of thousands).
    if (!std::exchange(m_bQueueDirty, true))
        SetTimer(kQueueSaveTimer, kQueueSaveMs);
}

LRESULT CQuelvoxDlg::OnListChanged(NMHDR* header) {
    const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
    // Of an item's changes only its tick counts; selection and focus are not kept.
    if (header->code != LVN_ITEMCHANGED ||
        ((change->uChanged & LVIF_STATE) &&
         ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK)))
        QueueChanged();
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
        if (int selected = m_listFiles.GetNextItem(-1, LVNI_SELECTED); selected >= 0) {
            m_listFiles.DeleteItem(selected);
            // The next file is selected, or the last when the last went.
            if (const int count = m_listFiles.GetItemCount(); count > 0)
                SelectItem(std::min(selected, count - 1));
        }
        break;
    default:
        break;
    }
    return 0;
}

void CQuelvoxDlg::OpenFolderOf(const std::wstring& source) {
    // The movie of the format chosen now, else of the other: looked for off this thread, as the
    // source may lie on a share that is gone.
    const convert::OutputFormat chosen = m_step1.Format();
    m_folderLook = std::make_shared<FolderLook>();
    m_folderLook->folder = convert::FolderOf(source);
    m_fileWorker.Post([look = m_folderLook, source, chosen, window = m_hWnd] {
        for (convert::OutputFormat format :
             {chosen, chosen == convert::OutputFormat::Avi ? convert::OutputFormat::Mp4
                                                           : convert::OutputFormat::Avi}) {
            const std::wstring output = convert::OutputPathFor(source, format);
            if (Seam().FileAttributes(output) != INVALID_FILE_ATTRIBUTES) {
                look->movie = output;
                break;
            }
        }
        ::PostMessageW(window, kFolderLookedMessage, 0, 0);
    });
}

LRESULT CQuelvoxDlg::OnFolderLooked(WPARAM, LPARAM) {
    const std::shared_ptr<FolderLook> look = std::exchange(m_folderLook, {});
    if (!look || (!look->movie.empty() && Seam().OpenFolderAndSelect(look->movie.c_str())))
        return 0;
    if (look->folder.size() == 2 && look->folder[1] == L':')
        look->folder += L'\\'; // "D:" alone is the drive's current folder, not its root
    OpenOutputFolder(look->folder);
    return 0;
}
