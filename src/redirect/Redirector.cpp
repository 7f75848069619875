#include "Redirector.h"

#include <algorithm>
#include <cwchar>
#include <initializer_list>
#include <utility>
#include <vector>

namespace {

constexpr DWORD kChunkBytes = 255;
constexpr DWORD kBlockBytes = 64 * 1024;
// Room for what a fast child writes while the reader sleeps between looks.
constexpr DWORD kPipeBytes = 1024 * 1024;
// How many reads a drain makes between looks at the stop event, so that a child that floods
// the pipe cannot keep the reader from stopping.
constexpr int kBlocksPerStopCheck = 16;
// After the child has ended: how often to look for the pipe's end.
constexpr DWORD kExitPollMs = 10;

bool DuplicateLocal(HANDLE source, HANDLE* target, BOOL inheritable) {
    HANDLE self = GetCurrentProcess();
    return DuplicateHandle(self, source, self, target, 0, inheritable, DUPLICATE_SAME_ACCESS);
}

} // namespace

CRedirector::CRedirector() = default;

CRedirector::~CRedirector() {
    CRedirector::Close();
}

void CRedirector::WriteStdOut(const wchar_t*) {}

void CRedirector::WriteStdError(const wchar_t*) {}

void CRedirector::ArmOwner(HWND owner) {
    m_hOwner = nullptr;
    ++m_nOwnerRun;
    m_hOwner = owner;
}

void CRedirector::NotifyOwner(UINT message) const {
    if (HWND owner = m_hOwner)
        PostMessageW(owner, message, m_nOwnerRun, 0);
}

void CRedirector::ForwardErrorToOutput(const wchar_t* text) {
    WriteStdOut(L"\r\nError message: ");
    WriteStdOut(text);
}

BOOL CRedirector::Open(const wchar_t* commandLine) {
    Close();
    m_hChildProcess.Close();

    SECURITY_ATTRIBUTES sa{};
    sa.nLength = sizeof(sa);
    sa.bInheritHandle = TRUE;

    CHandle outRead, outWrite, errWrite, inRead, inWrite;
    std::vector<wchar_t> buffer(commandLine, commandLine + wcslen(commandLine) + 1);

    bool ok = CreatePipe(outRead.Receive(), outWrite.Receive(), &sa, kPipeBytes) &&
              DuplicateLocal(outWrite, errWrite.Receive(), TRUE) &&
              CreatePipe(inRead.Receive(), inWrite.Receive(), &sa, 0);
    if (ok) {
        std::lock_guard guard(m_lock);
        ok = DuplicateLocal(outRead, m_hStdoutRead.Receive(), FALSE) &&
             DuplicateLocal(inWrite, m_hStdinWrite.Receive(), FALSE);
    }
    if (ok) {
        // The child must not inherit our ends of the pipes.
        outRead.Close();
        inWrite.Close();
        ok = LaunchChild(buffer.data(), outWrite, inRead, errWrite);
    }
    // Taken before the releases below, which may touch it.
    const DWORD failure = ok ? ERROR_SUCCESS : GetLastError();
    // The parent keeps only its own ends, so the pipe breaks once the child is gone.
    for (CHandle* end : {&outRead, &outWrite, &errWrite, &inRead, &inWrite})
        end->Close();
    if (ok) {
        // The reader takes this lock before it starts, so it sees its own thread id.
        std::lock_guard guard(m_lock);
        m_hStopEvent.Attach(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ok = static_cast<bool>(m_hStopEvent);
        if (ok) {
            DWORD threadId = 0;
            m_hReaderThread.Attach(CreateThread(nullptr, 0, ReaderThread, this, 0, &threadId));
            m_dwReaderThreadId = m_hReaderThread ? threadId : 0;
            ok = static_cast<bool>(m_hReaderThread);
        }
    }
    if (ok)
        return TRUE;

    const DWORD error = failure != ERROR_SUCCESS ? failure : GetLastError();
    wchar_t message[64];
    swprintf(message, 64, kOpenErrorFormat, static_cast<unsigned>(error));
    WriteStdError(message);
    Close();
    SetLastError(error);
    return FALSE;
}

bool CRedirector::LaunchChild(wchar_t* commandLine, HANDLE out, HANDLE in, HANDLE err) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    si.hStdOutput = out;
    si.hStdInput = in;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    // A start may fail for a moment and not for good: memory or system resources short, or a
    // scanner holding the program file. Those are tried again at once (no wait: this runs on
    // the window's thread); a missing or refused program is reported straight away.
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessW(nullptr, commandLine, nullptr, nullptr, TRUE,
                           CREATE_NEW_CONSOLE | m_dwPriorityClass, nullptr, nullptr, &si, &pi))
            break;
        const DWORD error = GetLastError();
        const bool passing = error == ERROR_INTERNAL_ERROR || error == ERROR_NOT_ENOUGH_MEMORY ||
                             error == ERROR_OUTOFMEMORY || error == ERROR_NO_SYSTEM_RESOURCES ||
                             error == ERROR_COMMITMENT_LIMIT || error == ERROR_SHARING_VIOLATION ||
                             error == ERROR_LOCK_VIOLATION;
        if (!passing || attempt == kLaunchAttempts)
            return false;
    }
    CHandle thread(pi.hThread);
    // Wine takes the class only this way.
    if (m_dwPriorityClass)
        SetPriorityClass(pi.hProcess, m_dwPriorityClass);
    std::lock_guard guard(m_lock);
    m_hProcess.Attach(pi.hProcess);
    if (!DuplicateLocal(pi.hProcess, m_hChildProcess.Receive(), FALSE))
        m_hChildProcess.Detach(); // nothing was written there
    m_dwProcessId = pi.dwProcessId;
    m_dwThreadId = pi.dwThreadId;
    return true;
}

