#include "Restarter.h"

Restarter::Restarter(std::function<void()> job)
    : m_job(std::move(job)), m_thread([this] { Loop(); }) {}

Restarter::~Restarter() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void Restarter::Request() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_pending = true;
    }
    m_wake.notify_one();
}

bool Restarter::Busy() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_pending || m_running;
}

void Restarter::Loop() {
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_wake.wait(lock, [this] { return m_pending || m_stop; });
        if (m_stop)
            return;
        m_pending = false;
        m_running = true;
        lock.unlock();
        m_job();
        lock.lock();
        m_running = false;
    }
}
