// The queue kept on disk while the program runs: the list's paths and ticks, written whenever
// they change, so that a language restart brings the list back as it was and an unexpected end
// (a crash, a power cut, a forced end) loses no file. A normal exit leaves nothing behind.
//
// The file is the program's state, not a setting: it lives in the user's local application
// data. Each running instance keeps a list of its own: the first Queue.txt, the next ones
// "Queue 2.txt" and on, each claimed by a named mutex for as long as its instance runs; a
// crashed owner's name goes with it, so the next start takes its file over. The calls touch
// the disk: the window makes them on a worker.
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
        Nothing,    // a normal exit, a first start, or no store
        Restart,    // the language was changed: the list comes back as it was
        Unexpected, // the program did not end by itself: the user is offered the list
        SetAside,   // the file was too large to be a list of ours: it was renamed, not read
    };
    // What the previous run left.
    struct Previous {
        Left left = Left::Nothing;
        std::vector<Item> items;
        std::wstring setAsideAs; // Left::SetAside: the file's new name
    };
    enum class Saved { Kept, DiskFull, Failed };

    // No list holds more files than this; a larger one is a broken file, not a list.
    static constexpr size_t kMaxItems = 100000;
    // The bytes such a list may take: each path as long as the usual limit, in UTF-8.
    static constexpr unsigned long long kMaxBytes = kMaxItems * (3 + MAX_PATH * 3);
    // How many instances keep lists of their own.
    static constexpr int kSlots = 16;

    // Takes the first of the instances' files in folder (made when missing) that no running
    // instance, nor another store of this one, has; false when all are taken, and the store
    // keeps nothing.
    bool Open(const std::wstring& folder, const wchar_t* mutexName = kMutexName);
    bool IsOpen() const { return static_cast<bool>(m_hMutex); }
    const std::wstring& File() const { return m_strFile; }
    // What the previous run of this slot left. A file larger than a list can be is set aside.
    Previous Read() const;
    // Writes the items beside the file and then puts them in its place: a cut in the middle
    // of a write leaves the previous copy. restart: the next start takes them back unasked.
    Saved Save(const std::vector<Item>& items, bool restart = false) const;
    // The program ends normally: its next start is empty.
    void Discard() const;

    static constexpr const wchar_t* kMutexName = L"Local\\Tavrenix.Quelvox.Queue";

private:
    CHandle m_hMutex;
    std::wstring m_strFile;
};
