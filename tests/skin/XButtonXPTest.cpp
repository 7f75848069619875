// The themed push button in its own look (theming off): face, frame, edges, the pressed
// offset, where icon and caption go, the grey icon; what keys and double clicks do; the dialog
// codes of its base, COddButton.
#include "SkinTestSupport.h"

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);

class ClassicButtonTest : public ButtonTest {
protected:
    void SetUp() override { Make(L""); }
    void Make(const wchar_t* text, DWORD style = BS_PUSHBUTTON, int width = kWidth,
              int height = kHeight) {
        ButtonTest::Make(text, style, width, height);
        m_button->SetThemingOn(FALSE);
    }
    static bool ColumnIs(const Canvas& c, int x, int inset, COLORREF colour) {
        for (int y = inset; y < c.m_height - inset; ++y)
            if (c.At(x, y) != colour)
                return false;
        return true;
    }
    // Where DrawText puts the text centred in `area`, in the button's font.
    RECT ReferenceInk(const wchar_t* text, RECT area) {
        Canvas c(kWidth, kHeight, Sys(COLOR_BTNFACE));
        SelectObject(c, reinterpret_cast<HFONT>(m_button->SendMessage(WM_GETFONT)));
        SetTextColor(c, Sys(COLOR_BTNTEXT));
        SetBkMode(c, TRANSPARENT);
        DrawTextW(c, text, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        return c.InkBounds({}, Sys(COLOR_BTNFACE), Sys(COLOR_BTNFACE));
    }
    RECT CaptionInk(const Canvas& c) {
        return c.InkBounds({2, 2, kWidth - 2, kHeight - 2}, Sys(COLOR_BTNFACE), kRed);
    }
    static void ExpectNear(const RECT& a, const RECT& b, int by) {
        ASSERT_LT(b.left, b.right);
        EXPECT_NEAR(a.left, b.left, by);
        EXPECT_NEAR(a.top, b.top, by);
        EXPECT_NEAR(a.right, b.right, by);
        EXPECT_NEAR(a.bottom, b.bottom, by);
    }
};

TEST_F(ClassicButtonTest, EnabledHasRaisedEdgeAndFaceOnly) {
    auto c = Draw(0);
    // The first paint copied the parent under the button and showed the button again.
    const RECT underlay{10, 10, 10 + kWidth, 10 + kHeight};
    EXPECT_TRUE(EqualRect(&m_button->m_rcInParent, &underlay));
    EXPECT_TRUE(m_button->IsWindowVisible());
    EXPECT_TRUE(LooksClassic(*c, Sys(COLOR_BTNFACE)));
    for (int x = 2; x < kWidth - 2; ++x) // no frame, no focus rectangle, nothing left out
        ASSERT_TRUE(ColumnIs(*c, x, 2, Sys(COLOR_BTNFACE))) << x;
}

TEST_F(ClassicButtonTest, DefaultIsFramedAndFocusAddsTheDottedRectangle) {
    m_button->SendMessage(BM_SETSTYLE, BS_DEFPUSHBUTTON, FALSE);
    auto c = Draw(ODS_FOCUS);
    for (int x = 0; x < kWidth; ++x) // the whole item, frame included, reaches the context
        ASSERT_TRUE(c->At(x, 0) == kBlack && c->At(x, kHeight - 1) == kBlack) << x;
    EXPECT_TRUE(ColumnIs(*c, 0, 0, kBlack) && ColumnIs(*c, kWidth - 1, 0, kBlack));
    EXPECT_EQ(c->At(1, kHeight / 2), Sys(COLOR_3DLIGHT)); // raised edge inside the frame
    EXPECT_EQ(c->At(kWidth - 2, kHeight / 2), Sys(COLOR_3DDKSHADOW));
    EXPECT_FALSE(ColumnIs(*c, 4, 4, Sys(COLOR_BTNFACE))) << "focus rectangle 4 pixels in";
    EXPECT_FALSE(ColumnIs(*c, kWidth - 5, 4, Sys(COLOR_BTNFACE)));
    EXPECT_TRUE(ColumnIs(*c, 3, 3, Sys(COLOR_BTNFACE)) && ColumnIs(*c, 5, 5, Sys(COLOR_BTNFACE)));

    auto unfocused = Draw(0);
    EXPECT_EQ(unfocused->At(0, kHeight / 2), kBlack);
    EXPECT_TRUE(ColumnIs(*unfocused, 4, 4, Sys(COLOR_BTNFACE)));
}

TEST_F(ClassicButtonTest, PressedIsSunkenWithIconAndCaptionOnePixelOff) {
    Make(L"Go");
    m_button->AssignOwnedIcon(SolidIcon(32, kRed));
    auto up = Draw(0), down = Draw(ODS_SELECTED);
    const int y = kHeight / 2;
    EXPECT_EQ(down->At(0, y), Sys(COLOR_BTNSHADOW));
    EXPECT_EQ(down->At(1, y), Sys(COLOR_3DDKSHADOW));
    EXPECT_EQ(down->At(kWidth - 1, y), Sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(down->At(kWidth - 2, y), Sys(COLOR_3DLIGHT));
    RECT moved = up->Bounds(kRed), icon = down->Bounds(kRed);
    OffsetRect(&moved, 1, 1);
    EXPECT_TRUE(EqualRect(&moved, &icon));
    moved = CaptionInk(*up);
    OffsetRect(&moved, 1, 1);
    ExpectNear(CaptionInk(*down), moved, 0);
}

TEST_F(ClassicButtonTest, IconLeftOrRightOfTheCaptionOrCentredWithout) {
    Make(L"Convert");
    m_button->AssignOwnedIcon(SolidIcon(32, kRed));
    auto left = Draw(0);
    RECT icon = left->Bounds(kRed);
    EXPECT_EQ(icon.left, 8);
    EXPECT_EQ(icon.top, (kHeight - 32) / 2);
    EXPECT_EQ(icon.right - icon.left, 32);
    // The caption block centred in x = 48 .. width - 16, in the button's font.
    ExpectNear(CaptionInk(*left), ReferenceInk(L"Convert", {48, 0, kWidth - 16, kHeight}), 1);

    m_button->SetIconSide(CXButtonXP::kIconRight);
    auto right = Draw(0);
    EXPECT_EQ(right->Bounds(kRed).left, kWidth - 48);
    ExpectNear(CaptionInk(*right), ReferenceInk(L"Convert", {16, 0, kWidth - 48, kHeight}), 1);

    m_button->SetWindowText(L"");
    icon = Draw(0)->Bounds(kRed);
    EXPECT_EQ(icon.left, (kWidth - 32) / 2);
    EXPECT_EQ(icon.top, (kHeight - 32) / 2);
}

TEST_F(ClassicButtonTest, OnlyAnOwnedIconIsDestroyedByTheButton) {
    auto alive = [](HICON icon) {
        ICONINFO info{};
        if (!GetIconInfo(icon, &info))
            return false;
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        return true;
    };
    HICON kept = SolidIcon(32, kRed), owned = SolidIcon(32, kRed), second = SolidIcon(32, kRed);
    Make(L"Go");
    m_button->AssignIcon(kept);
    m_button->AssignIcon(kept); // the same again
    m_button->AssignOwnedIcon(owned);
    EXPECT_TRUE(alive(kept));
    m_button->AssignOwnedIcon(second);
    EXPECT_FALSE(alive(owned));
    m_button->AssignIcon(kept);
    EXPECT_FALSE(alive(second));
    m_button.reset();
    EXPECT_TRUE(alive(kept));
    DestroyIcon(kept);
}

TEST_F(ClassicButtonTest, IconLargerThanTheButtonIsCentredAndClipped) {
    Make(L"", BS_PUSHBUTTON, 30, 20);
    m_button->AssignOwnedIcon(SolidIcon(48, kRed));
    RECT icon = Draw(0, 30, 20)->Bounds(kRed), all{0, 0, 30, 20};
    EXPECT_TRUE(EqualRect(&icon, &all));
}

TEST_F(ClassicButtonTest, DisabledShowsTheGreyIconAndEngravedCaption) {
    Make(L"Prev");
    m_button->AssignOwnedIcon(SolidIcon(32, RGB(200, 40, 20)));
    auto c = Draw(ODS_DISABLED);
    EXPECT_EQ(c->At(24, kHeight / 2), RGB(86, 86, 86)); // (20 + 40 + 200) / 3
    const RECT caption{48, 2, kWidth - 2, kHeight - 2};
    EXPECT_NE(c->InkBounds(caption, Sys(COLOR_BTNFACE), Sys(COLOR_BTNSHADOW)).right, 0)
        << "highlight layer";
    EXPECT_NE(c->InkBounds(caption, Sys(COLOR_BTNFACE), Sys(COLOR_BTNHIGHLIGHT)).right, 0)
        << "shadow layer";
}

TEST(GreyIcon, ChannelMeanWithWhiteAt254AndTransparentBlackKept) {
    // 0xAARRGGBB: white; transparent black; blue 30 green 60 red 90, alpha 200; half alpha.
    const DWORD pixels[4] = {0xFFFFFFFFu, 0x00000000u, 0xC85A3C1Eu, 0x80102030u};
    HICON icon = IconFromPixels(2, 2, pixels);
    HICON grey = CXButtonXP::MakeGreyIcon(icon);
    ASSERT_NE(grey, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(grey, &info));
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), 2, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    DWORD out[4] = {};
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDIBits(screen, info.hbmColor, 0, 2, out, &format, DIB_RGB_COLORS), 2);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(out[0], 0xFFFEFEFEu);
    EXPECT_EQ(out[1], 0x00000000u);
    EXPECT_EQ(out[2], 0xC83C3C3Cu); // 60, alpha kept
    EXPECT_EQ(out[3], 0x80202020u); // (16 + 32 + 48) / 3 = 32
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(grey);
    DestroyIcon(icon);
    EXPECT_EQ(CXButtonXP::MakeGreyIcon(nullptr), nullptr);
}

