#include "QueueProgress.h"

#include <algorithm>

namespace convert {

void QueueCounters::FileTaken() {
    ++fileNumber;
    currentSeconds = 0;
}

void QueueCounters::FileIdentified(double seconds) {
    currentSeconds = std::max(0.0, seconds);
    if (currentSeconds > 0) {
        knownSeconds += currentSeconds;
        ++known;
    }
}

void QueueCounters::FileDone() {
    doneSeconds += currentSeconds;
    currentSeconds = 0;
}

QueueProgress QueueCounters::Progress(int filePercent, double elapsedSeconds) const {
    QueueProgress progress;
    progress.filePercent = std::clamp(filePercent, 0, 100);
    progress.files = ticked;
    progress.file = std::min(std::max(fileNumber, 1), std::max(ticked, 1));
    const double share = progress.filePercent / 100.0;
    double done = 0, total = 0;
    if (known > 0) {
        const double mean = knownSeconds / known;
        done = doneSeconds + currentSeconds * share;
        total = doneSeconds + (currentSeconds > 0 ? currentSeconds : mean) +
                std::max(0, ticked - fileNumber) * mean;
    } else if (ticked > 0) {
        done = std::max(0, fileNumber - 1) + share;
        total = ticked;
    }
    const double part = total > 0 ? std::clamp(done / total, 0.0, 1.0) : 0;
    progress.percent = static_cast<int>(part * 100);
    // Too early to tell under one percent: the first seconds are mostly identification.
    if (part >= 0.01)
        progress.secondsLeft = static_cast<int>(elapsedSeconds * (1 - part) / part);
    return progress;
}

} // namespace convert
