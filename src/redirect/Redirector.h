// CRedirector: runs one console program as a hidden child process and hands everything it
// writes (standard output and standard error joined in one pipe) to WriteStdOut, chunk by
// chunk, on a reader thread of the run's own.
//
// Text protocol for subclasses:
//  - one WriteStdOut call per chunk: the bytes in the pipe at that moment, at most 255,
//    widened from the ANSI code page; chunks are not aligned to lines;
//  - when the child's side of the pipe closes, WriteStdOut receives kEndMarker, once;
//  - the redirector's own errors go to WriteStdError (see the k...Error texts).
//
// Monitors that tell a window about a run post to the owner set by ArmOwner, with the run's
// number as wParam, so the window can tell a late message of an earlier run from the current.
#pragma once

#include "framework/Handle.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <optional>

class CRedirector {
public:
    static constexpr const wchar_t* kEndMarker = L"\r\n<EXIT>: Child process ended\r\n";
    static constexpr const wchar_t* kOpenErrorFormat = L"Redirect console error: %x\r\n";
    static constexpr const wchar_t* kReadError = L"Read stdout pipe error\r\n";
    static constexpr const wchar_t* kDeadThreadError = L"The redir thread is dead\r\n";
    static constexpr DWORD kStopTimeoutMs = 5000;
    // How long after the child's end its pipe may stay open before the run counts as ended
    // all the same (a process the child started holds it).
    static constexpr DWORD kExitGraceMs = 1000;
    // How long an owner tries a start again when it fails in a way that may pass.
    static constexpr DWORD kStartRetryMs = 2000;

    CRedirector();
    virtual ~CRedirector();
    CRedirector(const CRedirector&) = delete;
    CRedirector& operator=(const CRedirector&) = delete;

    // Starts the command line (its first token is the program) in the job of every engine.
    // Ends any previous run first, without ending that run's child. On failure the system
    // error code is the last error.
    BOOL Open(const wchar_t* commandLine);
    // A start failed in a way that may pass in a moment (resources short, a scanner holding
    // the program's file): worth trying again for kStartRetryMs.
    static bool StartMayPass(DWORD error, const wchar_t* commandLine);
    // The job every child of ours runs in, which ends them all when this process ends; null
    // when the system gives none (no child is started then).
    static HANDLE EnginesJob();

    // Stops the reader thread (when called from another thread) and releases the run's
    // handles. Does not end the child.
    virtual void Close();

    virtual void WriteStdOut(const wchar_t* text);
    virtual void WriteStdError(const wchar_t* text);

    // True while the latest run's handles are held (the reader has not closed it yet).
    bool IsRunOpen() const;

    // Ends the child of the latest run; harmless when it has already ended.
    bool TerminateChild(UINT exitCode = 0) const;
    // Waits for the child of the latest run to end, at most ms; true when it has.
    bool WaitForChild(DWORD ms) const;
    // How the child of the latest run ended; none while it runs or when there is none.
    std::optional<DWORD> ExitCode() const;

    // The child of the latest run: its process id, and a handle of its own kept until the next
    // Open or destruction, so owners may wait on or end the child after the run has closed
    // without reaching a handle that was released or reused.
    DWORD ProcessId() const { return m_dwProcessId; }
    HANDLE ChildProcess() const { return m_hChildProcess; }
    // The reader of the latest run is still going: owners learn of a run's end by polling it.
    bool Reading() const { return m_dwReaderThreadId != 0; }

    // The number of the run armed last; messages of earlier runs carry smaller numbers.
    WPARAM OwnerRun() const { return m_nOwnerRun; }

protected:
    // The child's priority class when it is started (0: as the system gives it).
    DWORD m_dwPriorityClass = 0;
    // While the user waits for a line (the player's picture, the encoder's first share) the pipe
    // is looked at every kEagerWaitMs rather than up to m_dwWaitMs. Called on the reader thread.
    virtual bool Eager() const { return false; }
    static constexpr DWORD kEagerWaitMs = 5;

    // The error override every subclass shares: errors reach its parser like output.
    void ForwardErrorToOutput(const wchar_t* text);
    // Starts a new numbered run that reports to owner (nullptr: to nobody). Call only while
    // no run is open.
    void ArmOwner(HWND owner);
    bool HasOwner() const { return m_hOwner.load() != nullptr; }
    // Posts message to the owner, marked with the current run's number.
    void NotifyOwner(UINT message) const;

private:
    static DWORD WINAPI ReaderThread(void* param);
    bool LaunchChild(wchar_t* commandLine, HANDLE out, HANDLE in, HANDLE err);
    // Reads until the pipe is empty: 1 when it is open and empty, 0 at its end, -1 on error.
    // bytesRead receives how much this call delivered.
    int Drain(DWORD& bytesRead);
    // The last drain of a run whose child has ended: 0 at the pipe's end, -1 on error, and 0
    // too when the pipe stays open (another process holds its write end).
    int DrainAfterExit();
    bool StopRequested() const;

    CHandle m_hChildProcess;
    std::atomic<DWORD> m_dwProcessId{0};
    // Handles of the run, guarded by m_lock.
    CHandle m_hProcess;
    // 0 while no run is active.
    std::atomic<DWORD> m_dwReaderThreadId{0};
    CHandle m_hStdinWrite;
    CHandle m_hStdoutRead;
    CHandle m_hReaderThread;
    CHandle m_hStopEvent;
    DWORD m_dwWaitMs = 100;
    // Serialises Open's start of the reader, and Close on the owner's and the reader's thread,
    // so that every handle is released exactly once.
    mutable std::mutex m_lock;
    // Set on the owner's thread, read on the reader thread. A window handle, not a window
    // object: the object clears its handle at destruction while the reader may still post.
    std::atomic<HWND> m_hOwner{nullptr};
    std::atomic<WPARAM> m_nOwnerRun{0};
};
