// Starting Linux processes for the end-to-end tests: run one to its end and collect its output, or
// keep one running in the background. Every process gets its own process group, so that a hung
// one can be ended with whatever it started.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;

// Only ends a hung process; no test measures time with it.
constexpr std::chrono::seconds kHangGuard{120};

struct ProcessResult {
    int status = -1;   // exit status, or 128 + signal
    bool hung = false; // ended by the hang guard
    std::string out;
    std::string err;
};

// Runs argv[0] (searched on PATH) in `cwd` with stdin from /dev/null, and waits for it.
ProcessResult RunProcess(const std::vector<std::string>& argv, const fs::path& cwd,
                         std::chrono::milliseconds hangGuard = kHangGuard);

// A process left running; its stdout and stderr go to one log file.
class BackgroundProcess {
  public:
    BackgroundProcess() = default;
    BackgroundProcess(const std::vector<std::string>& argv, const fs::path& cwd,
                      const fs::path& log);
    ~BackgroundProcess();
    BackgroundProcess(BackgroundProcess&& other) noexcept;
    BackgroundProcess& operator=(BackgroundProcess&& other) noexcept;
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    bool started() const { return pid_ > 0; }
    // The exit status once the process has ended (it is reaped then), or nothing while it runs.
    std::optional<int> Poll();
    // Waits up to `guard` for the end; nothing when the process still runs.
    std::optional<int> Wait(std::chrono::milliseconds guard);
    // Ends the process group at once and reaps the process.
    void Kill();

  private:
    int pid_ = -1;
    std::optional<int> status_;
};

std::string ReadFile(const fs::path& path); // throws when the file cannot be read
void WriteFile(const fs::path& path, const std::string& bytes);

} // namespace e2e
