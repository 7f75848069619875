// The themed push button in wine's visual style, and without the style library at all (the
// Themeless tests, run by a child copy of this program that wine starts without it); the
// helper that loads the library once for the whole process.
#include "SkinTestSupport.h"
#include "support/TestSupport.h"

#include <array>
#include <string>
#include <utility>

namespace {

constexpr const wchar_t* kChildFlag = L"QUELVOX_SKIN_THEMELESS";
bool InThemelessChild() {
    return GetEnvironmentVariableW(kChildFlag, nullptr, 0) != 0;
}

// The state of the last background the button had the style draw, on its way through the
// helper.
int g_drawnState = 0;
decltype(CXThemeHelper::s_ux.drawThemeBackground) g_drawBackground = nullptr;
HRESULT WINAPI RecordingDrawBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect,
                                       const RECT* clip) {
    g_drawnState = state;
    return g_drawBackground(theme, dc, part, state, rect, clip);
}

class ThemedButtonTest : public ButtonTest {
protected:
    void SetUp() override {
        if (InThemelessChild() || !CXThemeHelper::IsAppThemed())
            GTEST_SKIP() << "no visual style active in this run";
        Make(L"");
        // What the style draws for each push-button state.
        HTHEME theme = CXThemeHelper::OpenThemeData(*m_button, L"Button");
        ASSERT_NE(theme, nullptr);
        const RECT all{0, 0, kWidth, kHeight};
        for (int state = PBS_NORMAL; state <= PBS_DEFAULTED; ++state) {
            m_looks[state] = std::make_unique<Canvas>(kWidth, kHeight);
            CXThemeHelper::DrawThemeParentBackground(*m_button, *m_looks[state], &all);
            CXThemeHelper::DrawThemeBackground(theme, *m_looks[state], BP_PUSHBUTTON, state, &all,
                                               nullptr);
        }
        EXPECT_TRUE(CXThemeHelper::CloseThemeData(theme));
        // Wine's style draws hot and defaulted alike, all the others apart.
        for (int a = PBS_NORMAL; a <= PBS_DISABLED; ++a)
            for (int b = a + 1; b <= PBS_DEFAULTED; ++b) {
                if (a != PBS_HOT || b != PBS_DEFAULTED) {
                    ASSERT_FALSE(m_looks[a]->SameAs(*m_looks[b])) << a << " " << b;
                }
            }
        g_drawBackground = CXThemeHelper::s_ux.drawThemeBackground;
        CXThemeHelper::s_ux.drawThemeBackground = RecordingDrawBackground;
    }
    void TearDown() override {
        if (g_drawBackground)
            CXThemeHelper::s_ux.drawThemeBackground = std::exchange(g_drawBackground, nullptr);
    }
    // The state the button chose, when its picture is what reached the item's context.
    int Chosen(UINT itemState) {
        g_drawnState = 0;
        auto drawn = Draw(itemState);
        return g_drawnState && drawn->SameAs(*m_looks[g_drawnState]) ? g_drawnState : 0;
    }
    std::array<std::unique_ptr<Canvas>, PBS_DEFAULTED + 1> m_looks;
};

TEST_F(ThemedButtonTest, HotBeforeDefaultAndDisabledBeforeEverything) {
    const UINT focus = ODS_FOCUS | ODS_NOFOCUSRECT;
    EXPECT_EQ(Chosen(0), PBS_NORMAL);
    EXPECT_EQ(Chosen(focus), PBS_DEFAULTED);
    m_button->m_bShowsDefault = TRUE;
    EXPECT_EQ(Chosen(0), PBS_DEFAULTED);
    m_button->m_bHot = TRUE;
    EXPECT_EQ(Chosen(focus), PBS_HOT);
    EXPECT_EQ(Chosen(ODS_SELECTED | focus), PBS_PRESSED);
    EXPECT_EQ(Chosen(ODS_DISABLED | ODS_SELECTED | focus), PBS_DISABLED);
    m_button->m_bHot = FALSE;
    EXPECT_EQ(Chosen(ODS_FOCUS), 0) << "the focus rectangle on top of the picture";
    EXPECT_EQ(g_drawnState, PBS_DEFAULTED);
}

