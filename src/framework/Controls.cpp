#include "Controls.h"

#include <vector>

int CListCtrl::InsertColumn(int column, const wchar_t* heading, int format, int width) const {
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
    col.fmt = format;
    col.cx = width;
    col.pszText = const_cast<wchar_t*>(heading);
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(column),
                                        reinterpret_cast<LPARAM>(&col)));
}

int CListCtrl::InsertItem(int index, const wchar_t* text) const {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(text);
    return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

std::wstring CListCtrl::GetItemText(int index, int subItem) const {
    // The list answers with the number of characters copied; grow until the text fits.
    for (size_t size = 512;; size *= 4) {
        std::vector<wchar_t> buffer(size);
        LVITEMW item{};
        item.iSubItem = subItem;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(size);
        auto copied = static_cast<size_t>(SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(index),
                                                      reinterpret_cast<LPARAM>(&item)));
        if (copied + 1 < size || size > (1u << 20))
            return std::wstring(buffer.data(), copied);
    }
}

bool CListCtrl::SetItemState(int index, UINT state, UINT mask) const {
    LVITEMW item{};
    item.state = state;
    item.stateMask = mask;
    return SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(index),
                       reinterpret_cast<LPARAM>(&item)) != 0;
}
