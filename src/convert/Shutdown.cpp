#include "Shutdown.h"

#include "framework/Handle.h"
#include "framework/Seam.h"

#include <windows.h>

namespace {

constexpr DWORD kShutdownDelaySeconds = 30;

// Enables or disables the shutdown privilege in the process's own token.
bool SetShutdownPrivilege(bool enable) {
    CHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                            token.Receive()))
        return false;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    bool ok = ::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid) &&
              ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
              // Succeeds without the privilege too, reporting that it was not assigned.
              ::GetLastError() == ERROR_SUCCESS;
    return ok;
}

template <typename Request> bool WithShutdownPrivilege(Request request) {
    if (!SetShutdownPrivilege(true) || !request())
        return false;
    SetShutdownPrivilege(false);
    return true;
}

} // namespace

bool InitiateShutdown(const wchar_t* message) {
    return WithShutdownPrivilege([message] {
        return Seam().InitiateSystemShutdown(message, kShutdownDelaySeconds, FALSE, FALSE) != FALSE;
    });
}

bool AbortShutdown() {
    return WithShutdownPrivilege([] { return Seam().AbortSystemShutdown() != FALSE; });
}