TEST_F(ThemedButtonTest, PressedIconStaysPutAndCustomColoursForceTheClassicLook) {
    Make(L"Go");
    m_button->AssignOwnedIcon(SolidIcon(32, kRed));
    RECT up = Draw(0)->Bounds(kRed), down = Draw(ODS_SELECTED)->Bounds(kRed);
    EXPECT_EQ(up.left, 8);
    EXPECT_TRUE(EqualRect(&up, &down));

    Make(L"");
    m_button->SetFaceColor(RGB(0, 128, 0));
    EXPECT_TRUE(LooksClassic(*Draw(0), RGB(0, 128, 0)));
    m_button->SetFaceColor(CXButtonXP::kNoColour);
    EXPECT_EQ(Chosen(0), PBS_NORMAL);
    Make(L"Stop");
    m_button->SetCaptionColor(RGB(200, 0, 0));
    auto drawn = Draw(0);
    EXPECT_TRUE(LooksClassic(*drawn, Sys(COLOR_BTNFACE)));
    EXPECT_NE(drawn->Bounds(RGB(200, 0, 0)).right, 0) << "caption in its own colour";
}

TEST_F(ThemedButtonTest, HotWhileThePointerIsOverItUntilItLeaves) {
    RECT window = m_button->GetWindowRect();
    SetCursorPos(window.left + 5, window.top + 5);
    m_button->SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    TRACKMOUSEEVENT query{sizeof query, TME_QUERY, nullptr, 0};
    ASSERT_TRUE(_TrackMouseEvent(&query));
    EXPECT_EQ(query.hwndTrack, m_button->m_hWnd);
    EXPECT_TRUE(query.dwFlags & TME_LEAVE);
    EXPECT_EQ(Chosen(0), PBS_HOT);
    SetCursorPos(window.right + 100, window.bottom + 100);
    EXPECT_TRUE(PumpUntil([&] { return !m_button->m_bHot; }, 3000)) << "left";
    EXPECT_EQ(Chosen(0), PBS_NORMAL);
}

TEST_F(ThemedButtonTest, ThemeChangeOpensTheStyleEvenAfterAPaintWithoutOne) {
    Draw(0); // as if the first paint had found no style active
    CXThemeHelper::CloseThemeData(std::exchange(m_button->m_hThemeData, nullptr));
    EXPECT_TRUE(LooksClassic(*Draw(0), Sys(COLOR_BTNFACE)));
    m_button->SendMessage(WM_THEMECHANGED);
    EXPECT_EQ(Chosen(0), PBS_NORMAL);
}

// A parent that notes where it is asked to paint its background.
class NotingHost : public TestHost {
public:
    POINT m_origin{1, 1};

private:
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM) {
        GetViewportOrgEx(reinterpret_cast<HDC>(wParam), &m_origin);
        return Default();
    }
    BEGIN_MSG_MAP(NotingHost, TestHost)
        ON_MESSAGE(WM_ERASEBKGND, OnEraseBkgnd)
    END_MSG_MAP()
};

TEST(ThemedParentBackground, IsWhatTheParentShowsUnderTheButton) {
    if (InThemelessChild() || !CXThemeHelper::IsAppThemed())
        GTEST_SKIP() << "no visual style active in this run";
    NotingHost host;
    CXButtonXP button;
    button.SubclassWindow(host.AddControl(L"Button", L"", BS_PUSHBUTTON, 100, 120, 10, 120, 40));
    Canvas c(120, 40);
    DrawControl(button, c, 0); // the first paint also copies the parent's pixels
    PumpFor(50);
    DrawControl(button, c, 0);
    EXPECT_EQ(host.m_origin.x, -120) << "the parent's (120, 10) on the button's (0, 0)";
    EXPECT_EQ(host.m_origin.y, -10);
}

