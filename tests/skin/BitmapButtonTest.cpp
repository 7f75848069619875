// The bitmap button (which picture for which state, keyed copy, caption, the hover that borrows
// nothing) and the colour static.
#include "SkinTestSupport.h"
#include "skin/MyBitmapButton.h"
#include "skin/MyStatic.h"

#include <vector>

namespace {

constexpr int kId = 200, kSize = 24;
constexpr COLORREF kNormal = RGB(200, 0, 0), kPressed = RGB(0, 200, 0), kFocus = RGB(0, 0, 200),
                   kDisabled = RGB(90, 90, 90), kKey = RGB(255, 0, 255), kBack = RGB(10, 20, 30);

class BitmapButtonTest : public testing::Test {
protected:
    void SetUp() override {
        m_button.SubclassWindow(m_host.AddControl(L"Button", L"X", BS_OWNERDRAW | WS_TABSTOP, kId,
                                                  10, 10, kSize, kSize));
    }
    // Pictures of one colour for the states given; 0 leaves one out.
    void Give(COLORREF normal, COLORREF pressed, COLORREF focus, COLORREF disabled) {
        CBitmap* slots[] = {&m_button.m_bitmap, &m_button.m_bitmapSel, &m_button.m_bitmapFocus,
                            &m_button.m_bitmapDisabled};
        const COLORREF colours[] = {normal, pressed, focus, disabled};
        for (int i = 0; i < 4; ++i) {
            const DWORD px = (GetRValue(colours[i]) << 16) | (GetGValue(colours[i]) << 8) |
                             GetBValue(colours[i]);
            std::vector<DWORD> pixels(kSize * kSize, px);
            colours[i] ? slots[i]->Attach(CreateBitmap(kSize, kSize, 1, 32, pixels.data()))
                       : slots[i]->DeleteObject();
        }
    }
    COLORREF Shown(UINT state) {
        Canvas c(kSize, kSize, kBack);
        DrawControl(m_button, c, state);
        return c.At(kSize / 2, kSize / 2);
    }

    TestHost m_host;
    CMyBitmapButton m_button;
};

TEST_F(BitmapButtonTest, PressedThenFocusThenDisabledThenNormalEachFallingThrough) {
    Give(kNormal, kPressed, kFocus, kDisabled);
    EXPECT_EQ(Shown(0), kNormal);
    EXPECT_EQ(Shown(ODS_SELECTED | ODS_FOCUS | ODS_DISABLED), kPressed);
    EXPECT_EQ(Shown(ODS_FOCUS | ODS_DISABLED), kFocus);
    EXPECT_EQ(Shown(ODS_DISABLED), kDisabled);
    Give(kNormal, 0, kFocus, 0);
    EXPECT_EQ(Shown(ODS_SELECTED | ODS_FOCUS), kFocus);
    EXPECT_EQ(Shown(ODS_SELECTED | ODS_DISABLED), kNormal);
    Give(0, 0, 0, 0);
    EXPECT_EQ(Shown(0), kBack) << "no picture: nothing drawn";
}

TEST_F(BitmapButtonTest, KeyedCopyLeavesTheKeyColourOut) {
    Give(kKey, 0, 0, 0);
    EXPECT_EQ(Shown(0), kKey) << "a plain copy by default";
    m_button.m_bKeyedBlit = true;
    EXPECT_EQ(Shown(0), kBack);
}

TEST_F(BitmapButtonTest, HoverShowsTheHoverPictureAndTakesNothingElse) {
    Give(kNormal, kNormal, kFocus, 0);
    HWND edit = m_host.AddControl(L"Edit", L"", WS_TABSTOP | WS_BORDER, 201, 60, 10, 100, 20);
    SetFocus(edit);
    Canvas c(kSize, kSize);
    m_button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    PrintClient(m_button, c);
    EXPECT_EQ(c.At(kSize / 2, kSize / 2), kFocus) << "the focus picture is the hover look";
    // A key meant for the list must not reach a button the pointer rests on.
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_EQ(GetCapture(), nullptr);

    m_button.SendMessage(WM_MOUSELEAVE);
    PrintClient(m_button, c);
    EXPECT_EQ(c.At(kSize / 2, kSize / 2), kNormal);

    m_button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    m_button.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(m_host.Clicks(kId), 1);
}

TEST(ColourStatic, AnswersOnlyTheStaticColourRequestWithTheOneBrushItOwns) {
    TestHost host;
    CMyStatic label;
    label.SubclassWindow(host.AddControl(L"Static", L"Wait", SS_LEFT, 300, 10, 10, 80, 20));
    label.SetForeColor(RGB(255, 0, 0));
    Canvas c(80, 20);
    SetTextColor(c, RGB(1, 2, 3));
    for (UINT code : {UINT{CTLCOLOR_BTN}, UINT{CTLCOLOR_EDIT}, UINT{CTLCOLOR_DLG}}) {
        EXPECT_EQ(label.CtlColor(c, code), nullptr);
        EXPECT_EQ(GetTextColor(c), RGB(1, 2, 3)) << "context untouched";
        EXPECT_EQ(GetBkMode(c), OPAQUE);
    }

    HBRUSH first = label.m_hFillBrush;
    label.SetFillColor(RGB(0, 50, 0));
    EXPECT_EQ(GetObjectType(first), 0u) << "the old brush is gone";
    EXPECT_EQ(label.CtlColor(c, CTLCOLOR_STATIC), label.m_hFillBrush);
    EXPECT_EQ(GetTextColor(c), RGB(255, 0, 0));
    EXPECT_EQ(GetBkMode(c), TRANSPARENT);
    // As the control paints itself, through its parent's colour request.
    PrintClient(label, c);
    EXPECT_EQ(c.At(78, 18), RGB(0, 50, 0));
    EXPECT_NE(c.Bounds(RGB(255, 0, 0)).right, 0) << "text in the fore colour";

    HBRUSH last = nullptr;
    {
        CMyStatic other;
        other.SetFillColor(RGB(1, 1, 1));
        last = other.m_hFillBrush;
    }
    EXPECT_EQ(GetObjectType(last), 0u) << "deleted with its object";
}

} // namespace
