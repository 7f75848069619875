// The few system calls whose effect reaches beyond the program (a message box or a file
// dialog that waits for a person, the shell opening a folder or a web page, shutting the
// computer down, the taskbar) all go
// through this one interface, which tests replace. The program itself uses the system.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <string>

class CSystemSeam {
public:
    virtual ~CSystemSeam() = default;
    virtual int MessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
    virtual BOOL GetOpenFileName(OPENFILENAMEW* ofn);
    // Why the last file dialog failed or was cancelled (0: cancelled).
    virtual DWORD CommDlgExtendedError();
    virtual HINSTANCE ShellExecute(HWND owner, const wchar_t* verb, const wchar_t* file,
                                   const wchar_t* parameters, const wchar_t* directory, int show);
    // Opens the folder of the item in the file explorer with the item selected; false when the
    // shell could not.
    virtual bool OpenFolderAndSelect(const wchar_t* item);
    virtual BOOL InitiateSystemShutdown(const wchar_t* message, DWORD timeoutSeconds,
                                        BOOL forceAppsClosed, BOOL reboot);
    virtual BOOL AbortSystemShutdown();
    // A high-contrast theme is on: the program's texts take the system's colours.
    virtual bool HighContrast();
    // While awake is true, the system does not go to sleep for being idle (the display may
    // still turn off); a queue runs for hours without a keystroke.
    virtual void KeepSystemAwake(bool awake);

    // The progress the taskbar button of a window shows; nothing happens where the system
    // has no such button (older systems, wine).
    enum class TaskbarState { None, Normal, Paused };
    virtual void SetTaskbarProgress(HWND window, TaskbarState state, ULONGLONG done,
                                    ULONGLONG total);
    // Lets another process bring its window to the front: only a process that may take the
    // foreground can, and a successor it started has no such right of its own.
    virtual BOOL AllowSetForegroundWindow(DWORD processId);
    // The attributes of a file or folder the user named, however long its path; a share that
    // dropped can keep this waiting for tens of seconds, so the window never calls it itself.
    virtual DWORD FileAttributes(const std::wstring& path);
    // A message handler threw: what it said is reported (to a debugger) and the window goes
    // on, as an exception must not cross the system's code that called the handler.
    virtual void HandlerFailed(const wchar_t* what);
};

// The seam in force: the system's, unless a test put its own in place.
CSystemSeam& Seam();
// Puts another seam in place (null: the system's again); returns the previous one.
CSystemSeam* SetSeam(CSystemSeam* seam);