TEST(ThemeHelper, OneLoadSharedByEveryHelper) {
    if (InThemelessChild())
        GTEST_SKIP() << "the style library is absent in this run";
    ASSERT_TRUE(CXThemeHelper::IsReady()) << "wine has the library";
    const HMODULE loaded = CXThemeHelper::s_hUxLib;
    EXPECT_EQ(loaded, GetModuleHandleW(L"uxtheme.dll"));
    const int users = CXThemeHelper::s_nUxUsers;
    EXPECT_GE(users, 1) << "the program's own helper";
    {
        CXThemeHelper second;
        EXPECT_EQ(CXThemeHelper::s_nUxUsers, users + 1);
        EXPECT_EQ(CXThemeHelper::s_hUxLib, loaded);
    }
    EXPECT_EQ(CXThemeHelper::s_nUxUsers, users);
    EXPECT_TRUE(CXThemeHelper::IsReady()) << "kept while a helper lives";
    EXPECT_EQ(CXThemeHelper::s_hUxLib, loaded);
    EXPECT_FALSE(CXThemeHelper::CloseThemeData(nullptr));
}

// The Themeless tests in a copy of this program under its own name, for which wine's
// per-program settings disable the style library. (Wine then reports the style calls of its
// common controls as unimplemented on the console.)
TEST(ThemeHelper, WithoutTheLibraryEveryButtonDrawsItsOwnLook) {
    if (InThemelessChild())
        GTEST_SKIP() << "this is the child";
    if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        GTEST_SKIP() << "the library is taken away through wine's per-program DLL settings";
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring name = L"skin_themeless_" + std::to_wstring(GetCurrentProcessId()) + L".exe";
    std::wstring copy = self;
    copy = copy.substr(0, copy.find_last_of(L'\\') + 1) + name;
    ASSERT_TRUE(CopyFileW(self, copy.c_str(), FALSE));
    const std::wstring settings = L"Software\\Wine\\AppDefaults\\" + name;
    RegSetKeyValueW(HKEY_CURRENT_USER, (settings + L"\\DllOverrides").c_str(), L"uxtheme", REG_SZ,
                    L"", sizeof(wchar_t)); // empty: disabled

    const DWORD code = RunFlagged(copy, L"--gtest_filter=Themeless*", kChildFlag, 120000);
    RegDeleteTreeW(HKEY_CURRENT_USER, settings.c_str());
    DeleteFileW(copy.c_str());
    EXPECT_EQ(code, 0u) << "the Themeless tests of the child";
}

class ThemelessTest : public ButtonTest {
protected:
    void SetUp() override {
        if (!InThemelessChild())
            GTEST_SKIP() << "runs in a child process without the style library";
        Make(L"");
    }
};

TEST_F(ThemelessTest, HelperCountsAsAbsentAndButtonsDrawTheirOwnLook) {
    EXPECT_FALSE(CXThemeHelper::IsReady());
    EXPECT_EQ(CXThemeHelper::s_hUxLib, nullptr);
    EXPECT_FALSE(CXThemeHelper::IsAppThemed());
    {
        CXThemeHelper another; // tries again, and fails the same way
        EXPECT_FALSE(CXThemeHelper::IsReady());
    }
    ASSERT_TRUE(m_button->m_bThemingOn);
    EXPECT_TRUE(LooksClassic(*Draw(0), Sys(COLOR_BTNFACE)));
    EXPECT_EQ(m_button->m_hThemeData, nullptr);
    m_button->m_bShowsDefault = TRUE;
    EXPECT_EQ(Draw(0)->At(0, kHeight / 2), RGB(0, 0, 0)) << "default frame";
}

} // namespace
