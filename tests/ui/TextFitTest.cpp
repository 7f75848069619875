// Every caption of every window and page fits its control, measured in the control's own font,
// and that font has every character of it, in each language the program ships.
#include "MainDialogFixture.h"
#include "framework/Dpi.h"
#include "framework/Paths.h"
#include "framework/String.h"
#include "skin/XButtonXP.h"
#include "ui/AboutDlg.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <vector>

namespace {

// Room the system's drawing takes from a control before its text.
constexpr int kPushButtonEdges = 6;
constexpr int kGroupBoxIndent = 16;
constexpr int kCheckGap = 4;

bool HasHangul(const std::wstring& text) {
    return std::any_of(text.begin(), text.end(),
                       [](wchar_t c) { return c >= 0xAC00 && c <= 0xD7A3; });
}

std::wstring ClassName(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

// What a caption needs against what its control gives it; empty when it fits.
std::wstring Overflow(HWND control, const std::wstring& text) {
    if (text.empty())
        return {};
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
    RECT room{};
    GetClientRect(control, &room);
    bool wrap = false;
    const std::wstring kind = ClassName(control);
    if (_wcsicmp(kind.c_str(), L"Static") == 0) {
        const DWORD type = style & SS_TYPEMASK;
        if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_SIMPLE &&
            type != SS_LEFTNOWORDWRAP)
            return {}; // pictures, frames, owner-drawn
        wrap = type != SS_SIMPLE && type != SS_LEFTNOWORDWRAP && !(style & SS_CENTERIMAGE);
    } else if (_wcsicmp(kind.c_str(), L"Button") == 0) {
        const DWORD type = style & BS_TYPEMASK;
        wrap = (style & BS_MULTILINE) != 0;
        if (type == BS_OWNERDRAW) {
            auto* button = dynamic_cast<CXButtonXP*>(CWnd::FromHandlePermanent(control));
            if (!button || !button->m_bCaptionDrawn)
                return {}; // a picture button, or one whose text only names it
            room = button->CaptionRect();
        } else if (type == BS_GROUPBOX) {
            room.right -= kGroupBoxIndent;
            wrap = false;
        } else if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
            room.right -= kPushButtonEdges;
        } else {
            room.right -= GetSystemMetrics(SM_CXMENUCHECK) + kCheckGap;
        }
    } else if (_wcsicmp(kind.c_str(), L"ComboBox") == 0) {
        // A drop-down list: each item in the box beside its arrow.
        room.right -= GetSystemMetrics(SM_CXVSCROLL) + kPushButtonEdges;
    } else {
        return {};
    }

    HDC dc = GetDC(control);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    // Captions measured in a stand-in for the Korean face keep some room: its letters may run
    // narrower than Malgun Gothic's.
    const int full = room.right - room.left, height = room.bottom - room.top;
    const int width = HasHangul(text) ? full * 95 / 100 : full;
    RECT need{0, 0, width, 0};
    DrawTextW(dc, text.c_str(), -1, &need,
              DT_CALCRECT | (wrap ? DT_WORDBREAK : DT_SINGLELINE) |
                  ((style & SS_NOPREFIX) && kind == L"Static" ? DT_NOPREFIX : 0));
    // Characters the font itself lacks: a Korean caption in a face without Hangul (Verdana
    // has no font link on Windows) shows boxes.
    std::vector<WORD> glyphs(text.size());
    GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                     GGI_MARK_NONEXISTING_GLYPHS);
    const bool boxes = std::count(glyphs.begin(), glyphs.end(), WORD{0xFFFF}) > 0;
    wchar_t face[LF_FACESIZE] = L"";
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    if (!boxes && need.right <= width && need.bottom <= height)
        return {};
    return FormatString(L"%d \"%s\" needs %dx%d in %dx%d%s %s", GetDlgCtrlID(control), text.c_str(),
                        static_cast<int>(need.right), static_cast<int>(need.bottom), width, height,
                        boxes ? L", lacks glyphs in" : L" in", face);
}

std::wstring Caption(HWND window) {
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, 512);
    return text;
}

