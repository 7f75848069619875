// The application framework: message maps, the modal loop, data exchange, strings and the
// per-user profile.
#include "FrameworkTestIds.h"
#include "framework/App.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/Dpi.h"
#include "framework/Handle.h"
#include "framework/String.h"
#include "support/FakeSeam.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr UINT kBoth = WM_APP + 20, kBaseOnly = WM_APP + 21, kNeither = WM_APP + 22,
               kThrows = WM_APP + 23;

class BaseWindow : public CWnd {
public:
    std::vector<std::string> calls;

protected:
    LRESULT OnBoth(WPARAM, LPARAM) {
        calls.push_back("base both");
        return 1;
    }
    LRESULT OnBaseOnly(WPARAM, LPARAM) {
        calls.push_back("base only");
        return 2;
    }
    LRESULT OnThrows(WPARAM, LPARAM) { throw std::runtime_error("no memory for the list"); }
    BEGIN_MSG_MAP(BaseWindow, CWnd)
        ON_MESSAGE(kThrows, OnThrows)
        ON_MESSAGE(kBoth, OnBoth)
        ON_MESSAGE(kBaseOnly, OnBaseOnly)
    END_MSG_MAP()
};

constexpr int kCommandId = 42;

class DerivedWindow : public BaseWindow {
public:
    int commands = 0;

private:
    void OnCommandId() { ++commands; }
    LRESULT OnBoth(WPARAM, LPARAM) {
        calls.push_back("derived both");
        // Default processing is the window's own procedure, not the base's map.
        return Default() + 10;
    }
    BEGIN_MSG_MAP(DerivedWindow, BaseWindow)
        ON_MESSAGE(kBoth, OnBoth)
        ON_COMMAND(kCommandId, OnCommandId)
    END_MSG_MAP()
};

// The window procedure the subclassed window had before: answers 100 to everything.
LRESULT CALLBACK OriginalProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg >= WM_APP)
        return 100;
    return DefWindowProcW(h, msg, w, l);
}

HWND MakePlainWindow() {
    static bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = OriginalProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QuelvoxPlainTestWindow";
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    return CreateWindowExW(0, L"QuelvoxPlainTestWindow", L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

} // namespace

TEST(MessageMap, DerivedMapComesFirstAndChainsToTheBase) {
    HWND window = MakePlainWindow();
    DerivedWindow wnd;
    ASSERT_TRUE(wnd.SubclassWindow(window));
    EXPECT_EQ(CWnd::FromHandlePermanent(window), &wnd);

    EXPECT_EQ(SendMessageW(window, kBoth, 0, 0), 110);
    EXPECT_EQ(SendMessageW(window, kBaseOnly, 0, 0), 2);
    EXPECT_EQ(SendMessageW(window, kNeither, 0, 0), 100);
    EXPECT_EQ(wnd.calls, (std::vector<std::string>{"derived both", "base only"}));

    // A wrapper that goes away hands the window back to its own procedure.
    wnd.UnsubclassWindow();
    EXPECT_EQ(CWnd::FromHandlePermanent(window), nullptr);
    EXPECT_EQ(SendMessageW(window, kBoth, 0, 0), 100);
    DestroyWindow(window);
}

TEST(MessageMap, CommandTakesClicksMenusAndAcceleratorsButNoSelectionChange) {
    HWND window = MakePlainWindow();
    DerivedWindow wnd;
    ASSERT_TRUE(wnd.SubclassWindow(window));
    const auto control = reinterpret_cast<LPARAM>(window);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(kCommandId, BN_CLICKED), control);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(kCommandId, 0), 0); // a menu item
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(kCommandId, 1), 0); // an accelerator
    EXPECT_EQ(wnd.commands, 3);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(kCommandId, LBN_SELCHANGE), control);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(kCommandId, BN_DOUBLECLICKED), control);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(kCommandId + 1, BN_CLICKED), control);
    EXPECT_EQ(wnd.commands, 3);
    wnd.UnsubclassWindow();
    DestroyWindow(window);
}

TEST(MessageMap, AHandlerThatThrowsIsReportedAndTheWindowGoesOn) {
    FakeSeam seam;
    HWND window = MakePlainWindow();
    DerivedWindow wnd;
    ASSERT_TRUE(wnd.SubclassWindow(window));
    EXPECT_EQ(SendMessageW(window, kThrows, 0, 0), 0);
    EXPECT_EQ(seam.handlerFailures, std::vector<std::wstring>{L"no memory for the list"});
    EXPECT_EQ(SendMessageW(window, kBoth, 0, 0), 110);
    wnd.UnsubclassWindow();
    DestroyWindow(window);
}

