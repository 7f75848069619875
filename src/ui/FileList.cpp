// The file list of the main dialog, which is the conversion queue.
#include "QuelvoxDlg.h"

#include "resource.h"

void CQuelvoxDlg::AddFiles() {}

LRESULT CQuelvoxDlg::OnDropFiles(WPARAM, LPARAM) { return Default(); }

LRESULT CQuelvoxDlg::OnListDblClk(NMHDR*) {
    TogglePreview();
    return 0;
}

LRESULT CQuelvoxDlg::OnListKeyDown(NMHDR*) { return 0; }
