// A thread that does one job on request, so the thread that asks never waits for it. Requests
// that come while the job runs are taken together: it runs once more for all of them.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class Restarter {
public:
    explicit Restarter(std::function<void()> job);
    Restarter(const Restarter&) = delete;
    Restarter& operator=(const Restarter&) = delete;
    // Lets a job that runs finish; one only asked for is dropped.
    ~Restarter();

    void Request();
    // A job is asked for or runs.
    bool Busy() const;

private:
    void Loop();

    std::function<void()> m_job;
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_pending = false, m_running = false, m_stop = false;
    std::thread m_thread;
};
