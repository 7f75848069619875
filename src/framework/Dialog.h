// CDialog: a dialog from a template of the current resource module, run modally with a
// message loop of its own (DoModal) or created as a modeless window (Create), with data
// exchange between controls and members (UpdateData, DoDataExchange).
#pragma once

#include "Wnd.h"

class CDialog;

// What DoDataExchange is given: the dialog and the direction.
struct CDataExchange {
    CDialog* m_pDlg;
    bool m_bSaveAndValidate; // true: controls to members
    bool m_bFail = false;
};

// Binds a member control to the dialog's control with this id (once).
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
// The position of the checked radio button in the group that starts at firstId (-1: none).
void DDX_Radio(CDataExchange* pDX, int firstId, int& value);
// A check box: 0 unchecked, 1 checked, 2 indeterminate.
void DDX_Check(CDataExchange* pDX, int id, int& value);
// When saving, a value outside [min, max] is reported to the user and fails the exchange.
void DDV_MinMaxInt(CDataExchange* pDX, int value, int min, int max);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Creates the dialog, disables its owner and runs the dialog's own message loop until
    // EndDialog; returns the end code, or -1 when the dialog could not be created.
    virtual INT_PTR DoModal();
    // Creates the dialog as a modeless window.
    bool Create(UINT templateId, CWnd* parent);
    void EndDialog(INT_PTR result);
    // What EndDialog was given (-1 before).
    INT_PTR Result() const { return m_nResult; }
    bool UpdateData(bool saveAndValidate = true);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    // Overridables
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange*) {}
    BOOL PreTranslateMessage(MSG* msg) override;

    // Offers a queued message to the framework windows it is meant for, from its own window
    // up to the top-level window; true when one of them took it.
    static bool PreTranslateChain(MSG* msg);

protected:
    bool ProcessWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    bool CreateFromTemplate(HWND parent);
    static INT_PTR CALLBACK StartDialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

    bool m_bModal = false;
    bool m_bRunning = false;
    INT_PTR m_nResult = -1;
};
