// Start-up: the stored version text, the restart wait and the hand-over between two real
// processes of the program.
#include "framework/Paths.h"
#include "app/QuelvoxApp.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

namespace {

constexpr const wchar_t* kRoleVariable = L"QV_TEST_SUCCESSOR_FILE";

// When this test program is started as the successor of a hand-over, it waits for its
// predecessor as the program does, writes the moment its wait ended and its own path, and
// leaves.
constexpr const wchar_t* kPredecessorFlag = L"QV_TEST_PREDECESSOR";

struct SuccessorRole {
    SuccessorRole() {
        wchar_t file[MAX_PATH];
        if (!GetEnvironmentVariableW(kRoleVariable, file, MAX_PATH) ||
            GetEnvironmentVariableW(kPredecessorFlag, nullptr, 0))
            return;
        WaitForPreviousInstance();
        const std::wstring self = GetModulePath();
        std::string note = std::to_string(GetTickCount64()) + "\n";
        for (wchar_t c : self)
            note += c < 0x80 ? static_cast<char>(c) : '?';
        HANDLE out = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written;
        WriteFile(out, note.data(), static_cast<DWORD>(note.size()), &written, nullptr);
        CloseHandle(out);
        ExitProcess(0);
    }
} g_successorRole;

constexpr const wchar_t* kLaunchFlag = L"QV_TEST_LAUNCH_FROM_COPY";

} // namespace

TEST(StartUp, VersionTextMarksTheFirstRunOfAVersion) {
    PrivateRegistry registry;
    CQuelvoxApp& app = TheApp();
    app.SetRegistryKey(CQuelvoxApp::kRegistryKey);
    EXPECT_TRUE(app.CheckVersion());
    EXPECT_EQ(app.GetProfileString(L"Ver", L"Val"), L"1.0.0.1 ");
    EXPECT_FALSE(app.CheckVersion());

    // Without the trailing blank it is another text.
    app.WriteProfileString(L"Ver", L"Val", L"1.0.0.1");
    EXPECT_TRUE(app.CheckVersion());
    EXPECT_EQ(app.GetProfileString(L"Ver", L"Val"), L"1.0.0.1 ");
}

TEST(StartUp, OnlyACommandLineThatBeginsWithRestartSkipsTheWait) {
    EXPECT_TRUE(SkipsRestartWait(L"--Restart"));
    EXPECT_TRUE(SkipsRestartWait(L"--Restart now"));
    EXPECT_FALSE(SkipsRestartWait(L"\"C:\\Program Files\\Quelvox\\Quelvox.exe\" --Restart"));
    EXPECT_FALSE(SkipsRestartWait(L" --Restart"));
    EXPECT_FALSE(SkipsRestartWait(L""));
}

TEST(StartUp, WithoutAPredecessorTheRestartWaitReturnsAtOnce) {
    // The wait is for ever when it waits at all: ending within a minute means it did not.
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void*) -> DWORD {
            WaitForPreviousInstance();
            return 0;
        },
        nullptr, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
    CloseHandle(thread);
    // The mutex was dropped: a launch can take it.
    HANDLE mutex = CreateMutexW(nullptr, TRUE, CQuelvoxApp::kRestartMutex);
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(mutex);
}

TEST(StartUp, SuccessorWaitsUntilThePredecessorHasGone) {
    ScratchDir dir;
    std::wstring file = dir.Path() + L"\\successor.txt";
    SetEnvironmentVariableW(kRoleVariable, file.c_str());

    // The predecessor is a thread of its own here: its mutex is released when it ends, as a
    // process's is.
    struct Handover {
        ULONGLONG releasing = 0;
        bool ok = false;
    } handover;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            auto* h = static_cast<Handover*>(p);
            h->ok = LaunchNewInstance();
            // Time for the successor to reach its wait (when it is slower, the test only
            // proves less).
            Sleep(1500);
            h->releasing = GetTickCount64();
            ReleaseRestartMutex();
            return 0;
        },
        &handover, 0, nullptr);
    WaitForSingleObject(thread, 60000);
    CloseHandle(thread);
    SetEnvironmentVariableW(kRoleVariable, nullptr);
    ASSERT_TRUE(handover.ok);

    ASSERT_TRUE(PumpUntil([&] { return !ReadFileBytes(file).empty(); }, 60000));
    const ULONGLONG waitEnded = std::stoull(ReadFileBytes(file));
    // The tick count is the system's, shared by both processes, and never goes back.
    EXPECT_GE(waitEnded, handover.releasing);
}