// The texts a control shows: its caption, or a drop-down list's items.
std::vector<std::wstring> Texts(HWND control) {
    if (_wcsicmp(ClassName(control).c_str(), L"ComboBox") != 0)
        return {Caption(control)};
    std::vector<std::wstring> items;
    const int count = static_cast<int>(SendMessageW(control, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::wstring item(static_cast<size_t>(SendMessageW(control, CB_GETLBTEXTLEN, i, 0)) + 1,
                          L'\0');
        item.resize(static_cast<size_t>(
            SendMessageW(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()))));
        items.push_back(item);
    }
    return items;
}

// The push buttons inside the window, pages included, that the user can reach.
std::vector<HWND> Buttons(HWND window) {
    std::vector<HWND> buttons;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM found) {
            const auto type = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE)) & BS_TYPEMASK;
            if (_wcsicmp(ClassName(child).c_str(), L"Button") == 0 && IsWindowVisible(child) &&
                (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_OWNERDRAW))
                reinterpret_cast<std::vector<HWND>*>(found)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&buttons));
    return buttons;
}

// The captions of every control inside the window, pages included, that do not fit.
void CollectOverflows(HWND window, std::vector<std::wstring>& cut) {
    EnumChildWindows(
        window,
        [](HWND child, LPARAM found) {
            for (const std::wstring& text : Texts(child)) {
                std::wstring overflow = Overflow(child, text);
                if (!overflow.empty())
                    reinterpret_cast<std::vector<std::wstring>*>(found)->push_back(overflow);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&cut));
}

// The visible controls of the window's dialogs (the window and its pages) that do not lie
// wholly inside their dialog's client area and the window's, each with its rectangle in the
// window's client coordinates.
void CollectStrays(HWND window, std::vector<std::wstring>& strays) {
    struct Search {
        HWND window;
        std::vector<std::wstring>* strays;
    } search{window, &strays};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM param) {
            const auto& [top, found] = *reinterpret_cast<Search*>(param);
            const HWND parent = GetParent(child);
            if (!IsWindowVisible(child) || ClassName(parent) != L"#32770")
                return TRUE;
            RECT rect, inParent, inWindow, both;
            GetWindowRect(child, &rect);
            MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&rect), 2);
            GetClientRect(parent, &inParent);
            MapWindowPoints(parent, top, reinterpret_cast<POINT*>(&inParent), 2);
            GetClientRect(top, &inWindow);
            IntersectRect(&both, &inParent, &inWindow);
            RECT within;
            IntersectRect(&within, &rect, &both);
            if (!EqualRect(&within, &rect))
                found->push_back(FormatString(L"%d:%d (%d,%d)-(%d,%d) outside (%d,%d)-(%d,%d)",
                                              GetDlgCtrlID(parent), GetDlgCtrlID(child), rect.left,
                                              rect.top, rect.right, rect.bottom, both.left,
                                              both.top, both.right, both.bottom));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
}

// The pairs of visible controls whose rectangles overlap, by their ids, of the window and of
// each of its pages. Containers (pages, group boxes) and pictures under others do not count.
std::set<std::wstring> Overlaps(HWND window) {
    struct Box {
        HWND parent;
        int id;
        RECT rect;
    };
    std::vector<Box> boxes;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM found) {
            const auto style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
            const std::wstring kind = ClassName(child);
            const bool container =
                (style & DS_CONTROL) ||
                (_wcsicmp(kind.c_str(), L"Button") == 0 && (style & BS_TYPEMASK) == BS_GROUPBOX);
            const bool picture =
                _wcsicmp(kind.c_str(), L"Static") == 0 &&
                ((style & SS_TYPEMASK) == SS_BITMAP || (style & SS_TYPEMASK) == SS_BLACKRECT ||
                 (style & SS_TYPEMASK) == SS_BLACKFRAME);
            if (IsWindowVisible(child) && !container && !picture) {
                RECT rect;
                GetWindowRect(child, &rect);
                InflateRect(&rect, -1, -1); // a pixel of rounding is no overlap
                reinterpret_cast<std::vector<Box>*>(found)->push_back(
                    {GetParent(child), GetDlgCtrlID(child), rect});
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&boxes));
    std::set<std::wstring> pairs;
    for (size_t i = 0; i < boxes.size(); ++i)
        for (size_t j = i + 1; j < boxes.size(); ++j) {
            RECT both;
            if (boxes[i].parent == boxes[j].parent &&
                IntersectRect(&both, &boxes[i].rect, &boxes[j].rect))
                pairs.insert(std::to_wstring(GetDlgCtrlID(boxes[i].parent)) + L":" +
                             std::to_wstring(std::min(boxes[i].id, boxes[j].id)) + L"-" +
                             std::to_wstring(std::max(boxes[i].id, boxes[j].id)));
        }
    return pairs;
}

