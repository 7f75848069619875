// The skinned controls where the program uses them: the main dialog and its pages.
#include "SkinTestSupport.h"
#include "skin/MyBitmapButton.h"
#include "skin/MyStatic.h"
#include "ui/MainDialogFixture.h"

namespace {

template <typename Control> Control* Bound(HWND window) {
    return dynamic_cast<Control*>(CWnd::FromHandlePermanent(window));
}

using SkinnedWindowsTest = MainDialogTest;

TEST_F(SkinnedWindowsTest, EveryButtonAndLabelIsSkinned) {
    for (int id : {IDC_LOGO, IDC_LANGUAGE, IDC_MINIMIZE, IDC_ABOUT, IDC_CLOSE}) {
        auto* button = Bound<CMyBitmapButton>(Item(id));
        ASSERT_NE(button, nullptr) << id;
        BITMAP picture{};
        ASSERT_TRUE(button->m_bitmap.GetBitmap(&picture)) << id;
        const RECT client = button->GetClientRect();
        EXPECT_TRUE(client.right == picture.bmWidth && client.bottom == picture.bmHeight) << id;
        EXPECT_NE(button->m_bitmapFocus.GetSafeHandle(), nullptr) << "hover picture of " << id;
    }
    EXPECT_TRUE(Bound<CMyStatic>(Item(IDC_TITLE)) && Bound<CMyStatic>(Item(IDC_WAIT_LABEL)));

    std::vector<HWND> buttons{Item(IDC_CONVERT), Item(IDC_PREV), Item(IDC_SEEK_FORWARD),
                              Item(IDC_SEEK_BACK), m_dialog->m_step3.GetDlgItem(IDC_OPEN_FOLDER)};
    for (int id : {IDC_PREVIEW, IDC_OPEN_FOLDER, IDC_ADD_FILES, IDC_CLEAR_LIST})
        buttons.push_back(m_dialog->m_step1.GetDlgItem(id));
    for (HWND window : buttons) {
        auto* button = Bound<CXButtonXP>(window);
        ASSERT_NE(button, nullptr) << GetDlgCtrlID(window);
        EXPECT_EQ(button->GetStyle() & BS_TYPEMASK, static_cast<DWORD>(BS_OWNERDRAW));
        EXPECT_TRUE(button->m_hIconNormal && button->m_hIconGrey) << GetDlgCtrlID(window);
    }
}

TEST_F(SkinnedWindowsTest, PrevShowsAGreyIconOnlyWhileDisabled) {
    auto* prev = Bound<CXButtonXP>(Item(IDC_PREV));
    ASSERT_TRUE(prev && !prev->IsWindowEnabled());
    const RECT client = prev->GetClientRect();
    auto iconPixels = [&](bool wantGrey) { // in the icon's place, through the dialog's reflection
        Canvas c(client.right, client.bottom);
        PrintClient(*prev, c);
        const COLORREF face = c.At(3, client.bottom / 2);
        int count = 0;
        for (int y = 4; y < client.bottom - 4; ++y)
            for (int x = 8; x < 40; ++x) {
                const COLORREF px = c.At(x, y);
                const bool grey = GetRValue(px) == GetGValue(px) && GetGValue(px) == GetBValue(px);
                count += px != face && grey == wantGrey;
            }
        return count;
    };
    EXPECT_EQ(iconPixels(false), 0);
    EXPECT_GT(iconPixels(true), 50);
    prev->EnableWindow(true);
    EXPECT_GT(iconPixels(false), 50);
}

} // namespace
