// A simulated session in a fresh host folder of its own; the folder goes after the session.
#pragma once

#include "platform/sim/SimSession.h"

#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace pindrel::sim {

struct TempFolder {
    static inline std::atomic<int> counter{0};
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("pindrel-sim-" + std::to_string(counter++) + "-" + std::to_string(std::random_device{}()));
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

struct TempSession : TempFolder, SimSession {
    TempSession() : SimSession(path) {}
};

} // namespace pindrel::sim
