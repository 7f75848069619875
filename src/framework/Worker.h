// CWorker: runs jobs one after another, in the order they are posted, on a thread of its own,
// so that a file call that may block (a network share that dropped, a file another program
// holds) never holds up the window's thread. A job that has a result for a window posts it.
// The thread exists only while there is work.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class CWorker {
public:
    CWorker() = default;
    // Runs what is posted to its end: the jobs are bounded, and what they do must not be lost.
    ~CWorker();
    CWorker(const CWorker&) = delete;
    CWorker& operator=(const CWorker&) = delete;

    void Post(std::function<void()> job);
    // Waits until every job posted so far has run, at most ms; true when they have.
    bool WaitIdle(DWORD ms);

private:
    void Run();

    std::mutex m_lock;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_jobs;
    bool m_running = false;
    std::thread m_thread;
};
