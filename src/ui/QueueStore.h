// The queue kept on disk while the program runs: the list's paths and ticks, written whenever
// they change, so that a language restart brings the list back as it was and an unexpected end
// (a crash, a power cut, a forced end) loses no file. A normal exit leaves nothing behind.
//
// The file is the program's state, not a setting: it lives in the user's local application
// data. Of several running instances only the first keeps it (a named mutex says which); a
// crashed owner's mutex is abandoned, so the next start takes the file over.
#pragma once

#include "framework/Handle.h"

#include <windows.h>

#include <string>
#include <vector>

class CQueueStore {
public:
    struct Item {
        std::wstring path;
        bool ticked = true;
        bool operator==(const Item&) const = default;
    };
    enum class Left {
        Nothing,    // a normal exit, a first start, or another instance has the store
        Restart,    // the language was changed: the list comes back as it was
        Unexpected, // the program did not end by itself: the user is offered the list
    };

    // Takes the store in folder (made when missing) unless another running instance has the
    // one of that name; false then, and the store keeps nothing.
    bool Open(const std::wstring& folder, const wchar_t* mutexName = kMutexName);
    bool IsOpen() const { return static_cast<bool>(m_hMutex); }
    // What the previous run left, with its items.
    Left Previous(std::vector<Item>& items) const;
    // Writes the items beside the file and then puts them in its place: a cut in the middle
    // of a write leaves the previous copy. restart: the next start takes them back unasked.
    bool Save(const std::vector<Item>& items, bool restart = false) const;
    // The program ends normally: its next start is empty.
    void Discard() const;

    static constexpr const wchar_t* kMutexName = L"Local\\Tavrenix.Quelvox.Queue";
    // The folder of the program's state for the user: %LOCALAPPDATA%\Tavrenix\Quelvox.
    static std::wstring DefaultFolder();

private:
    CHandle m_hMutex;
    std::wstring m_strFile;
};
