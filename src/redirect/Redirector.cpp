#include "Redirector.h"

#include <algorithm>
#include <cwchar>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// Windows 10's attribute, which the headers of our Windows 7 target do not name.
constexpr DWORD_PTR kJobListAttribute = 0x2000D;

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
    // Numbered across every monitor of the process: two monitors that post the same message to
    // one window (the run's identification and the one ahead of it) are told apart by it.
    static std::atomic<WPARAM> s_lastRun{0};
    m_hOwner = nullptr;
    m_nOwnerRun = ++s_lastRun;
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
    HANDLE job = EnginesJob();
    if (!job) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    si.hStdOutput = out;
    si.hStdInput = in;
    si.hStdError = err;
    // Put in the job as it is made, where the system can (Windows 10 on): a Quelvox ended between
    // a start and an assignment would leave a child no job holds. Elsewhere it is created
    // suspended and assigned before it runs.
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> storage(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    STARTUPINFOEXW extended{};
    extended.StartupInfo = si;
    extended.StartupInfo.cb = sizeof extended;
    const bool listed = size > 0 && InitializeProcThreadAttributeList(attributes, 1, 0, &size) &&
                        UpdateProcThreadAttribute(attributes, 0, kJobListAttribute, &job,
                                                  sizeof job, nullptr, nullptr);
    extended.lpAttributeList = listed ? attributes : nullptr;
    PROCESS_INFORMATION pi{};
    BOOL created = CreateProcessW(nullptr, commandLine, nullptr, nullptr, TRUE,
                                  CREATE_NEW_CONSOLE | CREATE_SUSPENDED | m_dwPriorityClass |
                                      (listed ? EXTENDED_STARTUPINFO_PRESENT : 0),
                                  nullptr, nullptr, listed ? &extended.StartupInfo : &si, &pi);
    // A system that knows the list but not this attribute refuses the start: without it.
    if (!created && listed)
        created = CreateProcessW(nullptr, commandLine, nullptr, nullptr, TRUE,
                                 CREATE_NEW_CONSOLE | CREATE_SUSPENDED | m_dwPriorityClass, nullptr,
                                 nullptr, &si, &pi);
    if (listed)
        DeleteProcThreadAttributeList(attributes);
    if (!created)
        return false;
    CHandle thread(pi.hThread), process(pi.hProcess);
    BOOL inJob = FALSE;
    if (!(IsProcessInJob(process, job, &inJob) && inJob) &&
        !AssignProcessToJobObject(job, process)) {
        const DWORD error = GetLastError();
        TerminateProcess(process, 1);
        SetLastError(error);
        return false;
    }
    // Wine takes the class only this way.
    if (m_dwPriorityClass)
        SetPriorityClass(process, m_dwPriorityClass);
    ResumeThread(thread);
    std::lock_guard guard(m_lock);
    m_hProcess.Attach(process.Detach());
    if (!DuplicateLocal(m_hProcess, m_hChildProcess.Receive(), FALSE))
        m_hChildProcess.Detach(); // nothing was written there
    m_dwProcessId = pi.dwProcessId;
    return true;
}

HANDLE CRedirector::EnginesJob() {
    // Its only handle is ours, and the system closes it when this process ends, however that
    // happens (a crash, Task Manager, logging off): every engine and what it started end too.
    // The engines' own jobs nest inside it.
    static const CHandle job = [] {
        CHandle created(CreateJobObjectW(nullptr, nullptr));
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (created && !SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits,
                                                sizeof limits))
            created.Close();
        return created;
    }();
    return job;
}

bool CRedirector::StartMayPass(DWORD error, const wchar_t* commandLine) {
    switch (error) {
    // Short of memory or resources, or wine's own hiccup.
    case ERROR_INTERNAL_ERROR:
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_NO_SYSTEM_RESOURCES:
    case ERROR_COMMITMENT_LIMIT:
    // A scanner or an indexer holds the program's file.
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_ACCESS_DENIED:
        return true;
    case ERROR_FILE_NOT_FOUND: {
        // Wine says so of a program file another process holds: it is there all the same.
        std::wstring_view line = commandLine;
        const bool quoted = !line.empty() && line[0] == L'"';
        line.remove_prefix(quoted ? 1 : 0);
        const std::wstring program(line.substr(0, line.find(quoted ? L'"' : L' ')));
        const DWORD attributes = GetFileAttributesW(program.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    default:
        return false;
    }
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
    return m_hProcess || m_hStdinWrite || m_hStdoutRead || m_hReaderThread || m_hStopEvent;
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
        period =
            delivered ? 1 : std::min(period * 2, self->Eager() ? kEagerWaitMs : self->m_dwWaitMs);
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
        // The end is told once the child has ended too, so that its owner can read how it ended
        // at once rather than look again later; one that goes on without its output is not
        // waited for long.
        HANDLE waits[2];
        {
            std::lock_guard guard(m_lock);
            waits[0] = m_hProcess;
            waits[1] = m_hStopEvent;
        }
        if (waits[0] && waits[1])
            WaitForMultipleObjects(2, waits, FALSE, kExitGraceMs);
        WriteStdOut(kEndMarker);
        return 0;
    }
    WriteStdError(kReadError);
    return -1;
}
