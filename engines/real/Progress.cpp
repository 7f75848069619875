#include "Progress.h"

#include <algorithm>
#include <cstdio>

namespace {

// The digits after "name=" and the blanks that pad them; at is moved past them.
bool Field(std::string_view line, std::string_view name, size_t& at) {
    const size_t found = line.find(name);
    if (found == std::string_view::npos)
        return false;
    at = line.find_first_not_of(' ', found + name.size());
    return at != std::string_view::npos && at < line.size() && line[at] >= '0' && line[at] <= '9';
}

long long Digits(std::string_view line, size_t& at, int limit = 15) {
    long long value = 0;
    for (int n = 0; at < line.size() && line[at] >= '0' && line[at] <= '9'; ++at)
        if (++n <= limit)
            value = value * 10 + (line[at] - '0');
    return value;
}

} // namespace

bool ReadProgress(std::string_view line, JobProgress& progress) {
    // Only a line that is one: a name echoed elsewhere may hold the same words.
    const size_t start = line.find_first_not_of(' ');
    if (start == std::string_view::npos || line.substr(start, 6) != "frame=")
        return false;
    size_t frame = 0, size = 0, time = 0;
    if (!Field(line, "frame=", frame) || !Field(line, "size=", size) || !Field(line, "time=", time))
        return false;
    // time=HH:MM:SS.ss
    double seconds = 0;
    for (int part = 0; part < 3; ++part) {
        if (time >= line.size() || line[time] < '0' || line[time] > '9')
            return false;
        seconds = seconds * 60 + static_cast<double>(Digits(line, time, 9));
        if (part < 2 && (time >= line.size() || line[time++] != ':'))
            return false;
    }
    if (time < line.size() && line[time] == '.') {
        double scale = 0.1;
        for (++time; time < line.size() && line[time] >= '0' && line[time] <= '9'; ++time) {
            seconds += (line[time] - '0') * scale;
            scale /= 10;
        }
    }
    progress.frames = Digits(line, frame);
    progress.bytes = Digits(line, size) * 1024;
    progress.seconds = seconds;
    return true;
}

std::string EncoderStatus(const JobProgress& progress, double length, double elapsed) {
    int percent = length > 0 ? static_cast<int>(progress.seconds * 100 / length) : 0;
    percent = std::clamp(percent, 0, 99);
    const double speed = elapsed > 0 ? progress.frames / elapsed : 0;
    const double left = percent > 0 ? elapsed * (100 - percent) / percent / 60 : 0;
    char line[200];
    std::snprintf(line, sizeof line,
                  "Pos:%6.1fs %6lldf (%2d%%) %5.2ffps Trem:%4dmin %4lldmb  A-V:0.000 [0:0]\r",
                  progress.seconds, progress.frames, percent, speed, static_cast<int>(left),
                  progress.bytes >> 20);
    return line;
}
