// Helpers shared by the tests: the scripted engines, scratch files, waiting while pumping
// messages, and a window that counts what is posted to it.
#pragma once

#include "framework/Wnd.h"

#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

// Path of a scripted engine ("mplayer" or "mencoder") in the tests' program folder.
std::wstring EnginePath(const std::wstring& name);
// The manifest a program carries (empty: none).
std::string ManifestOf(const std::wstring& program);

// A folder of its own for one test, removed with everything in it at destruction.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::wstring& Path() const { return m_path; }
    // Writes a file (UTF-8 text) in the folder and returns its full path.
    std::wstring Write(const std::wstring& name, const std::string& content) const;

private:
    std::wstring m_path;
};

// Runs the message loop of this thread until pred is true or the time is up.
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs);
// Runs the message loop of this thread for a while.
void PumpFor(DWORD ms);
// Dispatches what is in this thread's queue now (what was posted before the call), and returns.
void PumpPending();

// A hidden window that counts the messages it receives, by message id.
class MessageCounter : public CWnd {
public:
    MessageCounter();
    ~MessageCounter() override;
    int Count(UINT message) const;
    WPARAM LastWParam(UINT message) const;

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    std::map<UINT, int> m_counts;
    std::map<UINT, WPARAM> m_lastWParams;
};

std::wstring Widen(const std::string& acpBytes);
// A real drop handle, as the shell hands one to a window (which releases it).
HDROP MakeDrop(const std::vector<std::wstring>& paths);
bool ProcessIsRunning(DWORD processId);
// A multiline edit's text with its CR LF read as LF. A bare LF, which Windows does not break
// a line at, shows as "[LF]" so that a comparison with the intended text fails.
std::wstring EditLines(HWND edit);
// The whole content of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
// Runs a program with the arguments, the environment variable flagVariable set to "1" for it,
// and returns its exit code (it is ended after timeoutMs); ~0u when it cannot be started.
DWORD RunFlagged(const std::wstring& program, const std::wstring& arguments,
                 const wchar_t* flagVariable, DWORD timeoutMs);
void EndProcess(DWORD processId);
// Ids of the running processes whose parent is the given one.
std::vector<DWORD> ChildProcesses(DWORD parent);

// Like PumpUntil, but offers each message to the framework windows first, as the program's
// modal loop does.
bool PumpDialogUntil(const std::function<bool()>& pred, DWORD timeoutMs);
void PumpDialogFor(DWORD ms);
void PumpDialogPending();

// Points HKEY_CURRENT_USER at a key of its own for the life of the object.
class PrivateRegistry {
public:
    PrivateRegistry();
    ~PrivateRegistry();
    PrivateRegistry(const PrivateRegistry&) = delete;
    PrivateRegistry& operator=(const PrivateRegistry&) = delete;

private:
    HKEY m_key = nullptr;
    std::wstring m_name;
};
