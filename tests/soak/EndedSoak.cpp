// The real program with the real engines (build/dist), ended outright at random moments of a
// queue, as a crash, Task Manager or logging off end it: no engine may outlive it, and its next
// start must bring the list back without the unfinished files and convert the rest.
#include "EndedSoak.h"

#include "app/QuelvoxApp.h"
#include "framework/Handle.h"
#include "framework/Paths.h"
#include "support/TestSupport.h"
#include "resources/resource.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

// Long enough that most ends come in the middle of a file.
constexpr int kClips = 4;
constexpr DWORD kGuardMs = 120000;

std::wstring DistFolder() {
    // The soak runs from the tests' folder beside it.
    std::wstring folder = GetModuleDirectory();
    folder.resize(folder.find_last_of(L'\\', folder.size() - 2) + 1);
    return folder + L"dist\\";
}

bool Run(const std::wstring& line) {
    std::wstring command = line;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &si, &pi))
        return false;
    const CHandle process(pi.hProcess), thread(pi.hThread);
    return WaitForSingleObject(process, kGuardMs) == WAIT_OBJECT_0;
}

std::wstring NameOf(DWORD process) {
    std::wstring name = L"?";
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (entry.th32ProcessID == process)
            name = entry.szExeFile;
    CloseHandle(snapshot);
    return name;
}

// Every process started, directly or not, by the given one.
std::vector<DWORD> Descendants(DWORD root) {
    std::vector<DWORD> found{root};
    for (size_t i = 0; i < found.size(); ++i)
        for (DWORD child : ChildProcesses(found[i]))
            found.push_back(child);
    found.erase(found.begin());
    return found;
}

struct Windows {
    HWND main = nullptr, box = nullptr;
};

// The program's main window (the one with the file list) and a message box it shows.
Windows WindowsOf(DWORD process) {
    Windows found;
    struct Search {
        DWORD process;
        Windows* found;
    } search{process, &found};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != s->process || !IsWindowVisible(window))
                return TRUE;
            if (FindWindowExW(window, nullptr, WC_LISTVIEWW, nullptr))
                s->found->main = window;
            else if (GetDlgItem(window, IDYES) || GetDlgItem(window, IDOK))
                s->found->box = window;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return found;
}

int ListCount(HWND main) {
    return static_cast<int>(
        SendMessageW(FindWindowExW(main, nullptr, WC_LISTVIEWW, nullptr), LVM_GETITEMCOUNT, 0, 0));
}

int PartialFiles(const std::wstring& folder) {
    int count = 0;
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW((folder + L"\\*.part").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do
        ++count;
    while (FindNextFileW(find, &found));
    FindClose(find);
    return count;
}

// Why a round could not go on, for the one who reads the run.
void Describe(int round, const wchar_t* what, const Windows& w) {
    wchar_t text[512] = L"";
    if (w.box)
        GetDlgItemTextW(w.box, 0xFFFF, text, 512); // a message box's text
    std::printf("  round %d: %ls; main window %s, %d listed; box: %ls\n", round, what,
                w.main ? "shown" : "missing", w.main ? ListCount(w.main) : 0, text);
}

// A start as a user makes it, with its files or none; its process.
class Program {
public:
    explicit Program(const std::wstring& arguments) {
        std::wstring line = L"\"" + DistFolder() + L"Quelvox.exe\" " + arguments;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                           &pi)) {
            m_process.Attach(pi.hProcess);
            CloseHandle(pi.hThread);
            m_id = pi.dwProcessId;
        }
    }
    ~Program() {
        if (m_process)
            TerminateProcess(m_process, 1);
    }
    DWORD Id() const { return m_id; }
    HANDLE Handle() const { return m_process; }
    // Waits for the windows until pred says they are as wanted.
    bool WaitFor(const std::function<bool(const Windows&)>& pred, DWORD guardMs = kGuardMs) {
        return PumpUntil([&] { return pred(WindowsOf(m_id)); }, guardMs);
    }

private:
    CHandle m_process;
    DWORD m_id = 0;
};

} // namespace