TEST_F(ClassicButtonTest, SpaceOrEnterClicksOnceHoweverLongItIsHeld) {
    m_button->SetFocus();
    int clicks = 0;
    for (WPARAM key : {WPARAM{VK_SPACE}, WPARAM{VK_RETURN}}) {
        PressKey(m_host, *m_button, WM_KEYDOWN, key);
        EXPECT_TRUE(m_button->SendMessage(BM_GETSTATE) & BST_PUSHED) << key;
        for (int i = 0; i < 5; ++i)
            PressKey(m_host, *m_button, WM_KEYDOWN, key, true);
        EXPECT_EQ(m_host.Clicks(kId), clicks) << "nothing before the key comes up";
        PressKey(m_host, *m_button, WM_KEYUP, key);
        EXPECT_EQ(m_host.Clicks(kId), ++clicks) << key;
        EXPECT_FALSE(m_button->SendMessage(BM_GETSTATE) & BST_PUSHED);
    }
    PressKey(m_host, *m_button, WM_KEYDOWN, VK_SPACE, true); // a repeat alone
    EXPECT_FALSE(m_button->SendMessage(BM_GETSTATE) & BST_PUSHED);
    // Tab still moves on.
    HWND edit = m_host.AddControl(L"Edit", L"", WS_TABSTOP | WS_BORDER, 200, 10, 60, 100, 20);
    PressKey(m_host, *m_button, WM_KEYDOWN, VK_TAB);
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_EQ(m_host.Clicks(kId), clicks);
}

