#include "Worker.h"

#include <chrono>

CWorker::~CWorker() {
    WaitIdle(INFINITE);
    if (m_thread.joinable())
        m_thread.join();
}

void CWorker::Post(std::function<void()> job) {
    std::thread ended;
    {
        std::lock_guard lock(m_lock);
        m_jobs.push_back(std::move(job));
        if (m_running)
            return;
        // The previous thread has let go of the queue and is ending.
        ended = std::move(m_thread);
        m_running = true;
        m_thread = std::thread([this] { Run(); });
    }
    if (ended.joinable())
        ended.join();
}

bool CWorker::WaitIdle(DWORD ms) {
    std::unique_lock lock(m_lock);
    const auto idle = [this] { return !m_running; };
    if (ms == INFINITE) {
        m_idle.wait(lock, idle);
        return true;
    }
    return m_idle.wait_for(lock, std::chrono::milliseconds(ms), idle);
}

void CWorker::Run() {
    std::unique_lock lock(m_lock);
    while (!m_jobs.empty()) {
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
    m_running = false;
    m_idle.notify_all();
}