EndedFigures RunEnded(int rounds, unsigned seed) {
    EndedFigures figures;
    ScratchDir dir;
    std::wstring files;
    for (int i = 1; i <= kClips; ++i) {
        const std::wstring clip = dir.Path() + L"\\clip " + std::to_wstring(i) + L".avi";
        Run(L"\"" + DistFolder() + L"bin\\ffmpeg.exe\" -hide_banner -loglevel error -nostdin -y " +
            L"-f lavfi -i testsrc2=size=1280x720:rate=25:duration=20 -f lavfi -i " +
            L"sine=frequency=440:duration=20 -c:v mpeg4 -q:v 6 -c:a libmp3lame \"" + clip + L"\"");
        files += L"\"" + clip + L"\" ";
    }
    // A start with nothing kept and no about box to answer.
    const std::wstring state = StateFolder();
    for (const wchar_t* name : {L"\\Queue.txt", L"\\Queue 2.txt"})
        DeleteFileW((state + name).c_str());
    CRegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Tavrenix\\Quelvox\\Ver", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, key.Receive(), nullptr) == ERROR_SUCCESS) {
        const std::wstring version = CQuelvoxApp::kVersionText;
        RegSetValueExW(key, L"Val", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                       static_cast<DWORD>((version.size() + 1) * sizeof(wchar_t)));
    }

    const ULONGLONG began = GetTickCount64();
    unsigned random = seed;
    for (int round = 0; round <= rounds; ++round) {
        Program quelvox(round == 0 ? files : L"");
        // After the first, each start offers the list the ended one left.
        if (round > 0) {
            if (!quelvox.WaitFor([](const Windows& w) { return w.box != nullptr; })) {
                Describe(round, L"no question", WindowsOf(quelvox.Id()));
                break;
            }
            PostMessageW(WindowsOf(quelvox.Id()).box, WM_COMMAND, IDYES, 0);
        }
        if (!quelvox.WaitFor(
                [](const Windows& w) { return w.main && !w.box && ListCount(w.main) == kClips; })) {
            Describe(round, L"not the whole list", WindowsOf(quelvox.Id()));
            break;
        }
        figures.listsBack += round > 0;
        figures.partsLeft += PartialFiles(dir.Path());
        const HWND main = WindowsOf(quelvox.Id()).main;
        PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDC_CONVERT, BN_CLICKED), 0);
        if (round == rounds) {
            // The last start converts what is left, to the end of the queue: four movies at
            // most, which a slow machine takes minutes over.
            if (!quelvox.WaitFor([](const Windows& w) { return w.box != nullptr; }, 20 * 60000))
                break;
            PostMessageW(WindowsOf(quelvox.Id()).box, WM_COMMAND, IDOK, 0);
            // Exit, as the button now reads: a normal end leaves nothing kept.
            if (quelvox.WaitFor([](const Windows& w) { return !w.box; }))
                PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDC_CONVERT, BN_CLICKED), 0);
            figures.finished = WaitForSingleObject(quelvox.Handle(), kGuardMs) == WAIT_OBJECT_0;
            break;
        }
        random = random * 1103515245 + 12345;
        PumpFor(300 + (random >> 8) % 6000);
        figures.whileWriting += PartialFiles(dir.Path()) > 0;
        TerminateProcess(quelvox.Handle(), 1);
        WaitForSingleObject(quelvox.Handle(), kGuardMs);
        ++figures.ends;
        // What it had started, however late: their parent is the ended program still.
        for (DWORD engine : Descendants(quelvox.Id()))
            if (!PumpUntil([&] { return !ProcessIsRunning(engine); }, 30000)) {
                std::printf("  outlived it: %ls\n", NameOf(engine).c_str());
                ++figures.enginesLeft;
                EndProcess(engine); // the next round must not meet it
            }
    }
    for (int i = 1; i <= kClips; ++i)
        figures.converted +=
            GetFileAttributesW(
                (dir.Path() + L"\\QV_clip " + std::to_wstring(i) + L".avi.avi").c_str()) !=
            INVALID_FILE_ATTRIBUTES;
    figures.partsLeft += PartialFiles(dir.Path());
    figures.seconds = (GetTickCount64() - began) / 1000.0;
    return figures;
}
