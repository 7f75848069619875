#include "AwakeClock.h"

ULONGLONG SystemClocks::Unbiased() const {
    ULONGLONG time = 0;
    QueryUnbiasedInterruptTime(&time);
    return time;
}

ULONGLONG SystemClocks::Ticks() const {
    return GetTickCount64();
}

const SystemClocks& SystemClocks::Real() {
    static const SystemClocks clocks;
    return clocks;
}

ULONGLONG AwakeMilliseconds(const SystemClocks& clocks) {
    return clocks.Unbiased() / 10000;
}

StallWatch::StallWatch(ULONGLONG limitMs, const SystemClocks& clocks)
    : m_clocks(clocks), m_limit(limitMs), m_last(AwakeMilliseconds(clocks)) {}

void StallWatch::Moved() {
    m_last = AwakeMilliseconds(m_clocks);
}

bool StallWatch::Stalled() const {
    return AwakeMilliseconds(m_clocks) - m_last >= m_limit;
}
