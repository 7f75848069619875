// Soak and load run of the real main dialog with the scripted engines: a long queue mixing
// every outcome, thousands of dropped files and many previews, with the process's handle,
// GDI, USER, memory and thread figures, which must not grow with the work.
//
//   soak.exe [--files N] [--load N] [--load-convert N] [--previews N] [--ended N]
//
// --ended runs the built program with the real engines and ends it outright N times in the
// middle of a queue (EndedSoak.cpp).
//
// Prints a table; exits with 1 when a file's result or a figure is not as it must be.
#include "EndedSoak.h"
#include "app/QuelvoxApp.h"
#include "support/FakeSeam.h"
#include "support/TestSupport.h"
#include "ui/QuelvoxDlg.h"
#include "resources/resource.h"

#include <commctrl.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

CQuelvoxApp g_soakApp;

namespace {

constexpr const char* kKilled = "killed";

struct Outcome {
    const char* name;
    std::string scenario;
    const wchar_t* logLine; // after "<name> file converting..."
    bool unticked;          // a file whose encoder ran is unticked
};

const std::string kIdentify = "[identify]\nout ID_VIDEO_WIDTH=640\nout ID_VIDEO_HEIGHT=352\n"
                              "out ID_VIDEO_FPS=25.000\nout ID_LENGTH=60.00\n";

std::vector<Outcome> Outcomes(bool withHang) {
    std::vector<Outcome> all = {
        {"converted", kIdentify + "[encode]\nprogress 0 100 25 20\noutput\n", L"OK.\n", true},
        {"unsupported", "[identify]\nout ID_VIDEO_WIDTH=640\n",
         L"Unsupported file.\n    Its length is not known.\n", false},
        {"sorry", kIdentify + "[encode]\nprogress 0 40 20 20\nout Sorry, cannot convert.\n",
         L"Failed.\n    Sorry, cannot convert.\n", true},
        {"demuxer", kIdentify + "[encode]\nout Cannot open demuxer.\nexit 1\n",
         L"Failed.\n    The encoder cannot read this movie.\n", true},
        {"encoder crash", kIdentify + "[encode]\nprogress 0 30 10 20\ncrash\n",
         L"Failed.\n    The encoder ended unexpectedly (code 0xC0000005).\n", true},
        {"50 MB flood", kIdentify + "[encode]\nflood 50\noutput\n", L"OK.\n", true},
        {"exit 3", kIdentify + "[encode]\nprogress 0 50 25 20\nexit 3\n",
         L"Failed.\n    The encoder ended unexpectedly (code 0x00000003).\n", true},
        // Ended from outside (Task Manager, an antivirus) at a random moment of its run.
        {kKilled, kIdentify + "[encode]\nprogress 0 60 5 50\nhang\n",
         L"Failed.\n    The encoder ended unexpectedly (code 0x00000001).\n", true},
        {"silent", kIdentify + "[encode]\n", L"OK.\n", true},
        {"held pipe", kIdentify + "[encode]\nhold 1500\noutput\n", L"OK.\n", true},
    };
    // An identification that never ends is cut after 11.5 s and the facts so far are used.
    if (withHang)
        all.push_back({"identify hang", kIdentify + "hang\n[encode]\noutput\n", L"OK.\n", true});
    return all;
}

struct Figures {
    DWORD handles = 0, gdi = 0, user = 0, threads = 0;
    SIZE_T privateKb = 0;
};

// Where the system does not count the handles (wine answers 0), they are counted by asking
// for each possible handle value whether it is one.
DWORD HandleCount() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count)
        return count;
    DWORD flags = 0;
    for (UINT_PTR value = 4; value < 0x10000; value += 4)
        count += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) != FALSE;
    return count;
}

Figures Measure() {
    Figures f;
    HANDLE self = GetCurrentProcess();
    f.handles = HandleCount();
    f.gdi = GetGuiResources(self, GR_GDIOBJECTS);
    f.user = GetGuiResources(self, GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(self, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    // Private bytes, or the commit charge where they are not reported.
    f.privateKb = (memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage) / 1024;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 thread{};
    thread.dwSize = sizeof thread;
    for (BOOL more = Thread32First(snapshot, &thread); more; more = Thread32Next(snapshot, &thread))
        f.threads += thread.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return f;
}

// Engine processes of ours still running (left behind by a run or a preview). Only our own:
// other test programs may be running engines beside us.
int ChildrenAlive() {
    int alive = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == GetCurrentProcessId() &&
            (_wcsicmp(entry.szExeFile, L"mplayer.exe") == 0 ||
             _wcsicmp(entry.szExeFile, L"mencoder.exe") == 0)) {
            ++alive;
            std::printf("  left running: %ls\n", entry.szExeFile);
        }
    CloseHandle(snapshot);
    return alive;
}

bool g_ok = true;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::printf("FAILED: %s\n", what);
        g_ok = false;
    }
}

