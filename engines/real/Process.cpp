#include "Process.h"

#include "common/AwakeClock.h"
#include "common/ProgramPath.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

std::wstring SelfFolder() {
    const std::wstring path = ProgramPath();
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::wstring FFmpegPath() {
    return SelfFolder() + L"ffmpeg.exe";
}

DWORD StallLimitMs() {
    // The tests set a short one.
    wchar_t text[16] = L"";
    if (GetEnvironmentVariableW(L"QV_STALL_SECONDS", text, 16) > 0 && _wtoi(text) > 0)
        return static_cast<DWORD>(_wtoi(text)) * 1000;
    return 60000;
}

namespace {
// Ends every process in the job when its last handle closes, and lets a crashing one die
// instead of waiting behind the system's crash dialog with our pipe open.
bool LimitJob(HANDLE job) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    return SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                   sizeof limits) != FALSE;
}

// One job for this program and every ffmpeg it starts, which ends them all when this program
// ends, however that happens: its last handle is ours. We join it first, so each child is in
// it from its first instant, and a Stop at any moment leaves no child behind. Null when the
// system does not let us join.
HANDLE OwnJob() {
    static const HANDLE job = [] {
        OwnedHandle created(CreateJobObjectW(nullptr, nullptr));
        if (created && LimitJob(created) && AssignProcessToJobObject(created, GetCurrentProcess()))
            return created.Detach(); // held for the process's life
        return static_cast<HANDLE>(nullptr);
    }();
    return job;
}

// Once for this program, before its first child: no crash dialog for us or the children
// (they inherit the mode), and our own standard handles, the ends of Quelvox's pipes, stay
// ours, should the system not honour the list of handles a child gets.
void PrepareForChildren() {
    static const bool prepared = [] {
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
        for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
            HANDLE handle = GetStdHandle(which);
            if (handle && handle != INVALID_HANDLE_VALUE)
                SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0);
        }
        return true;
    }();
    (void)prepared;
}

// How long a start is tried again while the program's file is held.
constexpr DWORD kStartRetryMs = 2000;

// A start failed because another program holds the program's file for a moment (an antivirus
// scanning a file just installed). Windows says so; wine says the file is not there.
bool HeldAtStart(DWORD error, const std::wstring& commandLine) {
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
        error == ERROR_ACCESS_DENIED)
        return true;
    if (error != ERROR_FILE_NOT_FOUND)
        return false;
    const bool quoted = !commandLine.empty() && commandLine[0] == L'"';
    const size_t end = commandLine.find(quoted ? L'"' : L' ', quoted ? 1 : 0);
    const std::wstring program = commandLine.substr(
        quoted ? 1 : 0, end == std::wstring::npos ? end : end - (quoted ? 1 : 0));
    const DWORD attributes = GetFileAttributesW(program.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Starts the process with only the given handles inherited, where the system allows a list.
BOOL CreateWithHandles(std::wstring& line, DWORD flags, const std::wstring& folder,
                       STARTUPINFOW& si, std::vector<HANDLE> handles, PROCESS_INFORMATION& pi) {
    handles.erase(std::unique(handles.begin(), handles.end()), handles.end());
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> storage(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    STARTUPINFOEXW extended{};
    extended.StartupInfo = si;
    extended.StartupInfo.cb = sizeof extended;
    const bool listed =
        size > 0 && InitializeProcThreadAttributeList(list, 1, 0, &size) &&
        UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles.data(),
                                  handles.size() * sizeof(HANDLE), nullptr, nullptr);
    extended.lpAttributeList = listed ? list : nullptr;
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                        flags | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0),
                                        nullptr, folder.empty() ? nullptr : folder.c_str(),
                                        listed ? &extended.StartupInfo : &si, &pi);
    if (listed)
        DeleteProcThreadAttributeList(list);
    return started;
}
} // namespace

