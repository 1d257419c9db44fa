// The watcher's hidden window on Windows: a window class, a window procedure and a message loop,
// with the window's one timer as the watcher's clock.
//
// It is a top-level window that is never shown, not a message-only one (HWND_MESSAGE): Windows
// sends WM_DISPLAYCHANGE, WM_POWERBROADCAST and the shell's "TaskbarCreated" to top-level windows
// only. It is signed up for the session's notifications (WM_WTSSESSION_CHANGE) with
// WTSRegisterSessionNotification.
//
// The seam headers come before <windows.h> here too (see MainWindow.h).
#pragma once

#include "WatcherStart.h"

#include <windows.h>

namespace pindrel {

class WatcherWindow final : public WatcherHost, private WatcherClock {
  public:
    explicit WatcherWindow(HINSTANCE instance) : instance_(instance) {}
    ~WatcherWindow() override;
    WatcherWindow(const WatcherWindow&) = delete;
    WatcherWindow& operator=(const WatcherWindow&) = delete;

    void Create() override;
    WatcherClock& clock() override { return *this; }
    ::UINT TaskbarCreatedMessage() override { return taskbarCreated_; }
    void Run(const std::function<WatcherReply(UINT, WPARAM, LPARAM)>& handle) override;
    void Destroy() override;

  private:
    std::uint64_t NowMs() override;
    void Arm(std::uint32_t ms) override;
    void Disarm() override;

    static ::LRESULT CALLBACK WindowProc(HWND window, ::UINT message, ::WPARAM wParam,
                                         ::LPARAM lParam);
    ::LRESULT HandleMessage(::UINT message, ::WPARAM wParam, ::LPARAM lParam);
    // Signs the window up for the session's notifications; false when Windows cannot yet (its
    // session service is not up in the first moments after log-on).
    bool RegisterSessionNotification();

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    ::UINT taskbarCreated_ = 0;
    bool sessionNotified_ = false;
    const std::function<WatcherReply(UINT, WPARAM, LPARAM)>* handle_ = nullptr;
};

} // namespace pindrel