void CRedirector::Close() {
    CHandle reader;
    {
        std::lock_guard guard(m_lock);
        if (m_hReaderThread && GetCurrentThreadId() != m_dwReaderThreadId) {
            // Take the thread handle over, so the reader's own Close cannot release it while
            // this thread waits on it.
            reader.Attach(m_hReaderThread.Detach());
            SetEvent(m_hStopEvent);
        }
    }
    if (reader && WaitForSingleObject(reader, kStopTimeoutMs) == WAIT_TIMEOUT) {
        WriteStdError(kDeadThreadError);
        TerminateThread(reader, static_cast<DWORD>(-2));
        WaitForSingleObject(reader, kStopTimeoutMs);
    }
    std::lock_guard guard(m_lock);
    m_hReaderThread.Close();
    m_hStopEvent.Close();
    m_hProcess.Close();
    m_hStdinWrite.Close();
    m_hStdoutRead.Close();
    m_dwReaderThreadId = 0;
}

bool CRedirector::IsRunOpen() const {
    std::lock_guard guard(m_lock);
    return m_hProcess != nullptr;
}

bool CRedirector::TerminateChild(UINT exitCode) const {
    return m_hChildProcess && TerminateProcess(m_hChildProcess, exitCode);
}

bool CRedirector::WaitForChild(DWORD ms) const {
    return m_hChildProcess && WaitForSingleObject(m_hChildProcess, ms) == WAIT_OBJECT_0;
}

std::optional<DWORD> CRedirector::ExitCode() const {
    DWORD code = 0;
    if (!WaitForChild(0) || !GetExitCodeProcess(m_hChildProcess, &code))
        return std::nullopt;
    return code;
}

bool CRedirector::StopRequested() const {
    return WaitForSingleObject(m_hStopEvent, 0) == WAIT_OBJECT_0;
}

DWORD WINAPI CRedirector::ReaderThread(void* param) {
    auto* self = static_cast<CRedirector*>(param);
    HANDLE waits[2];
    {
        std::lock_guard guard(self->m_lock);
        waits[0] = self->m_hProcess;
        waits[1] = self->m_hStopEvent;
    }
    DWORD delivered = 0;
    int result = self->Drain(delivered);
    DWORD period = self->m_dwWaitMs;
    while (result > 0) {
        // While output flows the pipe is looked at again after a millisecond, and the period
        // grows back to m_dwWaitMs while it stays empty: a child that writes fast is not held
        // back by a full pipe, and an idle child costs no more than polling every m_dwWaitMs.
        period = delivered ? 1 : std::min(period * 2, self->m_dwWaitMs);
        DWORD wait = WaitForMultipleObjects(2, waits, FALSE, period);
        if (wait == WAIT_OBJECT_0) {
            result = self->DrainAfterExit();
            break;
        }
        if (wait == WAIT_OBJECT_0 + 1) {
            result = 1;
            break;
        }
        result = self->Drain(delivered);
    }
    self->Close();
    return static_cast<DWORD>(result);
}

int CRedirector::DrainAfterExit() {
    // Wine signals the ended child before its console has let go of the pipe, so the pipe
    // may break a little later: keep draining for a while before deciding that another
    // process holds the write end.
    const ULONGLONG giveUp = GetTickCount64() + kExitGraceMs;
    DWORD delivered = 0;
    int result = Drain(delivered);
    while (result > 0 && GetTickCount64() < giveUp &&
           WaitForSingleObject(m_hStopEvent, kExitPollMs) == WAIT_TIMEOUT)
        result = Drain(delivered);
    // Still open: a process the child started holds the write end. The child's run is over
    // all the same, and its owner must hear of it, or a conversion would wait for ever.
    if (result > 0 && !StopRequested()) {
        WriteStdOut(kEndMarker);
        return 0;
    }
    return result > 0 ? 0 : result;
}

int CRedirector::Drain(DWORD& bytesRead) {
    bytesRead = 0;
    // What is in the pipe is read in one call and handed on in chunks of 255 bytes, exactly
    // as reading the same bytes 255 at a time would; a pipe call costs more than a chunk.
    char block[kBlockBytes];
    wchar_t text[kChunkBytes + 1];
    for (int round = 1;; ++round) {
        DWORD available = 0;
        if (!PeekNamedPipe(m_hStdoutRead, nullptr, 0, nullptr, &available, nullptr))
            break;
        if (available == 0)
            return 1;
        if (round % kBlocksPerStopCheck == 0 && StopRequested())
            return 1;
        DWORD got = 0;
        if (!ReadFile(m_hStdoutRead, block, available < kBlockBytes ? available : kBlockBytes, &got,
                      nullptr) ||
            got == 0)
            break;
        bytesRead += got;
        for (DWORD at = 0; at < got; at += kChunkBytes) {
            // A byte never widens to more than one character, so one call does.
            const int size = static_cast<int>(got - at < kChunkBytes ? got - at : kChunkBytes);
            const int length = MultiByteToWideChar(CP_ACP, 0, block + at, size, text, kChunkBytes);
            text[length] = L'\0';
            WriteStdOut(text);
        }
    }
    DWORD error = GetLastError();
    if (error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA) {
        WriteStdOut(kEndMarker);
        return 0;
    }
    WriteStdError(kReadError);
    return -1;
}
