#include "Process.h"

#include "common/AwakeClock.h"
#include "common/ProgramPath.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>

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

std::wstring QuoteArg(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring quoted = L"\"";
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        // Backslashes count only before a quote.
        quoted.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        quoted += c;
    }
    quoted.append(slashes * 2, L'\\');
    return quoted + L"\"";
}

std::wstring JoinArgs(const std::vector<std::wstring>& args) {
    std::wstring line;
    for (const std::wstring& arg : args)
        line += (line.empty() ? L"" : L" ") + QuoteArg(arg);
    return line;
}

std::wstring PathForFFmpeg(const std::wstring& path) {
    std::wstring full(32768, L'\0');
    DWORD size =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (size == 0 || size >= full.size())
        return path;
    full.resize(size);
    // ffmpeg opens files through the wide-character calls, which take long paths only so marked;
    // a network path's mark has a form of its own.
    if (full.size() < MAX_PATH - 12 || full.rfind(L"\\\\?\\", 0) == 0 ||
        full.rfind(L"\\\\.\\", 0) == 0)
        return full;
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(PathForFFmpeg(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
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
        HANDLE created = CreateJobObjectW(nullptr, nullptr);
        if (created && LimitJob(created) && AssignProcessToJobObject(created, GetCurrentProcess()))
            return created;
        if (created)
            CloseHandle(created);
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
    HANDLE write = nullptr, null = nullptr;
    if (out == kPipe || err == kPipe) {
        if (!CreatePipe(&m_out, &write, &inherit, 1 << 20))
            return false;
        SetHandleInformation(m_out, HANDLE_FLAG_INHERIT, 0);
    }
    null = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = null;
    si.hStdOutput = out == kPipe ? write : null;
    si.hStdError = err == kPipe ? write : null;
    std::vector<HANDLE> handles;
    for (HANDLE h : {write, null})
        if (h && h != INVALID_HANDLE_VALUE)
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
    if (write)
        CloseHandle(write);
    if (null != INVALID_HANDLE_VALUE)
        CloseHandle(null);
    if (!started) {
        if (m_out)
            CloseHandle(m_out);
        m_out = nullptr;
        return false;
    }
    if (priority)
        SetPriorityClass(pi.hProcess, priority);
    if (!job) {
        // A child that cannot be tied to us could outlive us with Quelvox's output: none runs.
        m_job = CreateJobObjectW(nullptr, nullptr);
        if (!m_job || !LimitJob(m_job) || !AssignProcessToJobObject(m_job, pi.hProcess)) {
            TerminateProcess(pi.hProcess, 1);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
            Kill();
            return false;
        }
        ResumeThread(pi.hThread);
    }
    CloseHandle(pi.hThread);
    m_process = pi.hProcess;
    return true;
}

// Wine may keep the write end of a child's pipe open for ever when the child is ended while it
// is still starting, so a read never counts on the pipe breaking: the output has also ended
// once the child has ended and the pipe is empty.
bool Child::ReadAvailable(std::string& into) {
    if (!m_out)
        return false;
    // Asked before the pipe is, so nothing written before the end is left behind.
    const bool ended = !Running();
    DWORD available = 0;
    if (!PeekNamedPipe(m_out, nullptr, 0, nullptr, &available, nullptr))
        return false;
    if (available == 0)
        return !ended;
    std::string chunk(available, '\0');
    DWORD read = 0;
    if (!ReadFile(m_out, chunk.data(), available, &read, nullptr))
        return false;
    into.append(chunk, 0, read);
    return true;
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
        CloseHandle(m_process);
    }
    if (m_job)
        CloseHandle(m_job);
    if (m_out)
        CloseHandle(m_out);
    m_process = m_job = m_out = nullptr;
}

double ExactRate(double printed, std::string* rational) {
    for (int base : {24, 30, 48, 60, 120, 12, 15}) {
        const double ntsc = base * 1000.0 / 1001.0;
        if (std::fabs(printed - ntsc) < 0.006) {
            if (rational)
                *rational = std::to_string(base * 1000) + "/1001";
            return ntsc;
        }
    }
    if (rational) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", printed);
        *rational = text;
    }
    return printed;
}

namespace {

int Channels(const std::string& layout) {
    if (layout == "mono")
        return 1;
    if (layout == "stereo" || layout == "downmix")
        return 2;
    std::smatch m;
    if (std::regex_match(layout, m, std::regex(R"((\d+) channels.*)")))
        return std::stoi(m[1]);
    if (std::regex_match(layout, m, std::regex(R"((\d+)\.(\d+).*)")))
        return std::stoi(m[1]) + std::stoi(m[2]);
    return 0;
}

std::vector<std::string> Fields(const std::string& text) {
    // Top-level comma-separated fields; commas inside brackets belong to their field.
    std::vector<std::string> fields(1);
    int depth = 0;
    for (char c : text) {
        if (c == '(' || c == '[')
            ++depth;
        if (c == ')' || c == ']')
            --depth;
        if (c == ',' && depth == 0) {
            fields.emplace_back();
            continue;
        }
        fields.back() += c;
    }
    for (std::string& f : fields) {
        f.erase(0, f.find_first_not_of(' '));
        f.erase(f.find_last_not_of(" \r") + 1);
    }
    return fields;
}

// Quarter turns of the picture from a stream's metadata ("rotate : 90") or side data
// ("displaymatrix: rotation of -90.00 degrees").
int QuarterTurns(const std::string& streamBlock) {
    std::smatch m;
    double degrees = 0;
    if (std::regex_search(streamBlock, m, std::regex(R"(\n\s*rotate\s*:\s*(-?\d+))")))
        degrees = std::atof(m[1].str().c_str());
    else if (std::regex_search(streamBlock, m,
                               std::regex(R"(displaymatrix: rotation of (-?[\d.]+) degrees)")))
        degrees = std::atof(m[1].str().c_str());
    const int turns = static_cast<int>(std::lround(degrees / 90)) % 4;
    return turns < 0 ? turns + 4 : turns;
}

} // namespace