int Arg(int argc, wchar_t** argv, const wchar_t* name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::wstring(argv[i]) == name)
            return std::wstring(argv[i + 1]) == L"all" ? -1 : _wtoi(argv[i + 1]);
    return fallback;
}

class Soak {
public:
    Soak() {
        m_dialog.Create(IDD_QUELVOX_DIALOG, nullptr);
        g_soakApp.m_pMainDlg = &m_dialog;
        g_soakApp.m_pMainWnd = &m_dialog;
        m_dialog.ShowWindow(SW_SHOW);
        PumpDialogFor(200);
    }
    ~Soak() { DestroyWindow(m_dialog); }

    // Converts `count` files cycling through every outcome; checks each log line and tick.
    void Queue(int count) {
        const std::vector<Outcome> outcomes = Outcomes(count >= 20);
        std::vector<size_t> kinds;
        std::wstring expected;
        for (int i = 0; i < count; ++i) {
            // The hang twice in a long queue: each costs 11.5 s.
            size_t kind = i % (outcomes.size() - (count >= 20 ? 1 : 0));
            if (count >= 20 && (i == count / 3 || i == 2 * count / 3))
                kind = outcomes.size() - 1;
            kinds.push_back(kind);
            const std::wstring name = L"movie " + std::to_wstring(i) + L".avi";
            m_dialog.AppendFile(i, m_dir.Write(name, outcomes[kind].scenario));
            expected += L"\n" + name + L" file converting..." + outcomes[kind].logLine;
        }
        expected +=
            L"\n" + std::to_wstring(ConvertedCount(outcomes, kinds)) + L" file(s) converted.\n";

        m_start = Measure();
        const ULONGLONG began = GetTickCount64();
        m_dialog.PostMessage(WM_COMMAND, MAKEWPARAM(IDC_CONVERT, BN_CLICKED), 0);
        bool tookFirst = false, tookMiddle = false;
        unsigned random = 12345;
        int killAt = -1; // the share at which the current "killed" file's encoder is ended
        PumpDialogUntil(
            [&] {
                const convert::CConversion& run = m_dialog.m_conversion;
                const int item = run.CurrentItem();
                if (item < count && outcomes[kinds[item]].name == std::string(kKilled) &&
                    run.CurrentStep() == convert::FileStep::Encoding) {
                    if (killAt < 0) {
                        random = random * 1103515245 + 12345;
                        killAt = static_cast<int>(random >> 16) % 60;
                    }
                    if (run.Percent() >= killAt && ProcessIsRunning(run.Encoder().ProcessId()))
                        if (HANDLE encoder =
                                OpenProcess(PROCESS_TERMINATE, FALSE, run.Encoder().ProcessId())) {
                            TerminateProcess(encoder, 1);
                            CloseHandle(encoder);
                        }
                } else {
                    killAt = -1;
                }
                // A file is done once the next is taken up.
                if (!tookFirst && m_dialog.m_conversion.CurrentItem() >= 1) {
                    m_afterFirst = Measure();
                    tookFirst = true;
                }
                if (!tookMiddle && count >= 100 && m_dialog.m_conversion.CurrentItem() >= 100) {
                    m_afterHundred = Measure();
                    tookMiddle = true;
                }
                return m_dialog.m_conversion.Finished();
            },
            static_cast<DWORD>(count) * 15000 + 60000);
        m_queueSeconds = (GetTickCount64() - began) / 1000.0;
        PumpDialogFor(300);
        m_end = Measure();
        if (!tookMiddle)
            m_afterHundred = m_end;

        Check(m_dialog.m_conversion.Finished(), "the queue did not finish");
        const std::wstring log = EditLines(m_dialog.m_step3.m_editLog);
        Check(log == expected, "log lines differ from the outcomes' texts");
        if (log != expected) {
            const size_t at =
                std::mismatch(log.begin(), log.begin() + std::min(log.size(), expected.size()),
                              expected.begin())
                    .first -
                log.begin();
            const size_t from = log.rfind(L'\n', at) == log.npos ? 0 : log.rfind(L'\n', at) + 1;
            std::printf("  expected: %ls\n  logged:   %ls\n",
                        expected.substr(from, expected.find(L'\n', at) - from).c_str(),
                        log.substr(from, log.find(L'\n', at) - from).c_str());
        }
        int ticks = 0;
        for (int i = 0; i < count; ++i) {
            const bool right = m_dialog.m_listFiles.GetCheck(i) == !outcomes[kinds[i]].unticked;
            if (!right)
                std::printf("  file %d (%s) ticked wrongly\n", i, outcomes[kinds[i]].name);
            ticks += right;
        }
        m_ticksRight = ticks;
        Check(ticks == count, "tick states differ from the outcomes");
        m_queued = count;
        m_dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_PREV, BN_CLICKED), 0);
    }

    // Drops `count` files at once, then converts the first `convert` of them (-1: all).
    void Load(int count, int convert) {
        m_dialog.m_listFiles.DeleteAllItems();
        std::vector<std::wstring> paths;
        const std::string quick = Outcomes(false)[0].scenario;
        for (int i = 0; i < count; ++i)
            paths.push_back(m_dir.Write(L"load " + std::to_wstring(i) + L".mkv", quick));
        const ULONGLONG began = GetTickCount64();
        m_dialog.SendMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)));
        PumpDialogUntil([&] { return !m_dialog.Searching(); }, 600000);
        m_listMs = GetTickCount64() - began;
        bool inOrder = m_dialog.m_listFiles.GetItemCount() == count;
        for (int i = 0; inOrder && i < count; ++i)
            inOrder = m_dialog.m_listFiles.GetItemText(i, 0) == paths[i] &&
                      m_dialog.m_listFiles.GetCheck(i);
        Check(inOrder, "dropped files not all listed, ticked and in order");
        m_listed = count;

        const int converting = convert < 0 || convert > count ? count : convert;
        for (int i = converting; i < count; ++i)
            m_dialog.m_listFiles.SetCheck(i, false);
        m_dialog.m_step3.m_editLog.SetWindowText(L"");
        m_dialog.PostMessage(WM_COMMAND, MAKEWPARAM(IDC_CONVERT, BN_CLICKED), 0);
        PumpDialogUntil([&] { return m_dialog.m_conversion.Finished(); },
                        static_cast<DWORD>(converting) * 15000 + 60000);
        std::wstring expected;
        for (int i = 0; i < converting; ++i)
            expected += L"\nload " + std::to_wstring(i) + L".mkv file converting...OK.\n";
        expected += L"\n" + std::to_wstring(converting) + L" file(s) converted.\n";
        Check(EditLines(m_dialog.m_step3.m_editLog) == expected,
              "dropped files not converted in order");
        m_loadConverted = converting;
        m_dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_PREV, BN_CLICKED), 0);
    }

    void Previews(int count) {
        m_dialog.m_listFiles.DeleteAllItems();
        m_dialog.AppendFile(0, m_dir.Write(L"preview.avi", kIdentify));
        m_previewStart = Measure();
        for (int i = 0; i < count; ++i) {
            m_dialog.TogglePreview();
            PumpDialogUntil([&] { return !m_dialog.m_preview.Busy(); }, 60000);
            m_started += m_dialog.m_preview.Previewing();
            PumpDialogFor(100);
            const DWORD player = m_dialog.m_preview.Player().ProcessId();
            m_dialog.TogglePreview();
            PumpDialogUntil([&] { return !ProcessIsRunning(player); }, 5000);
            PumpDialogUntil([&] { return !m_dialog.m_preview.Busy(); }, 5000);
            PumpDialogFor(50);
            if (i == 0)
                m_previewFirst = Measure();
        }
        PumpDialogFor(300);
        m_previewEnd = Measure();
        m_previews = count;
        Check(m_started == count, "not every preview started");
    }

    void Print() const {
        std::printf(
            "Quelvox soak: %d files queued, %d dropped (%d of them converted), %d previews\n\n",
            m_queued, m_listed, m_loadConverted, m_previews);
        std::printf("%-14s %9s %9s %9s %9s %9s   %s\n", "queue", "start", "after 1", "after 100",
                    "end", "allowed", "");
        Row("handles", &Figures::handles, m_start, m_afterFirst, m_afterHundred, m_end, 24);
        Row("GDI objects", &Figures::gdi, m_start, m_afterFirst, m_afterHundred, m_end, 8);
        Row("USER objects", &Figures::user, m_start, m_afterFirst, m_afterHundred, m_end, 8);
        Row("threads", &Figures::threads, m_start, m_afterFirst, m_afterHundred, m_end, 3);
        Row("private KB", &Figures::privateKb, m_start, m_afterFirst, m_afterHundred, m_end, 8192);
        std::printf("  %d files in %.0f s; log lines and ticks right: %d of %d\n\n", m_queued,
                    m_queueSeconds, m_ticksRight, m_queued);
        std::printf("load: %d files dropped at once listed in %llu ms; %d converted in order\n\n",
                    m_listed, static_cast<unsigned long long>(m_listMs), m_loadConverted);
        std::printf("%-14s %9s %9s %9s %9s %9s\n", "previews", "start", "after 1", "", "end",
                    "allowed");
        Row("handles", &Figures::handles, m_previewStart, m_previewFirst, m_previewEnd,
            m_previewEnd, 24);
        Row("GDI objects", &Figures::gdi, m_previewStart, m_previewFirst, m_previewEnd,
            m_previewEnd, 8);
        Row("USER objects", &Figures::user, m_previewStart, m_previewFirst, m_previewEnd,
            m_previewEnd, 8);
        Row("threads", &Figures::threads, m_previewStart, m_previewFirst, m_previewEnd,
            m_previewEnd, 3);
        Row("private KB", &Figures::privateKb, m_previewStart, m_previewFirst, m_previewEnd,
            m_previewEnd, 8192);
        std::printf("  %d of %d previews played; engine processes left: %d\n", m_started,
                    m_previews, ChildrenAlive());
    }