// Every window as a check sees it: what is cut or out of place (captions that do not fit,
// controls outside their page or window), the pairs of controls that overlap, and where each
// visible control lies in its window's client area, with the windows' sizes and the title
// menu's. The main window is looked at with each of its pages shown.
struct Survey {
    std::vector<std::wstring> faults;
    std::set<std::wstring> overlaps;
    std::map<std::wstring, RECT> places;

    // Overlaps and places, a line each; faults stay with the process that found them.
    std::string Text() const {
        std::string text;
        for (const std::wstring& pair : overlaps)
            text += "O " + std::string(pair.begin(), pair.end()) + "\n";
        for (const auto& [key, r] : places)
            text += "P " + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                    std::to_string(r.right) + " " + std::to_string(r.bottom) + " " +
                    std::string(key.begin(), key.end()) + "\n";
        return text;
    }
    static Survey Parse(const std::string& text) {
        Survey survey;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("O ", 0) == 0)
                survey.overlaps.insert(std::wstring(line.begin() + 2, line.end()));
            RECT r{};
            int used = 0;
            if (sscanf(line.c_str(), "P %ld %ld %ld %ld %n", &r.left, &r.top, &r.right, &r.bottom,
                       &used) == 4)
                survey.places[std::wstring(line.begin() + used, line.end())] = r;
        }
        return survey;
    }
};

// Where each visible control lies in the window's client area, by its id and its page's.
void CollectPlaces(HWND window, const std::wstring& prefix, std::map<std::wstring, RECT>& places) {
    struct Search {
        HWND window;
        const std::wstring& prefix;
        std::map<std::wstring, RECT>& places;
    } search{window, prefix, places};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM param) {
            auto& [top, prefix, found] = *reinterpret_cast<Search*>(param);
            if (!IsWindowVisible(child))
                return TRUE;
            RECT rect;
            GetWindowRect(child, &rect);
            MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&rect), 2);
            const std::wstring key = prefix + (GetParent(child) == top ? L"" : L"page ") +
                                     std::to_wstring(GetDlgCtrlID(child));
            std::wstring unique = key;
            for (int n = 2; found.count(unique); ++n)
                unique = key + L"#" + std::to_wstring(n);
            found[unique] = rect;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
}

Survey Look(CQuelvoxDlg& dialog, CAboutDlg& about) {
    Survey survey;
    for (int page : {0, 2}) {
        dialog.ShowPage(page == 0 ? static_cast<CDialog&>(dialog.m_step1) : dialog.m_step3, page);
        CollectStrays(dialog, survey.faults);
        const std::set<std::wstring> shown = Overlaps(dialog);
        survey.overlaps.insert(shown.begin(), shown.end());
        CollectPlaces(dialog, page == 0 ? L"" : L"run ", survey.places);
    }
    dialog.ShowPage(dialog.m_step1, 0);
    CollectOverflows(dialog, survey.faults);
    std::vector<std::wstring> inAbout;
    CollectOverflows(about, inAbout);
    CollectStrays(about, inAbout);
    for (const std::wstring& fault : inAbout)
        survey.faults.push_back(L"about " + fault);
    for (const std::wstring& pair : Overlaps(about))
        survey.overlaps.insert(L"about " + pair);
    CollectPlaces(about, L"about ", survey.places);
    for (const auto& [name, window] : {std::pair{L"window", dialog.m_hWnd}, {L"about", about}}) {
        RECT rect;
        GetWindowRect(window, &rect);
        survey.places[name] = {0, 0, rect.right - rect.left, rect.bottom - rect.top};
    }
    MEASUREITEMSTRUCT title{};
    dialog.m_menuLang.MeasureItem(&title);
    survey.places[L"title menu"] = {0, 0, static_cast<LONG>(title.itemWidth),
                                    static_cast<LONG>(title.itemHeight)};
    return survey;
}

