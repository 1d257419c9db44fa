// The process's peak resident memory so far, in MiB (Linux: getrusage's ru_maxrss is in KiB).
#pragma once

#include <sys/resource.h>

inline double PeakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}
