#include "platform/sim/SimWatcherWindow.h"

#include "platform/WindowsApi.h"

#include <stdexcept>

namespace pindrel::sim {

namespace {
// SetTimer's shortest time (USER_TIMER_MINIMUM): a shorter one is taken as this.
constexpr std::uint32_t kShortestTimerMs = 10;
constexpr std::uint64_t kLongestSceneMs = 24ULL * 3600 * 1000;
} // namespace

void SimWatcherWindow::At(std::uint64_t atMs, std::function<void()> step) {
    steps_.emplace(atMs, std::move(step));
}

void SimWatcherWindow::Create() {
    if (refuse_)
        throw std::runtime_error(std::string("The watcher's window ") + kWatcherClass +
                                 " could not be created");
    window_ = session_.CreateWindow(kWatcherClass, Hwnd{0}, Pid{session_.GetCurrentProcessId()});
}

UINT SimWatcherWindow::TaskbarCreatedMessage() {
    return session_.RegisterWindowMessageA("TaskbarCreated");
}

void SimWatcherWindow::Arm(std::uint32_t ms) {
    interval_ = ms < kShortestTimerMs ? kShortestTimerMs : ms;
    timerDue_ = session_.NowMs() + interval_;
}

void SimWatcherWindow::Disarm() {
    timerDue_.reset();
}

void SimWatcherWindow::MoveClockTo(std::uint64_t atMs) {
    if (atMs > session_.NowMs())
        session_.AdvanceClock(atMs - session_.NowMs());
}

void SimWatcherWindow::Run(const std::function<WatcherReply(UINT, WPARAM, LPARAM)>& handle) {
    if (window_ == Hwnd{0})
        throw std::logic_error("SimWatcherWindow::Run before Create");
    handle_ = &handle;
    struct Ended {
        const std::function<WatcherReply(UINT, WPARAM, LPARAM)>*& handle;
        ~Ended() { handle = nullptr; }
    } ended{handle_};
    for (;;) {
        // A sent message that ended the watcher left WM_QUIT behind (PostQuitMessage).
        if (quitPosted_)
            return;
        // Posted messages first: they are there now, and the timer's message is the last a
        // thread's queue gives out.
        if (const std::optional<SimMessage> posted = session_.TakePostedMessage(window_)) {
            if (handle(posted->message, posted->wParam, posted->lParam) == WatcherReply::Quit)
                return;
            continue;
        }
        const bool stepNext =
            !steps_.empty() && (!timerDue_ || steps_.begin()->first <= *timerDue_);
        if (stepNext) {
            auto step = steps_.begin()->second;
            MoveClockTo(steps_.begin()->first);
            steps_.erase(steps_.begin());
            step();
        } else if (timerDue_) {
            if (*timerDue_ > kLongestSceneMs)
                throw std::runtime_error("the watcher's timer is still set after a day");
            MoveClockTo(*timerDue_);
            timerDue_ = session_.NowMs() + interval_; // SetTimer's timers come again
            timerTimes_.push_back(session_.NowMs());
            if (handle(win::WM_TIMER, kWatcherTimerId, 0) == WatcherReply::Quit)
                return;
        } else {
            idleForEver_ = true;
            return;
        }
    }
}

WatcherReply SimWatcherWindow::Send(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!handle_)
        throw std::logic_error("SimWatcherWindow::Send outside Run");
    const WatcherReply reply = (*handle_)(message, wParam, lParam);
    quitPosted_ = quitPosted_ || reply == WatcherReply::Quit;
    return reply;
}

void SimWatcherWindow::Destroy() {
    if (window_ != Hwnd{0} && session_.IsWindow(window_))
        session_.DestroyWindow(window_);
    timerDue_.reset();
}

} // namespace pindrel::sim
