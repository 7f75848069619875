#include "TestSupport.h"

#include "framework/Paths.h"

#include <algorithm>
#include <atomic>

#include <shlobj.h>
#include <tlhelp32.h>

std::wstring EnginePath(const std::wstring& name) {
    return GetModuleDirectory() + L"bin\\" + name + L".exe";
}

std::string ManifestOf(const std::wstring& program) {
    HMODULE module = LoadLibraryExW(program.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    HRSRC found = module ? FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST) : nullptr;
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    std::string manifest;
    if (loaded)
        manifest.assign(static_cast<const char*>(LockResource(loaded)),
                        SizeofResource(module, found));
    if (module)
        FreeLibrary(module);
    return manifest;
}

ScratchDir::ScratchDir() {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    m_path = std::wstring(temp) + L"qv-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(++counter);
    CreateDirectoryW(m_path.c_str(), nullptr);
}

namespace {
void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = folder + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}
} // namespace

ScratchDir::~ScratchDir() {
    RemoveTree(m_path);
}

std::wstring ScratchDir::Write(const std::wstring& name, const std::string& content) const {
    std::wstring path = m_path + L"\\" + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
    return path;
}

void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

namespace {
// The message loop of the tests; with `dialogs`, each message is first offered to the
// framework windows, as the program's modal loop does.
bool Pump(const std::function<bool()>& pred, DWORD timeoutMs, bool dialogs);
} // namespace

bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs) {
    return Pump(pred, timeoutMs, false);
}

MessageCounter::MessageCounter() {
    static const wchar_t* kClass = L"QuelvoxTestMessageCounter";
    static bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClass;
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    m_hWnd = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessageCounter::~MessageCounter() {
    SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    ::DestroyWindow(m_hWnd);
}

int MessageCounter::Count(UINT message) const {
    auto it = m_counts.find(message);
    return it == m_counts.end() ? 0 : it->second;
}

WPARAM MessageCounter::LastWParam(UINT message) const {
    auto it = m_lastWParams.find(message);
    return it == m_lastWParams.end() ? 0 : it->second;
}

LRESULT CALLBACK MessageCounter::Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<MessageCounter*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (self && message >= WM_APP) {
        ++self->m_counts[message];
        self->m_lastWParams[message] = wParam;
    }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

std::wstring Widen(const std::string& bytes) {
    int length =
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(length, L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                        length);
    return text;
}

HDROP MakeDrop(const std::vector<std::wstring>& paths) {
    size_t chars = 1;
    for (const auto& p : paths)
        chars += p.size() + 1;
    HGLOBAL memory =
        GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* text = reinterpret_cast<wchar_t*>(drop + 1);
    for (const auto& p : paths) {
        std::copy(p.begin(), p.end(), text);
        text += p.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string content;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got)
        content.append(buffer, got);
    CloseHandle(file);
    return content;
}

DWORD RunFlagged(const std::wstring& program, const std::wstring& arguments,
                 const wchar_t* flagVariable, DWORD timeoutMs) {
    SetEnvironmentVariableW(flagVariable, L"1");
    std::wstring command = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION child{};
    const BOOL started = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &start, &child);
    SetEnvironmentVariableW(flagVariable, nullptr);
    if (!started)
        return ~0u;
    if (!PumpUntil([&] { return WaitForSingleObject(child.hProcess, 0) == WAIT_OBJECT_0; },
                   timeoutMs))
        TerminateProcess(child.hProcess, ~0u);
    WaitForSingleObject(child.hProcess, 5000);
    DWORD code = ~0u;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return code;
}

std::wstring EditLines(HWND edit) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    std::wstring lines;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            continue;
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r'))
            lines += L"[LF]";
        lines += text[i];
    }
    return lines;
}

bool ProcessIsRunning(DWORD processId) {
    // No process has the id 0 (wine opens one for it all the same).
    if (processId == 0)
        return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process)
        return false;
    DWORD code = 0;
    bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

std::vector<DWORD> ChildProcesses(DWORD parent) {
    std::vector<DWORD> children;
    if (parent == 0)
        return children; // wine's own processes have the parent 0
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return children;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == parent)
            children.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return children;
}

void EndProcess(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
    if (!process)
        return;
    TerminateProcess(process, 0);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
}

#include "framework/Dialog.h"

bool PumpDialogUntil(const std::function<bool()>& pred, DWORD timeoutMs) {
    return Pump(pred, timeoutMs, true);
}

namespace {
bool Pump(const std::function<bool()>& pred, DWORD timeoutMs, bool dialogs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (dialogs && CDialog::PreTranslateChain(&msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (pred())
            return true;
        if (GetTickCount64() >= end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}
} // namespace

void PumpPending() {
    PumpUntil([] { return true; }, 0);
}

void PumpDialogPending() {
    PumpDialogUntil([] { return true; }, 0);
}

void PumpDialogFor(DWORD ms) {
    PumpDialogUntil([] { return false; }, ms);
}

PrivateRegistry::PrivateRegistry() {
    m_name = L"Software\\QuelvoxTests\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(GetTickCount64());
    RegCreateKeyExW(HKEY_CURRENT_USER, m_name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &m_key, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, m_key);
}

PrivateRegistry::~PrivateRegistry() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(m_key);
    RegDeleteTreeW(HKEY_CURRENT_USER, m_name.c_str());
}
