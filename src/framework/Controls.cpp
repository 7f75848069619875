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

CToolTips::~CToolTips() {
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
}

bool CToolTips::Create(HWND owner) {
    m_hWnd = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, nullptr,
                               nullptr);
    return m_hWnd != nullptr;
}

void CToolTips::Add(HWND control) const {
    if (!m_hWnd || !control)
        return;
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = ::GetParent(control);
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = text.data();
    SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void CToolTips::AddButtons(HWND window) const {
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM tips) {
            wchar_t kind[16] = L"";
            ::GetClassNameW(child, kind, 16);
            const DWORD type =
                static_cast<DWORD>(::GetWindowLongPtrW(child, GWL_STYLE)) & BS_TYPEMASK;
            if (_wcsicmp(kind, L"Button") == 0 &&
                (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_OWNERDRAW))
                reinterpret_cast<const CToolTips*>(tips)->Add(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(this));
}

std::wstring CToolTips::TextOf(HWND control) const {
    wchar_t text[256] = L"";
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = ::GetParent(control);
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = text;
    SendMessage(TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
    return text;
}