// The about box over the main window, shown (so that its controls count as visible), for as
// long as the object lives.
struct AboutBox {
    explicit AboutBox(CQuelvoxDlg& main) : box(&main) {
        box.Create(IDD_ABOUTBOX, &main);
        box.ShowWindow(SW_SHOWNA);
    }
    ~AboutBox() { DestroyWindow(box); }
    operator CAboutDlg&() { return box; }
    operator HWND() const { return box; }
    CAboutDlg box;
};

class TextFitTest : public MainDialogTest, public testing::WithParamInterface<const wchar_t*> {
protected:
    void SetUp() override {
        m_library = LoadLibraryW((GetModuleDirectory() + L"LANG_" + GetParam() + L".DLL").c_str());
        ASSERT_NE(m_library, nullptr);
        AfxSetResourceHandle(m_library);
        MainDialogTest::SetUp();
    }
    void TearDown() override {
        MainDialogTest::TearDown();
        AfxSetResourceHandle(GetModuleHandleW(nullptr));
        FreeLibrary(m_library);
    }
    // A caption the program puts on a control while it runs.
    void Expect(HWND control, UINT id, std::vector<std::wstring>& cut) const {
        std::wstring overflow = Overflow(control, LoadResString(id));
        if (!overflow.empty())
            cut.push_back(overflow);
    }

    HMODULE m_library = nullptr;
};

TEST_P(TextFitTest, EveryCaptionFitsAndEveryControlLiesInsideItsPage) {
    Tick(); // the clock's own text
    AboutBox about(*m_dialog);
    std::vector<std::wstring> cut = Look(*m_dialog, about).faults;
    Expect(m_dialog->m_step1.GetDlgItem(IDC_PREVIEW), IDS_STOP_PREVIEW, cut);
    for (UINT id : {IDS_STOP, IDS_EXIT})
        Expect(Item(IDC_CONVERT), id, cut);
    Expect(Item(IDC_STEP_GROUP), IDS_STEP2, cut);
    EXPECT_EQ(cut, std::vector<std::wstring>{});
}

// Every button has a name a screen reader speaks, in the language in use, and a tip that says
// the same: picture buttons too.
TEST_P(TextFitTest, EveryButtonHasANameAndATipOfIt) {
    CAboutDlg about(m_dialog.get());
    ASSERT_TRUE(about.Create(IDD_ABOUTBOX, m_dialog.get()));
    std::vector<std::wstring> unnamed;
    for (const auto& [window, tips] :
         {std::pair{m_dialog->m_hWnd, &m_dialog->m_tips}, std::pair{about.m_hWnd, &about.m_tips}})
        for (HWND button : Buttons(window)) {
            const std::wstring name = Caption(button);
            if (name.empty() || name.size() == 1 || tips->TextOf(button) != name)
                unnamed.push_back(std::to_wstring(GetDlgCtrlID(button)) + L" \"" + name +
                                  L"\" tip \"" + tips->TextOf(button) + L"\"");
        }
    DestroyWindow(about);
    EXPECT_EQ(unnamed, std::vector<std::wstring>{});
}

