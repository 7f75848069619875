// Running ffmpeg.exe: where it is, and child processes tied to ours.
#pragma once

#include "Command.h"
#include "common/Handle.h"

#include <windows.h>

#include <string>
#include <vector>

// Folder of this program, with its trailing backslash.
std::wstring SelfFolder();
// ffmpeg.exe beside this program.
std::wstring FFmpegPath();
// How long a child may print nothing before it counts as stalled: a minute, or
// QV_STALL_SECONDS of the environment (for the tests).
DWORD StallLimitMs();

// A child process in a job that ends it when this process ends, however that happens.
class Child {
public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() { Kill(); }

    enum Stream { kPipe, kDiscard, kApart };
    // Standard output and standard error of the child: piped to the reads below, or discarded.
    // Both piped share the one pipe; standard error kApart has a pipe of its own, read by
    // ReadErrorAvailable.
    bool Start(const std::wstring& commandLine, const std::wstring& folder, Stream out, Stream err);
    // Reads what is available without blocking; false once the output has ended and is empty.
    bool ReadAvailable(std::string& into);
    bool ReadErrorAvailable(std::string& into);
    // Bytes waiting in the output pipe.
    size_t OutputWaiting() const;
    // Reads exactly size bytes, blocking; false at the end of the output, which comes at the
    // latest when the child ends.
    bool ReadExactly(char* buffer, size_t size);
    // Waits for the end; the exit code, or -1.
    int Wait(DWORD ms = INFINITE);
    bool Running() const;
    // Ends the process but keeps the pipe, so a thread reading it sees its end.
    void Terminate();
    void Kill();

private:
    OwnedHandle m_process;
    OwnedHandle m_job;
    OwnedHandle m_out;
    OwnedHandle m_err;
};