bool Child::Start(const std::wstring& commandLine, const std::wstring& folder, Stream out,
                  Stream err) {
    Kill();
    PrepareForChildren();
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    // The child's ends of its standard handles: ours go once it has them.
    OwnedHandle write;
    OwnedHandle errorWrite;
    if (out == kPipe || err == kPipe) {
        if (!CreatePipe(m_out.Receive(), write.Receive(), &inherit, 1 << 20))
            return false;
        SetHandleInformation(m_out, HANDLE_FLAG_INHERIT, 0);
    }
    if (err == kApart) {
        if (!CreatePipe(m_err.Receive(), errorWrite.Receive(), &inherit, 1 << 16)) {
            Kill();
            return false;
        }
        SetHandleInformation(m_err, HANDLE_FLAG_INHERIT, 0);
    }
    const OwnedHandle null(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                                       0, nullptr));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = null;
    si.hStdOutput = out == kPipe ? write : null;
    si.hStdError = err == kPipe ? write : err == kApart ? errorWrite : null;
    std::vector<HANDLE> handles;
    for (HANDLE h : {HANDLE(write), HANDLE(errorWrite), HANDLE(null)})
        if (h)
            handles.push_back(h);
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    // In our job from its first instant when we are in it ourselves; otherwise suspended until
    // it is in a job of its own.
    HANDLE job = OwnJob();
    // At our own priority, as Windows gives a child: an encoder that Quelvox runs below normal
    // keeps its ffmpeg there too. Wine ignores the class at creation; it is set again below.
    const DWORD priority = GetPriorityClass(GetCurrentProcess());
    // No console of its own: ffmpeg needs only the handles it is given, and a console costs a
    // console host process at every start (a tenth of a second under wine).
    const DWORD flags = (job ? 0 : CREATE_SUSPENDED) | DETACHED_PROCESS | priority;
    // A start that fails while a scanner holds ffmpeg.exe is tried again for a moment.
    const StallWatch giveUp(kStartRetryMs);
    BOOL started = FALSE;
    while (!(started = CreateWithHandles(line, flags, folder, si, handles, pi)) &&
           HeldAtStart(GetLastError(), commandLine) && !giveUp.Stalled())
        Sleep(100);
    if (!started) {
        Kill();
        return false;
    }
    const OwnedHandle thread(pi.hThread);
    OwnedHandle process(pi.hProcess);
    if (priority)
        SetPriorityClass(pi.hProcess, priority);
    if (!job) {
        // A child that cannot be tied to us could outlive us with Quelvox's output: none runs.
        m_job.Attach(CreateJobObjectW(nullptr, nullptr));
        if (!m_job || !LimitJob(m_job) || !AssignProcessToJobObject(m_job, process)) {
            TerminateProcess(process, 1);
            Kill();
            return false;
        }
        ResumeThread(thread);
    }
    m_process = std::move(process);
    return true;
}

namespace {
bool ReadPipe(HANDLE pipe, bool ended, std::string& into) {
    if (!pipe)
        return false;
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr))
        return false;
    if (available == 0)
        return !ended;
    std::string chunk(available, '\0');
    DWORD read = 0;
    if (!ReadFile(pipe, chunk.data(), available, &read, nullptr))
        return false;
    into.append(chunk, 0, read);
    return true;
}
} // namespace

// Wine may keep the write end of a child's pipe open for ever when the child is ended while it
// is still starting, so a read never counts on the pipe breaking: the output has also ended
// once the child has ended and the pipe is empty.

// Whether it has ended is asked before the pipe is, so nothing written before the end is left
// behind.
bool Child::ReadAvailable(std::string& into) {
    return ReadPipe(m_out, !Running(), into);
}

bool Child::ReadErrorAvailable(std::string& into) {
    return ReadPipe(m_err, !Running(), into);
}

size_t Child::OutputWaiting() const {
    DWORD available = 0;
    return m_out && PeekNamedPipe(m_out, nullptr, 0, nullptr, &available, nullptr) ? available : 0;
}

bool Child::ReadExactly(char* buffer, size_t size) {
    while (size > 0 && m_out) {
        const bool ended = !Running();
        DWORD available = 0;
        if (!PeekNamedPipe(m_out, nullptr, 0, nullptr, &available, nullptr))
            return false;
        if (available == 0) {
            if (ended)
                return false;
            // Standard error apart is emptied meanwhile: a child that fills it would wait for
            // ever before it writes the output awaited here.
            std::string discarded;
            ReadPipe(m_err, false, discarded);
            // Wakes at once when the child ends.
            WaitForSingleObject(m_process, 2);
            continue;
        }
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(size, available));
        if (!ReadFile(m_out, buffer, want, &read, nullptr) || read == 0)
            return false;
        buffer += read;
        size -= read;
    }
    return size == 0;
}

int Child::Wait(DWORD ms) {
    if (!m_process || WaitForSingleObject(m_process, ms) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(m_process, &code);
    return static_cast<int>(code);
}

bool Child::Running() const {
    return m_process && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

void Child::Terminate() {
    if (m_process) {
        TerminateProcess(m_process, 1);
        WaitForSingleObject(m_process, 5000);
    }
}

void Child::Kill() {
    if (m_process) {
        TerminateProcess(m_process, 1);
        WaitForSingleObject(m_process, 5000);
    }
    m_process.Close();
    m_job.Close();
    m_out.Close();
    m_err.Close();
}