TEST_F(ClassicButtonTest, DoubleClickIsASecondClickAndErasingErasesNothing) {
    const LPARAM at = MAKELPARAM(5, 5);
    m_button->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
    m_button->SendMessage(WM_LBUTTONUP, 0, at);
    m_button->SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    EXPECT_TRUE(m_button->SendMessage(BM_GETSTATE) & BST_PUSHED) << "shows pressed";
    EXPECT_EQ(m_host.Clicks(kId), 1);
    m_button->SendMessage(WM_LBUTTONUP, 0, at);
    EXPECT_EQ(m_host.Clicks(kId), 2);
    EXPECT_FALSE(m_button->SendMessage(BM_GETSTATE) & BST_PUSHED);

    Canvas c(kWidth, kHeight, RGB(1, 2, 3));
    EXPECT_TRUE(
        m_button->SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(static_cast<HDC>(c))));
    EXPECT_EQ(c.InkBounds({}, RGB(1, 2, 3), RGB(1, 2, 3)).right, 0);
}

// COddButton, through the button that derives from it.
TEST_F(ClassicButtonTest, DefaultPushButtonStaysOwnerDrawnAndFollowsTheDefaultState) {
    Make(L"OK", BS_DEFPUSHBUTTON);
    auto type = [&] { return m_button->GetStyle() & BS_TYPEMASK; };
    auto code = [&] { return m_button->SendMessage(WM_GETDLGCODE); };
    EXPECT_EQ(type(), static_cast<DWORD>(BS_OWNERDRAW));
    EXPECT_EQ(code() & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON), DLGC_DEFPUSHBUTTON);
    m_button->SendMessage(BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EXPECT_EQ(code() & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON), DLGC_UNDEFPUSHBUTTON);
    EXPECT_EQ(type(), static_cast<DWORD>(BS_OWNERDRAW));
    m_button->SendMessage(BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    m_button->SendMessage(BM_SETSTYLE, BS_CHECKBOX, TRUE); // not a push button: no change
    EXPECT_EQ(code() & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON), DLGC_DEFPUSHBUTTON);
    EXPECT_EQ(type(), static_cast<DWORD>(BS_OWNERDRAW));

    // The dialog manager moves the default to another one and back.
    CXButtonXP other;
    other.SubclassWindow(
        m_host.AddControl(L"Button", L"No", BS_PUSHBUTTON | WS_TABSTOP, 101, 10, 60, 120, 40));
    m_host.SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(other.m_hWnd), TRUE);
    EXPECT_TRUE(other.m_bShowsDefault && !m_button->m_bShowsDefault);
    m_host.SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_button->m_hWnd), TRUE);
    EXPECT_TRUE(!other.m_bShowsDefault && m_button->m_bShowsDefault);
}

TEST_F(ClassicButtonTest, GroupBoxIsStaticAndRadioButtonStaysRadio) {
    Make(L"Quality", BS_GROUPBOX);
    EXPECT_EQ(m_button->SendMessage(WM_GETDLGCODE), DLGC_STATIC);
    Make(L"High", BS_AUTORADIOBUTTON);
    const LRESULT code = m_button->SendMessage(WM_GETDLGCODE);
    EXPECT_TRUE(code & DLGC_RADIOBUTTON);
    EXPECT_FALSE(code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON));
}

} // namespace