TEST(MessageMap, DestroyedWindowLeavesItsObject) {
    DerivedWindow wnd;
    ASSERT_TRUE(wnd.SubclassWindow(MakePlainWindow()));
    DestroyWindow(wnd.m_hWnd);
    EXPECT_EQ(wnd.m_hWnd, nullptr);
}

namespace {

// A dialog that records what its modal loop offers it and exchanges its controls' data.
class ProbeDialog : public CDialog {
public:
    ProbeDialog() : CDialog(IDD_PROBE) {}
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        initialised = true;
        return TRUE;
    }
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message >= WM_APP)
            seen.push_back(msg->message);
        if (msg->message == WM_APP + 1)
            return TRUE; // taken: never dispatched
        return CDialog::PreTranslateMessage(msg);
    }
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, IDC_PROBE_LOG, log);
        DDX_Check(pDX, IDC_PROBE_CHECK, check);
        DDX_Radio(pDX, IDC_PROBE_FIRST, radio);
        DDV_MinMaxInt(pDX, radio, 0, 2);
    }
    LRESULT OnApp(WPARAM, LPARAM) {
        dispatched.push_back(WM_APP + 2);
        EndDialog(77);
        return 0;
    }

    bool initialised = false;
    int check = 1;
    int radio = 1;
    CEdit log;
    std::vector<UINT> seen, dispatched;

protected:
    BEGIN_MSG_MAP(ProbeDialog, CDialog)
        ON_MESSAGE(WM_APP + 2, OnApp)
    END_MSG_MAP()
};

ProbeDialog* g_probe = nullptr;

void CALLBACK PostToProbe(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    g_probe->PostMessage(WM_APP + 1);
    g_probe->PostMessage(WM_APP + 2);
}

} // namespace

TEST(ModalLoop, OffersQueuedMessagesToPreTranslateBeforeDispatching) {
    ProbeDialog dialog;
    g_probe = &dialog;
    SetTimer(nullptr, 0, 50, PostToProbe);
    EXPECT_EQ(dialog.DoModal(), 77);
    EXPECT_TRUE(dialog.initialised);
    EXPECT_EQ(dialog.seen, (std::vector<UINT>{WM_APP + 1, WM_APP + 2}));
    EXPECT_EQ(dialog.dispatched, (std::vector<UINT>{WM_APP + 2}));
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}

