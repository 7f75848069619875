// A kernel handle closed exactly once: when its owner goes, or when it is given another. An
// empty owner holds nullptr, also for a CreateFile that failed with INVALID_HANDLE_VALUE.
#pragma once

#include <windows.h>

#include <utility>

class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE handle) { Attach(handle); }
    ~OwnedHandle() { Close(); }
    OwnedHandle(OwnedHandle&& other) noexcept : m_handle(other.Detach()) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        Attach(other.Detach());
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    operator HANDLE() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    // Where a system call writes a new handle; the one held before is closed first.
    HANDLE* Receive() {
        Close();
        return &m_handle;
    }
    void Attach(HANDLE handle) {
        if (handle != m_handle)
            Close();
        m_handle = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
    }
    HANDLE Detach() { return std::exchange(m_handle, nullptr); }
    void Close() {
        if (m_handle)
            CloseHandle(std::exchange(m_handle, nullptr));
    }

private:
    HANDLE m_handle = nullptr;
};