private:
    static int ConvertedCount(const std::vector<Outcome>& outcomes,
                              const std::vector<size_t>& kinds) {
        int n = 0;
        for (size_t kind : kinds)
            n += outcomes[kind].unticked;
        return n;
    }
    template <typename T>
    static void Row(const char* name, T Figures::*field, const Figures& start, const Figures& first,
                    const Figures& middle, const Figures& end, long long allowance) {
        const long long limit = static_cast<long long>(first.*field) + allowance;
        const bool ok = static_cast<long long>(middle.*field) <= limit &&
                        static_cast<long long>(end.*field) <= limit;
        const bool counted = start.*field || first.*field || middle.*field || end.*field;
        std::printf("  %-12s %9llu %9llu %9llu %9llu %9lld   %s\n", name,
                    static_cast<unsigned long long>(start.*field),
                    static_cast<unsigned long long>(first.*field),
                    static_cast<unsigned long long>(middle.*field),
                    static_cast<unsigned long long>(end.*field), limit,
                    !counted ? "not counted by this system"
                    : ok     ? "ok"
                             : "GROWS");
        if (!ok)
            g_ok = false;
    }

    FakeSeam m_seam;
    ScratchDir m_dir;
    CQuelvoxDlg m_dialog;
    Figures m_start, m_afterFirst, m_afterHundred, m_end, m_previewStart, m_previewFirst,
        m_previewEnd;
    int m_queued = 0, m_ticksRight = 0, m_listed = 0, m_loadConverted = 0, m_previews = 0,
        m_started = 0;
    double m_queueSeconds = 0;
    ULONGLONG m_listMs = 0;
};

} // namespace

