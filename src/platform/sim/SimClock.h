// The session's clock: simulated milliseconds, moved on only by what takes time (a wait that times
// out, a request to a window whose thread does not answer) and by tests.
#pragma once

#include <cstdint>

namespace pindrel::sim {

struct SimClock {
    std::uint64_t nowMs = 0;
    void Advance(std::uint64_t ms) { nowMs += ms; }
};

} // namespace pindrel::sim
