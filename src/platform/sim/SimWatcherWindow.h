// The watcher's hidden window on the simulated session: what "pindrel.exe -w" keeps on Windows, for
// tests that run the watcher's start-up and its messages with the session's clock.
//
// Create() makes a top-level window of the watcher's class in the session, owned by the process
// that runs then, with no style (hidden), so that FindWindowA finds it and PostMessageA reaches
// it. Run() plays Windows' message loop on the session's time: it hands the window the messages
// posted to it, its timer when the timer is due (SetTimer's rules: periodic, at least 10 ms), and
// runs the scene's steps when the clock reaches their time, moving the clock on to whichever comes
// first. Where nothing is left to come (no message, no timer, no step) a real watcher would wait
// for ever, spending no time: Run() returns then, and idleForEver() says so. A timer still set
// after a simulated day stops Run() with std::runtime_error: no scene lasts that long, so the
// watcher must have failed to let go of its timer.
#pragma once

#include "WatcherStart.h"
#include "platform/sim/SimSession.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace pindrel::sim {

class SimWatcherWindow final : public WatcherHost, private WatcherClock {
  public:
    explicit SimWatcherWindow(SimSession& session) : session_(session) {}

    // A step of the scene, run when the session's clock reaches `atMs` (steps of the same time in
    // the order they were given).
    void At(std::uint64_t atMs, std::function<void()> step);
    // The window cannot be created, as when Windows refuses the class or the window.
    void RefuseCreation() { refuse_ = true; }

    void Create() override;
    WatcherClock& clock() override { return *this; }
    UINT TaskbarCreatedMessage() override;
    void Run(const std::function<WatcherReply(UINT, WPARAM, LPARAM)>& handle) override;
    void Destroy() override;

    // A message sent to the window from another thread while the window's own thread waits for
    // an answer (SendMessageTimeoutA): Windows hands it to the window there and then. Only while
    // Run() runs.
    WatcherReply Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    Hwnd window() const { return window_; }
    // Run() returned because nothing more could come: the watcher quit on none of its messages.
    bool idleForEver() const { return idleForEver_; }
    // Whether the timer is set now.
    bool timerSet() const { return timerDue_.has_value(); }
    // The times at which the timer was due and handed to the window.
    const std::vector<std::uint64_t>& timerTimes() const { return timerTimes_; }

  private:
    std::uint64_t NowMs() override { return session_.NowMs(); }
    void Arm(std::uint32_t ms) override;
    void Disarm() override;
    void MoveClockTo(std::uint64_t atMs);

    SimSession& session_;
    const std::function<WatcherReply(UINT, WPARAM, LPARAM)>* handle_ = nullptr;
    std::multimap<std::uint64_t, std::function<void()>> steps_;
    Hwnd window_{};
    bool refuse_ = false;
    bool idleForEver_ = false;
    bool quitPosted_ = false;
    std::uint32_t interval_ = 0;
    std::optional<std::uint64_t> timerDue_;
    std::vector<std::uint64_t> timerTimes_;
};

} // namespace pindrel::sim