int wmain(int argc, wchar_t** argv) {
    // Seen as it comes, and not lost should a child keep the pipe.
    setvbuf(stdout, nullptr, _IONBF, 0);
    INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF};
    InitCommonControlsEx(&controls);
    const int files = Arg(argc, argv, L"--files", 200);
    const int load = Arg(argc, argv, L"--load", 10000);
    const int loadConvert = Arg(argc, argv, L"--load-convert", 50);
    const int previews = Arg(argc, argv, L"--previews", 100);
    const int ended = Arg(argc, argv, L"--ended", 10);
    {
        Soak soak;
        soak.Queue(files);
        soak.Load(load, loadConvert);
        soak.Previews(previews);
        soak.Print();
    }
    if (ended > 0) {
        const EndedFigures f = RunEnded(ended, GetTickCount());
        std::printf("\nended outright: %d times at random moments of a real-engine queue (%d of "
                    "them while a movie was written), in %.0f s\n  engines that outlived it: %d; "
                    "lists back: %d of %d; unfinished movies left: %d; then converted to the end: "
                    "%d of 4 movies\n",
                    f.ends, f.whileWriting, f.seconds, f.enginesLeft, f.listsBack, ended,
                    f.partsLeft, f.converted);
        Check(f.ends == ended && f.finished, "the real program's runs did not all take place");
        Check(f.enginesLeft == 0, "engines outlived the program");
        Check(f.listsBack == ended, "a list did not come back");
        Check(f.partsLeft == 0, "unfinished movies were left");
        Check(f.converted == 4, "not every movie was converted in the end");
    }
    Check(ChildrenAlive() == 0, "engine processes left behind");
    std::printf("\nRESULT: %s\n", g_ok ? "PASS" : "FAIL");
    return g_ok ? 0 : 1;
}
