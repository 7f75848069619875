// CDialog: a dialog from a template of the current resource module, run modally with a
// message loop of its own (DoModal) or created as a modeless window (Create), with data
// exchange between controls and members (UpdateData, DoDataExchange).
#pragma once

#include "DialogLayout.h"
#include "Gdi.h"
#include "Wnd.h"

#include <vector>

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
    // The DPI the dialog is laid out at: its window's when it was made, then that of each move
    // to a monitor of another DPI (see Dpi.h for who scales what).
    UINT Dpi() const { return m_nDpi; }
    // The DPI at which what the code sizes in pixels inside the template (fonts, pictures,
    // icons) keeps to the template's rectangles: dialog units grow with the template font's
    // cell, which does not grow quite in step with the DPI.
    UINT TemplateDpi() const;
    // The code places this control itself: a DPI change leaves it where it is.
    void PlacedByCode(HWND control) { m_placedByCode.push_back(control); }

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    // Overridables
    virtual BOOL OnInitDialog();
    // Sizes what the code draws in pixels (fonts, pictures, icons, places) at Dpi(); the
    // framework calls it after a DPI change, once it has laid out the template again.
    virtual void ApplyDpi() {}
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
    // Pairs the template's items with the controls the dialog manager made of them.
    void TakeLayout();
    // Lays out the template's controls, and the dialogs inside this one, at the DPI.
    void LayOutAt(UINT dpi);
    // ApplyDpi of the dialogs inside this one, then of this one.
    void ApplyDpiToAll();
    // The dialogs made by the framework that lie directly inside this one (the pages).
    std::vector<CDialog*> InnerDialogs() const;

    DialogLayout m_layout;
    std::vector<HWND> m_controls; // the template's items' windows, in its order
    std::vector<HWND> m_placedByCode;
    UINT m_nDpi = 96;
    CFont m_font; // the template's font at m_nDpi, once a DPI change made it

    bool m_bModal = false;
    bool m_bRunning = false;
    INT_PTR m_nResult = -1;
};