TEST(DataExchange, RadioGroupAndCheckBoxBothWays) {
    ProbeDialog dialog;
    ASSERT_TRUE(dialog.Create(IDD_PROBE, nullptr));
    auto checked = [&](int id) { return SendMessageW(dialog.GetDlgItem(id), BM_GETCHECK, 0, 0); };
    EXPECT_EQ(checked(IDC_PROBE_CHECK), BST_CHECKED);
    EXPECT_EQ(checked(IDC_PROBE_SECOND), BST_CHECKED);
    EXPECT_NE(dialog.log.m_hWnd, nullptr);

    SendMessageW(dialog.GetDlgItem(IDC_PROBE_CHECK), BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageW(dialog.GetDlgItem(IDC_PROBE_SECOND), BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageW(dialog.GetDlgItem(IDC_PROBE_THIRD), BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_TRUE(dialog.UpdateData(true));
    EXPECT_EQ(dialog.check, 0);
    EXPECT_EQ(dialog.radio, 2);

    // No button checked reads as -1, which the range check refuses, telling the user.
    FakeSeam seam;
    SendMessageW(dialog.GetDlgItem(IDC_PROBE_THIRD), BM_SETCHECK, BST_UNCHECKED, 0);
    EXPECT_FALSE(dialog.UpdateData(true));
    ASSERT_EQ(seam.boxes.size(), 1u);
    EXPECT_EQ(seam.boxes[0].text, L"Please enter an integer between 0 and 2.");
    DestroyWindow(dialog);
}

// A DPI change lays the template out again as the dialog manager lays it out at creation: at
// the DPI it was made at nothing moves by a pixel and the size it asks for is its own; at
// another the buttons take the template's font at the new size and the edit keeps the code's.
// (The fit test compares every window moved to 120, 144 and 192 DPI with one made there.)
TEST(DpiChange, TheTemplateIsLaidOutAgainAsTheDialogManagerLaysItOut) {
    ProbeDialog dialog;
    ASSERT_TRUE(dialog.Create(IDD_PROBE, nullptr));
    const HFONT own = CreateFontW(-20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, L"Arial");
    dialog.log.SetFont(own);
    const int ids[] = {IDC_PROBE_LOG, IDC_PROBE_CHECK, IDC_PROBE_FIRST, IDC_PROBE_THIRD};
    auto places = [&] {
        std::vector<RECT> rects;
        for (int id : ids) {
            RECT r;
            GetWindowRect(dialog.GetDlgItem(id), &r);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
            rects.push_back(r);
        }
        return rects;
    };
    const std::vector<RECT> made = places();
    const RECT window = dialog.GetWindowRect();
    auto change = [&](UINT dpi) {
        SIZE size{};
        EXPECT_TRUE(dialog.SendMessage(WM_GETDPISCALEDSIZE, dpi, reinterpret_cast<LPARAM>(&size)));
        RECT suggested{window.left, window.top, window.left + size.cx, window.top + size.cy};
        dialog.SendMessage(WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                           reinterpret_cast<LPARAM>(&suggested));
        EXPECT_EQ(dialog.Dpi(), dpi);
        return size;
    };
    const SIZE same = change(96);
    EXPECT_EQ(same.cx, window.right - window.left);
    EXPECT_EQ(same.cy, window.bottom - window.top);
    const std::vector<RECT> again = places();
    for (size_t i = 0; i < made.size(); ++i)
        EXPECT_TRUE(EqualRect(&again[i], &made[i])) << ids[i];

    change(192);
    LOGFONTW font{};
    GetObjectW(
        reinterpret_cast<HFONT>(SendMessageW(dialog.GetDlgItem(IDC_PROBE_CHECK), WM_GETFONT, 0, 0)),
        sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -MulDiv(8, 192, 72));
    EXPECT_EQ(reinterpret_cast<HFONT>(dialog.log.SendMessage(WM_GETFONT)), own);
    DestroyWindow(dialog);
    DeleteObject(own);
}

TEST(Strings, LoadedFromTheResourceModuleAndFormattedTheWindowsWay) {
    EXPECT_EQ(LoadResString(IDS_PROBE_PLAIN), L"OK.\n");
    EXPECT_EQ(LoadResString(999), L"");
    EXPECT_EQ(FormatString(LoadResString(IDS_PROBE_FORMAT).c_str(), L"clip.avi"),
              L"\nclip.avi file converting...");
    EXPECT_EQ(FormatString(L"%8.3f|%3d%%", 29.97, 7), L"  29.970|  7%");
    std::wstring longText(5000, L'x');
    EXPECT_EQ(FormatString(L"%s!", longText.c_str()), longText + L"!");
}

TEST(Profile, StringsUnderTheCompanyAndProgramKey) {
    PrivateRegistry registry;
    CWinApp& app = *AfxGetApp();
    app.SetRegistryKey(L"Tavrenix");
    EXPECT_EQ(app.GetProfileString(L"Language", L"LCID"), L"");
    EXPECT_TRUE(app.WriteProfileString(L"Language", L"LCID", L"1042"));
    EXPECT_EQ(app.GetProfileString(L"Language", L"LCID"), L"1042");

    HKEY key;
    std::wstring path = L"Software\\Tavrenix\\" + app.m_strAppName + L"\\Language";
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"LCID", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    RegCloseKey(key);
}

TEST(Handles, EachIsReleasedOnceWhenItsOwnerGoesOrTakesAnother) {
    auto open = [](HANDLE handle) {
        DWORD flags = 0;
        return GetHandleInformation(handle, &flags) != FALSE;
    };
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE second = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        CHandle owner(first);
        owner.Attach(second);
        EXPECT_FALSE(open(first));
        owner.Attach(second); // the same again stays
        EXPECT_TRUE(open(second));
        CHandle taken(std::move(owner));
        EXPECT_FALSE(owner);
        EXPECT_EQ(taken.Get(), second);
    }
    EXPECT_FALSE(open(second));
    // A file that did not open is an empty owner, not one of INVALID_HANDLE_VALUE.
    EXPECT_FALSE(FileHandle(CreateFileW(L"C:\\no such folder\\x", GENERIC_READ, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr)));
}
