// CXButtonXP: an owner-drawn push button with an icon beside or instead of its caption. It
// draws in the visual style ("Button", or "Toolbar" when flat) while the style service is
// there and allowed, otherwise in a 3-D look of its own; a disabled button shows a grey copy
// of its icon. Space, Enter and double clicks become ordinary clicks; it can also latch like a
// toggle or sit flat over a copy of its parent's background.
#pragma once

#include "OddButton.h"
#include "XThemeHelper.h"
#include "framework/Gdi.h"
#include "framework/Handle.h"

#include <optional>
#include <string>

class CXButtonXP : public COddButton {
public:
    ~CXButtonXP() override;

    // Shows the icon (null removes it) left of the caption, with a grey copy of it for the
    // disabled look, and repaints at once. The caller keeps a shared icon (LoadIcon's); an
    // owned one is destroyed by the button when replaced or with the button.
    void AssignIcon(HICON icon) { SetIcon(icon, false); }
    void AssignOwnedIcon(HICON icon) { SetIcon(icon, true); }
    // A grey copy of the icon with the icon's own mask, or null.
    static HICON MakeGreyIcon(HICON icon);
    // Where the caption is drawn, in client coordinates.
    RECT CaptionRect() const;

    // Settings the program leaves at their defaults.
    void SetLatchMode(BOOL latch) { m_bLatchMode = latch; }
    void SetThemingOn(BOOL on);
    void SetFlatToolbar(BOOL flat);
    void SetFaceColor(COLORREF color) { m_crFace = color; }       // kNoColour: system face
    void SetCaptionColor(COLORREF color) { m_crCaption = color; } // kNoColour: system text
    void SetIconSide(int side) { m_nIconSide = side; }            // kIconLeft or kIconRight

    static constexpr COLORREF kNoColour = 0xFFFFFFFF;
    static constexpr int kIconLeft = 1;
    static constexpr int kIconRight = 2;

    void DrawItem(DRAWITEMSTRUCT* item) override;
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    BOOL m_bNeedsSetup = TRUE;       // first paint still to open the theme and capture the underlay
    BOOL m_bHot = FALSE;             // pointer inside the window rectangle
    BOOL m_bLatched = FALSE;         // toggle latched in
    BOOL m_bLatchMode = FALSE;       // acts as a toggle
    BOOL m_bMouseDown = FALSE;       // left button went down here and has not come up
    BOOL m_bDblClickPending = FALSE; // a double click shown pressed, clicked at button-up
    BOOL m_bThemingOn = TRUE;        // visual style allowed
    bool m_bCaptionDrawn = true;     // false: the window text only names the button (icon only)
    BOOL m_bFlatToolbar = FALSE;
    HTHEME m_hThemeData = nullptr;
    HICON m_hIconNormal = nullptr; // the icon shown, in m_iconOwned when it is ours
    CIcon m_iconOwned;
    CIcon m_hIconGrey;
    int m_nIconSide = kIconLeft;
    RECT m_rcInParent{};                // relative to the parent's window rectangle
    CBitmap m_bmUnder;                  // the parent's pixels under the button (flat look)
    std::optional<CMemoryDC> m_dcUnder; // holds m_bmUnder selected
    COLORREF m_crFace = kNoColour;
    COLORREF m_crCaption = kNoColour;

private:
    void SetIcon(HICON icon, bool owned);
    SIZE IconSize() const; // 32 x 32 without an icon

protected:
    // Places the icon in R (and the caption rectangle T beside it) for an icon of cx x cy.
    RECT LayoutIconRect(const RECT& r, RECT& t, bool hasText, bool pressed, bool themed, int cx,
                        int cy) const;
    void PaintIcon(HDC dc, const RECT& r, RECT& t, bool hasText, bool pressed, bool themed,
                   bool disabled) const;
    void PaintCaption(HDC dc, const RECT& t, const std::wstring& text, bool pressed, bool themed,
                      bool disabled) const;
    // Copies what the parent shows under the button, the button hidden for the moment.
    void CaptureUnderlay();

private:
    // The theme in use and the parent's pixels under the button, again after a change.
    void SetUpLook();
    // The button's face and border, for its state; r shrinks to inside the border drawn.
    struct Face {
        bool pressed, focused, isDefault, themed, disabled, customColours;
    };
    void PaintFace(HDC dc, RECT& r, const Face& face) const;
    void DropUnderlay();
    void CloseTheme();
    LRESULT OnEraseBkgnd(WPARAM, LPARAM) { return TRUE; }
    LRESULT OnMouseMove(WPARAM, LPARAM lParam);
    LRESULT OnMouseLeave(WPARAM, LPARAM);

    BEGIN_MSG_MAP(CXButtonXP, COddButton)
        ON_MESSAGE(WM_ERASEBKGND, OnEraseBkgnd)
        ON_MESSAGE(WM_MOUSEMOVE, OnMouseMove)
        ON_MESSAGE(WM_MOUSELEAVE, OnMouseLeave)
    END_MSG_MAP()
};
