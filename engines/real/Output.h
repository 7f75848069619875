// Where a conversion writes, and how its movie takes the place of an earlier one.
#pragma once

#include "common/Handle.h"

#include <windows.h>

#include <functional>
#include <string>

// The file a conversion writes until it has ended well.
std::wstring PartialOutput(const std::wstring& output);
// The output's name with " (n)" before its extension: "QV_clip.mp4 (2).avi".
std::wstring NumberedOutput(const std::wstring& output, int n);

// A failure that lasts only while another program holds a file for a moment (a scanner, the
// search indexer, OneDrive) or for as long as it has it open (a player).
bool IsHeld(DWORD error);

// Owned while this engine writes an output, so that a second encoder on the same file (a list
// restored while an earlier run's encoder still goes on) refuses instead of writing over it.
class OutputLock {
public:
    explicit OutputLock(const std::wstring& output);
    ~OutputLock();
    OutputLock(const OutputLock&) = delete;
    OutputLock& operator=(const OutputLock&) = delete;
    // False when another encoder writes the output.
    bool Owned() const { return static_cast<bool>(m_mutex); }

private:
    OwnedHandle m_mutex;
};

// Puts the partial file in the output's place. While another program holds the earlier movie
// it is tried again for up to waitMs of awake time; still held then, the new movie is kept
// under the first free numbered name instead, and the earlier one stays as it is; waiting is
// called once when the wait begins. The name the movie now has, or empty when it could not be
// put anywhere (error tells why).
std::wstring ReplaceOutput(const std::wstring& partial, const std::wstring& output, DWORD waitMs,
                           DWORD& error, const std::function<void()>& waiting);
