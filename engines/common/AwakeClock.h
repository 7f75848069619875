// Time the computer was awake. Limits such as "nothing for a minute" are measured with it, so
// a night's sleep in the middle of a conversion does not count as a stall on waking.
#pragma once

#include <windows.h>

// The system's counters, read through this so tests can let a machine sleep.
class SystemClocks {
public:
    virtual ~SystemClocks() = default;
    // QueryUnbiasedInterruptTime: 100 ns units, stopped while the machine sleeps or hibernates.
    virtual ULONGLONG Unbiased() const;
    // GetTickCount64: milliseconds, counting on through sleep.
    virtual ULONGLONG Ticks() const;
    static const SystemClocks& Real();
};

// Milliseconds of awake time, from an arbitrary start.
ULONGLONG AwakeMilliseconds(const SystemClocks& clocks = SystemClocks::Real());

// Tells when nothing has happened for a given awake time.
class StallWatch {
public:
    explicit StallWatch(ULONGLONG limitMs, const SystemClocks& clocks = SystemClocks::Real());
    // Something happened: the wait starts again.
    void Moved();
    bool Stalled() const;

private:
    const SystemClocks& m_clocks;
    ULONGLONG m_limit, m_last;
};