// At 120, 144 and 192 DPI (displays at 125, 150 and 200 %), each in a process of its own to
// which the system gives that DPI: no two controls overlap that did not at 96, every caption
// still fits and every control lies inside its page and window. Then the window of this
// process, at 96, is moved to a monitor of each of those DPIs in turn (96, 144, 120, 192),
// as Windows tells it with WM_DPICHANGED, which wine never sends: everything lies where it
// lies in a window made at that DPI, and nothing is cut.
TEST_P(TextFitTest, At150PercentAndAroundAndMovedThereEverythingFits) {
    AboutBox about(*m_dialog);
    constexpr const wchar_t* kOut = L"QV_TEST_DPI_OUT";
    wchar_t out[MAX_PATH];
    if (GetEnvironmentVariableW(kOut, out, MAX_PATH)) {
        wchar_t dpi[8] = L"";
        GetEnvironmentVariableW(L"QV_TEST_DPI", dpi, 8);
        ASSERT_EQ(DpiOf(*m_dialog), static_cast<UINT>(_wtoi(dpi)));
        const Survey native = Look(*m_dialog, about);
        EXPECT_EQ(native.faults, std::vector<std::wstring>{});
        const std::string written = native.Text();
        HANDLE file = CreateFileW(out, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD done = 0;
        WriteFile(file, written.data(), static_cast<DWORD>(written.size()), &done, nullptr);
        CloseHandle(file);
        return;
    }
    const Survey at96 = Look(*m_dialog, about);
    auto grown = [&](const Survey& survey) {
        std::set<std::wstring> more;
        for (const std::wstring& pair : survey.overlaps)
            if (!at96.overlaps.count(pair))
                more.insert(pair);
        return more;
    };
    ScratchDir dir;
    const std::wstring file = dir.Path() + L"\\survey.txt";
    HKEY desktop = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_SET_VALUE, &desktop);
    auto logPixels = [&](DWORD dpi) {
        RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                       sizeof dpi);
    };
    for (DWORD dpi : {144u, 120u, 192u}) {
        DeleteFileW(file.c_str());
        SetEnvironmentVariableW(kOut, file.c_str());
        SetEnvironmentVariableW(L"QV_TEST_DPI", std::to_wstring(dpi).c_str());
        logPixels(dpi);
        const DWORD code = RunFlagged(GetModulePath(),
                                      std::wstring(L"--gtest_filter=*At150Percent*/") +
                                          (GetParam()[0] == L'E' ? L"English" : L"Korean"),
                                      L"QV_TEST_DPI_CHILD", 120000);
        logPixels(96);
        SetEnvironmentVariableW(kOut, nullptr);
        EXPECT_EQ(code, 0u) << "a caption or a control is cut at " << dpi
                            << " DPI, or it was not at " << dpi;
        const Survey native = Survey::Parse(ReadFileBytes(file));
        ASSERT_FALSE(native.places.empty()) << dpi;
        EXPECT_EQ(grown(native), std::set<std::wstring>{}) << dpi;

        MoveToMonitorOf(*m_dialog, dpi);
        MoveToMonitorOf(about, dpi);
        const Survey moved = Look(*m_dialog, about);
        EXPECT_EQ(moved.faults, std::vector<std::wstring>{}) << "moved to " << dpi;
        EXPECT_EQ(grown(moved), std::set<std::wstring>{}) << "moved to " << dpi;
        std::vector<std::wstring> misplaced;
        for (const auto& [key, there] : native.places) {
            const auto here = moved.places.find(key);
            const RECT r = here == moved.places.end() ? RECT{} : here->second;
            if (std::abs(r.left - there.left) > 1 || std::abs(r.top - there.top) > 1 ||
                std::abs(r.right - there.right) > 1 || std::abs(r.bottom - there.bottom) > 1)
                misplaced.push_back(FormatString(L"%s (%d,%d)-(%d,%d), made there (%d,%d)-(%d,%d)",
                                                 key.c_str(), r.left, r.top, r.right, r.bottom,
                                                 there.left, there.top, there.right, there.bottom));
        }
        for (const auto& [key, here] : moved.places)
            if (!native.places.count(key))
                misplaced.push_back(key + L" shown only when moved");
        EXPECT_EQ(misplaced, std::vector<std::wstring>{}) << "moved to " << dpi;
    }
    RegCloseKey(desktop);
}

INSTANTIATE_TEST_SUITE_P(Languages, TextFitTest, testing::Values(L"ENU", L"KOR"),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                             return std::string(info.param[0] == L'E' ? "English" : "Korean");
                         });

} // namespace
