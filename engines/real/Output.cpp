#include "Output.h"

#include "common/AwakeClock.h"

#include <cwctype>

std::wstring PartialOutput(const std::wstring& output) {
    return output + L".part";
}

std::wstring NumberedOutput(const std::wstring& output, int n) {
    const size_t slash = output.find_last_of(L"\\/");
    size_t dot = output.rfind(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
        dot = output.size();
    return output.substr(0, dot) + L" (" + std::to_wstring(n) + L")" + output.substr(dot);
}

bool IsHeld(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED;
}

OutputLock::OutputLock(const std::wstring& output) {
    // Named after the path, whatever its case: one name per file.
    unsigned long long hash = 14695981039346656037ull;
    for (wchar_t c : output) {
        hash ^= static_cast<unsigned long long>(std::towupper(c));
        hash *= 1099511628211ull;
    }
    wchar_t name[64];
    swprintf(name, 64, L"Local\\Tavrenix.Quelvox.Output.%016llx", hash);
    m_mutex.Attach(CreateMutexW(nullptr, TRUE, name));
    // One whose owner ended without letting go is ours now.
    if (m_mutex && GetLastError() == ERROR_ALREADY_EXISTS &&
        WaitForSingleObject(m_mutex, 0) == WAIT_TIMEOUT)
        m_mutex.Close();
}

OutputLock::~OutputLock() {
    if (m_mutex)
        ReleaseMutex(m_mutex);
}

std::wstring ReplaceOutput(const std::wstring& partial, const std::wstring& output, DWORD waitMs,
                           DWORD& error, const std::function<void()>& waiting) {
    const StallWatch giveUp(waitMs);
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(partial.c_str(), output.c_str(), MOVEFILE_REPLACE_EXISTING))
            return output;
        error = GetLastError();
        if (!IsHeld(error) || giveUp.Stalled())
            break;
        if (attempt == 0)
            waiting();
        Sleep(100);
    }
    if (!IsHeld(error))
        return {};
    // Never over another file: a numbered movie may be one the user keeps.
    for (int n = 2; n < 100; ++n) {
        const std::wstring numbered = NumberedOutput(output, n);
        if (MoveFileExW(partial.c_str(), numbered.c_str(), 0))
            return numbered;
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    return {};
}
