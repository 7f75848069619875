#include "Dialog.h"

#include "App.h"
#include "Dpi.h"
#include "InputLock.h"
#include "Seam.h"
#include "String.h"

#include <algorithm>
#include <optional>

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() {
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this)
        ::DestroyWindow(m_hWnd);
}

bool CDialog::CreateFromTemplate(HWND parent) {
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(m_nIDTemplate), RT_DIALOG);
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    auto* dialogTemplate = loaded ? static_cast<DLGTEMPLATE*>(::LockResource(loaded)) : nullptr;
    if (!dialogTemplate)
        return false;
    if (!m_layout.Read(dialogTemplate))
        m_layout = {};
    m_font.DeleteObject(); // an earlier window's
    return ::CreateDialogIndirectParamW(module, dialogTemplate, parent, StartDialogProc,
                                        reinterpret_cast<LPARAM>(this)) != nullptr;
}

INT_PTR CALLBACK CDialog::StartDialogProc(HWND hWnd, UINT msg, WPARAM, LPARAM lParam) {
    if (msg != WM_INITDIALOG)
        return FALSE;
    // From here on every message goes through the object first; the dialog class's own
    // procedure (and with it this function, which does nothing more) is the default.
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    auto super = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hWnd, GWLP_WNDPROC));
    dialog->Route(hWnd, super);
    ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FrameworkWndProc));
    dialog->TakeLayout();
    return dialog->OnInitDialog();
}

void CDialog::TakeLayout() {
    m_nDpi = DpiOf(m_hWnd);
    m_controls.clear();
    m_placedByCode.clear();
    auto font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    // The dialog manager made one control of each item, in the template's order, which is
    // their order among the dialog's children until the code changes it.
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        m_controls.push_back(child);
    bool paired = m_controls.size() == m_layout.items.size();
    for (size_t i = 0; paired && i < m_controls.size(); ++i)
        paired = static_cast<WORD>(::GetDlgCtrlID(m_controls[i])) ==
                 static_cast<WORD>(m_layout.items[i].id);
    if (!paired || !font || !::GetObjectW(font, sizeof m_layout.made, &m_layout.made)) {
        m_layout = {};
        m_controls.clear();
    }
    if (!(GetStyle() & WS_CHILD))
        TurnOffDialogRescaling(m_hWnd);
}

UINT CDialog::TemplateDpi() const {
    if (m_nDpi == kBaseDpi || !m_layout.Valid())
        return m_nDpi;
    auto cell = [this](UINT dpi) {
        const LOGFONTW face = m_layout.FontAt(dpi);
        CFont font;
        font.Attach(::CreateFontIndirectW(&face));
        return DialogBaseUnits(font).cy;
    };
    const int now = cell(m_nDpi), base = cell(kBaseDpi);
    return base > 0 && now > 0 ? static_cast<UINT>(::MulDiv(now, kBaseDpi, base)) : m_nDpi;
}

void CDialog::LayOutAt(UINT dpi) {
    m_nDpi = dpi;
    if (m_layout.Valid()) {
        const LOGFONTW face = m_layout.FontAt(dpi);
        CFont font;
        font.Attach(::CreateFontIndirectW(&face));
        const auto old = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
        const SIZE units = DialogBaseUnits(font);
        for (size_t i = 0; i < m_controls.size(); ++i) {
            const HWND control = m_controls[i];
            if (!::IsWindow(control))
                continue;
            // The controls that had the template's font get it at the new DPI; those the code
            // gave one of its own get theirs from ApplyDpi.
            if (reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)) == old)
                ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(HFONT{font}), FALSE);
            if (std::find(m_placedByCode.begin(), m_placedByCode.end(), control) !=
                m_placedByCode.end())
                continue;
            // Where the dialog manager puts it at creation: in the dialog's client area, which a
            // control the code moved into another window of the dialog keeps too.
            // An item of no size (an icon) takes its picture's size: it is only moved.
            const DialogLayout::Item& item = m_layout.items[i];
            RECT place = DialogUnitsToPixels(item, units);
            ::MapWindowPoints(m_hWnd, ::GetParent(control), reinterpret_cast<POINT*>(&place), 2);
            ::SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left,
                           place.bottom - place.top,
                           SWP_NOZORDER | SWP_NOACTIVATE |
                               (item.cx == 0 && item.cy == 0 ? SWP_NOSIZE : 0));
        }
        m_font.Attach(font.Detach());
    }
    for (CDialog* inner : InnerDialogs())
        inner->LayOutAt(dpi);
}

void CDialog::ApplyDpiToAll() {
    for (CDialog* inner : InnerDialogs())
        inner->ApplyDpiToAll();
    ApplyDpi();
}

std::vector<CDialog*> CDialog::InnerDialogs() const {
    std::vector<CDialog*> inner;
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (auto* dialog = dynamic_cast<CDialog*>(FromHandlePermanent(child)))
            inner.push_back(dialog);
    return inner;
}