MediaFacts ParseProbe(const std::string& text) {
    MediaFacts facts;
    std::smatch m;
    if (std::regex_search(text, m, std::regex(R"(Input #0, ([^,\s]+)[^\n]*from )"))) {
        facts.readable = true;
        facts.demuxer = m[1];
    }
    if (!facts.readable)
        return facts;
    facts.subtitles = ParseSubtitleTracks(text);
    if (std::regex_search(text, m, std::regex(R"(Duration: (\d+):(\d+):(\d+(\.\d+)?))")))
        facts.length =
            std::stoi(m[1]) * 3600.0 + std::stoi(m[2]) * 60.0 + std::atof(m[3].str().c_str());
    if (std::regex_search(text, m, std::regex(R"(Duration: [^\n]*bitrate: (\d+) kb/s)")))
        facts.bitrate = std::atof(m[1].str().c_str());

    const std::regex stream(R"(Stream #0:\d+[^:]*: (Video|Audio): ([^\n]*))");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), stream);
         it != std::sregex_iterator(); ++it) {
        const std::string kind = (*it)[1], rest = (*it)[2];
        const std::vector<std::string> fields = Fields(rest);
        const std::string codec = fields[0].substr(0, fields[0].find(' '));
        if (kind == "Video" && !facts.video && rest.find("(attached pic)") == std::string::npos) {
            facts.video = true;
            facts.videoCodec = codec;
            if (std::regex_search(fields[0], m, std::regex(R"(\((\w{4}) / 0x[0-9A-Fa-f]+\))")))
                facts.videoFourcc = m[1];
            for (const std::string& f : fields) {
                if (!facts.width &&
                    std::regex_search(f, m, std::regex(R"(^(\d{1,5})x(\d{1,5}))"))) {
                    facts.width = std::stoi(m[1]);
                    facts.height = std::stoi(m[2]);
                    if (std::regex_search(f, m, std::regex(R"(DAR (\d+):(\d+))")) &&
                        std::stoi(m[2]) > 0)
                        facts.aspect = std::stod(m[1]) / std::stod(m[2]);
                }
                if (std::regex_match(f, m, std::regex(R"((\d+) kb/s.*)")))
                    facts.videoBitrate = std::stoi(m[1]);
                if (std::regex_match(f, m, std::regex(R"(([\d.]+)(k?) fps)")))
                    facts.fps = std::atof(m[1].str().c_str()) * (m[2].length() ? 1000 : 1);
                if (!facts.fps && std::regex_match(f, m, std::regex(R"(([\d.]+)(k?) tbr)")))
                    facts.fps = std::atof(m[1].str().c_str()) * (m[2].length() ? 1000 : 1);
            }
            if (facts.fps > 0)
                facts.fps = ExactRate(facts.fps, &facts.fpsRational);
            if (!facts.aspect && facts.height)
                facts.aspect = static_cast<double>(facts.width) / facts.height;
            // ffmpeg turns a portrait phone movie upright as it decodes: the facts are of the
            // picture as shown.
            const size_t block = it->position() + it->length();
            const size_t nextStream = text.find("Stream #", block);
            if (QuarterTurns(text.substr(block, nextStream == std::string::npos
                                                    ? std::string::npos
                                                    : nextStream - block)) %
                    2 !=
                0) {
                std::swap(facts.width, facts.height);
                if (facts.aspect > 0)
                    facts.aspect = 1 / facts.aspect;
            }
        } else if (kind == "Audio" && !facts.audio) {
            facts.audio = true;
            facts.audioCodec = codec;
            for (size_t i = 1; i < fields.size(); ++i) {
                if (std::regex_match(fields[i], m, std::regex(R"((\d+) Hz)")))
                    facts.audioRate = std::stoi(m[1]);
                else if (std::regex_match(fields[i], m, std::regex(R"((\d+) kb/s.*)")))
                    facts.audioBitrate = std::stoi(m[1]);
                else if (i == 2)
                    facts.audioChannels = Channels(fields[i]);
            }
        }
    }
    return facts;
}

MediaFacts Probe(const std::wstring& path) {
    Child ffmpeg;
    std::wstring line =
        JoinArgs({FFmpegPath(), L"-hide_banner", L"-nostdin", L"-i", PathForFFmpeg(path)});
    std::string text;
    if (!ffmpeg.Start(line, L"", Child::kPipe, Child::kPipe))
        return {};
    // A probe that hangs (a stalled network share, a broken file) is given up: unreadable.
    const StallWatch giveUp(StallLimitMs());
    while (ffmpeg.ReadAvailable(text)) {
        if (giveUp.Stalled())
            return {};
        Sleep(5);
    }
    ffmpeg.Wait(5000);
    return ParseProbe(text);
}
