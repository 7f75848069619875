#include "Dialog.h"

#include "App.h"
#include "InputLock.h"
#include "Seam.h"
#include "String.h"

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
    return dialog->OnInitDialog();
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
