// Owners of system handles: kernel objects (CHandle), registry keys (CRegKey), icons made
// for us (CIcon) and the device contexts of a window (CClientDC, CWindowDC). Each releases its
// handle exactly once: when it goes, or when it is given another. An empty owner holds nullptr.
#pragma once

#include <windows.h>

#include <utility>

template <typename Handle, typename Release> class CUniqueHandle {
public:
    CUniqueHandle() = default;
    explicit CUniqueHandle(Handle handle) : m_handle(handle) {}
    ~CUniqueHandle() { Close(); }
    CUniqueHandle(CUniqueHandle&& other) noexcept : m_handle(other.Detach()) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept {
        Attach(other.Detach());
        return *this;
    }
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;

    operator Handle() const { return m_handle; }
    Handle Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    // Where a system call writes a new handle; the one held before is released first.
    Handle* Receive() {
        Close();
        return &m_handle;
    }
    void Attach(Handle handle) {
        if (handle != m_handle)
            Close();
        m_handle = handle;
    }
    Handle Detach() { return std::exchange(m_handle, nullptr); }
    void Close() {
        if (m_handle)
            Release()(std::exchange(m_handle, nullptr));
    }

private:
    Handle m_handle = nullptr;
};

struct CloseKernelHandle {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
struct CloseRegistryKey {
    void operator()(HKEY key) const { ::RegCloseKey(key); }
};
struct DestroyOwnIcon {
    void operator()(HICON icon) const { ::DestroyIcon(icon); }
};

using CHandle = CUniqueHandle<HANDLE, CloseKernelHandle>;
using CRegKey = CUniqueHandle<HKEY, CloseRegistryKey>;
using CIcon = CUniqueHandle<HICON, DestroyOwnIcon>;

// A file opened by CreateFileW, whose failure is INVALID_HANDLE_VALUE rather than null.
inline CHandle FileHandle(HANDLE file) {
    return CHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

// A device context of a window, released when it goes: of its client area (CClientDC, the
// screen for nullptr) or of the whole window with its frame (CWindowDC).
class CWindowContext {
public:
    ~CWindowContext() {
        if (m_hDC)
            ::ReleaseDC(m_hWnd, m_hDC);
    }
    CWindowContext(const CWindowContext&) = delete;
    CWindowContext& operator=(const CWindowContext&) = delete;
    operator HDC() const { return m_hDC; }

protected:
    CWindowContext(HWND window, HDC dc) : m_hWnd(window), m_hDC(dc) {}

private:
    HWND m_hWnd;
    HDC m_hDC;
};

class CClientDC : public CWindowContext {
public:
    explicit CClientDC(HWND window) : CWindowContext(window, ::GetDC(window)) {}
};

class CWindowDC : public CWindowContext {
public:
    explicit CWindowDC(HWND window) : CWindowContext(window, ::GetWindowDC(window)) {}
};