// A predecessor that is a process of its own ends the way the program does after a restart:
// its successor waits until it has really gone, not only until its window has.
TEST(StartUp, TheHandOverLastsUntilThePredecessorProcessHasEnded) {
    wchar_t note[MAX_PATH];
    if (GetEnvironmentVariableW(kPredecessorFlag, note, MAX_PATH)) {
        SetEnvironmentVariableW(kPredecessorFlag, nullptr); // the successor is none
        ASSERT_TRUE(LaunchNewInstance());
        KeepRestartMutexToTheEnd();
        Sleep(1500); // the rest of its end, while the successor is up and waiting
        const std::string ended = std::to_string(GetTickCount64());
        HANDLE out = CreateFileW(note, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written;
        WriteFile(out, ended.data(), static_cast<DWORD>(ended.size()), &written, nullptr);
        CloseHandle(out);
        return;
    }
    ScratchDir dir;
    const std::wstring successor = dir.Path() + L"\\successor.txt",
                       predecessor = dir.Path() + L"\\predecessor.txt";
    SetEnvironmentVariableW(kRoleVariable, successor.c_str());
    SetEnvironmentVariableW(kPredecessorFlag, predecessor.c_str());
    const DWORD code = RunFlagged(GetModulePath(), L"--gtest_filter=StartUp.TheHandOverLastsUntil*",
                                  L"QV_TEST_ROLE", 60000);
    SetEnvironmentVariableW(kRoleVariable, nullptr);
    SetEnvironmentVariableW(kPredecessorFlag, nullptr);
    EXPECT_EQ(code, 0u);
    ASSERT_TRUE(PumpUntil([&] { return !ReadFileBytes(successor).empty(); }, 60000));
    EXPECT_GE(std::stoull(ReadFileBytes(successor)), std::stoull(ReadFileBytes(predecessor)));
}

TEST(StartUp, StoredLanguageMustNameAnInstalledLocale) {
    const LCID own = GetUserDefaultUILanguage();
    EXPECT_EQ(StoredLanguage(L"1042"), 1042u);
    EXPECT_EQ(StoredLanguage(L"1033"), 1033u);
    for (const wchar_t* garbage : {L"", L"abc", L"1042x", L"0", L"-5", L"99999999999", L"123456"})
        EXPECT_EQ(StoredLanguage(garbage), own) << garbage;
}

TEST(StartUp, VersionOfAnotherTypeOrSizeCountsAsNew) {
    PrivateRegistry registry;
    CQuelvoxApp& app = TheApp();
    app.SetRegistryKey(CQuelvoxApp::kRegistryKey);
    app.WriteProfileString(L"Ver", L"Val", L"x"); // makes the key
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Tavrenix\\ui_tests\\Ver", 0,
                            KEY_SET_VALUE, &key),
              ERROR_SUCCESS);
    const DWORD number = 7;
    RegSetValueExW(key, L"Val", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
    EXPECT_TRUE(app.CheckVersion());
    EXPECT_EQ(app.GetProfileString(L"Ver", L"Val"), L"1.0.0.1 ");

    const std::wstring huge(1 << 20, L'9');
    RegSetValueExW(key, L"Val", 0, REG_SZ, reinterpret_cast<const BYTE*>(huge.c_str()),
                   static_cast<DWORD>((huge.size() + 1) * sizeof(wchar_t)));
    EXPECT_EQ(app.GetProfileString(L"Ver", L"Val"), huge);
    EXPECT_TRUE(app.CheckVersion());
    EXPECT_FALSE(app.CheckVersion());
    RegCloseKey(key);
}

TEST(StartUp, RestartFromAFolderWithABlankStartsThisProgram) {
    // In a copy of this program in "qv prog", with a "qv.exe" beside that folder: an unquoted
    // path would start that one.
    if (GetEnvironmentVariableW(kLaunchFlag, nullptr, 0)) {
        std::wstring folder = GetModuleDirectory();
        folder.pop_back();
        const std::wstring note = folder.substr(0, folder.rfind(L'\\')) + L"\\successor.txt";
        SetEnvironmentVariableW(kRoleVariable, note.c_str());
        ASSERT_TRUE(LaunchNewInstance());
        ReleaseRestartMutex();
        return;
    }
    ScratchDir dir;
    const std::wstring folder = dir.Path() + L"\\qv prog", copy = folder + L"\\Quelvox.exe";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring self = GetModulePath();
    ASSERT_TRUE(CopyFileW(self.c_str(), copy.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(self.c_str(), (dir.Path() + L"\\qv.exe").c_str(), FALSE));
    EXPECT_EQ(RunFlagged(copy, L"--gtest_filter=StartUp.RestartFromAFolderWithABlank*", kLaunchFlag,
                         60000),
              0u);
    const std::wstring note = dir.Path() + L"\\successor.txt";
    ASSERT_TRUE(PumpUntil([&] { return !ReadFileBytes(note).empty(); }, 60000));
    const std::string written = ReadFileBytes(note);
    std::string expected;
    for (wchar_t c : copy)
        expected += c < 0x80 ? static_cast<char>(c) : '?';
    EXPECT_EQ(written.substr(written.find('\n') + 1), expected);
}

TEST(StartUp, SendToEntryLeadsToTheProgram) {
    ScratchDir dir;
    CoInitialize(nullptr);
    const std::wstring program = GetModulePath();
    ASSERT_TRUE(AddSendToEntry(dir.Path(), program));
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    wchar_t target[MAX_PATH] = L"";
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IShellLinkW, reinterpret_cast<void**>(&link))));
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load((dir.Path() + L"\\Quelvox.lnk").c_str(), STGM_READ)))
        link->GetPath(target, MAX_PATH, nullptr, 0);
    if (file)
        file->Release();
    link->Release();
    CoUninitialize();
    EXPECT_EQ(lstrcmpiW(target, program.c_str()), 0) << target;
}