INT_PTR CDialog::DoModal() {
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!owner && AfxGetApp() && AfxGetApp()->m_pMainWnd)
        owner = AfxGetApp()->m_pMainWnd->m_hWnd;
    auto box = std::make_optional<CBoxScope>(owner);

    m_bModal = true;
    m_bRunning = true;
    m_nResult = -1;
    if (!CreateFromTemplate(owner)) {
        m_bModal = m_bRunning = false;
        return -1;
    }
    if (m_bRunning && m_hWnd && !IsWindowVisible())
        ShowWindow(SW_SHOWNORMAL);

    MSG msg;
    while (m_bRunning && m_hWnd) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!PreTranslateChain(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }

    // The owner comes back before this window goes, so activation returns to it.
    box.reset();
    if (owner && ::GetActiveWindow() == m_hWnd)
        ::SetActiveWindow(owner);
    if (m_hWnd) {
        SetWindowPos(nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        ::DestroyWindow(m_hWnd);
    }
    m_bModal = false;
    return m_nResult;
}

bool CDialog::PreTranslateChain(MSG* msg) {
    for (HWND hWnd = msg->hwnd; hWnd; hWnd = ::GetParent(hWnd)) {
        if (CWnd* wnd = FromHandlePermanent(hWnd))
            if (wnd->PreTranslateMessage(msg))
                return true;
        if (!(::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CHILD))
            break;
    }
    return false;
}

bool CDialog::Create(UINT templateId, CWnd* parent) {
    m_nIDTemplate = templateId;
    m_pParentWnd = parent;
    return CreateFromTemplate(parent ? parent->m_hWnd : nullptr);
}

void CDialog::EndDialog(INT_PTR result) {
    m_nResult = result;
    if (m_bModal) {
        m_bRunning = false;
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0); // wakes the loop
    } else if (m_hWnd) {
        ShowWindow(SW_HIDE);
    }
}

bool CDialog::UpdateData(bool saveAndValidate) {
    CDataExchange dx{this, saveAndValidate};
    DoDataExchange(&dx);
    return !dx.m_bFail;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(true))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    bool input = (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) ||
                 (msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST);
    return input && ::IsDialogMessageW(m_hWnd, msg);
}

bool CDialog::ProcessWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    // A move to a monitor of another DPI: the whole of it is the program's (see Dpi.h).
    const bool topLevel = !(GetStyle() & WS_CHILD);
    if (msg == WM_GETDPISCALEDSIZE && topLevel && m_layout.Valid()) {
        const LOGFONTW face = m_layout.FontAt(static_cast<UINT>(wParam));
        CFont font;
        font.Attach(::CreateFontIndirectW(&face));
        const RECT client =
            DialogUnitsToPixels({0, 0, 0, m_layout.cx, m_layout.cy}, DialogBaseUnits(font));
        *reinterpret_cast<SIZE*>(lParam) = WindowSizeAt({client.right, client.bottom}, GetStyle(),
                                                        GetExStyle(), static_cast<UINT>(wParam));
        result = TRUE;
        return true;
    }
    if (msg == WM_DPICHANGED && topLevel) {
        LayOutAt(HIWORD(wParam));
        MoveToSuggested(m_hWnd, lParam);
        ApplyDpiToAll();
        RedrawWindow(RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        result = 0;
        return true;
    }
    if (msg == WM_GETFONT && m_font) {
        result = reinterpret_cast<LRESULT>(HFONT{m_font});
        return true;
    }
    if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED &&
        (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        // A page inside another dialog leaves Enter and Escape to the dialog it sits in.
        if (GetStyle() & WS_CHILD) {
            ::PostMessageW(GetParent(), WM_COMMAND, wParam, lParam);
        } else if (LOWORD(wParam) == IDOK) {
            OnOK();
        } else {
            OnCancel();
        }
        result = 0;
        return true;
    }
    return CWnd::ProcessWindowMessage(msg, wParam, lParam, result);
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (!control.m_hWnd)
        control.SubclassDlgItem(static_cast<UINT>(id), pDX->m_pDlg);
}

void DDX_Radio(CDataExchange* pDX, int firstId, int& value) {
    HWND first = pDX->m_pDlg->GetDlgItem(firstId);
    if (pDX->m_bSaveAndValidate)
        value = -1;
    int index = 0;
    for (HWND button = first; button; button = ::GetWindow(button, GW_HWNDNEXT), ++index) {
        if (button != first && (::GetWindowLongPtrW(button, GWL_STYLE) & WS_GROUP))
            break;
        if (pDX->m_bSaveAndValidate) {
            if (value < 0 && ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED)
                value = index;
        } else {
            ::SendMessageW(button, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
    HWND box = pDX->m_pDlg->GetDlgItem(id);
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageW(box, BM_GETCHECK, 0, 0));
    else
        ::SendMessageW(box, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int min, int max) {
    if (!pDX->m_bSaveAndValidate || (value >= min && value <= max))
        return;
    AfxMessageBox(FormatString(L"Please enter an integer between %d and %d.", min, max).c_str(),
                  MB_OK | MB_ICONEXCLAMATION);
    pDX->m_bFail = true;
}
