#include "Watcher.h"

#include <algorithm>

namespace pindrel {

Watcher::Watcher(WatcherDesktop& desktop, WatcherClock& clock, WatcherTiming timing)
    : desktop_(desktop), clock_(clock), timing_(timing) {}

void Watcher::OnEvent() {
    if (stopped_) {
        return;
    }
    const std::uint64_t now = clock_.NowMs();
    lastEvent_ = now;
    // Windows hands sent messages to this thread while it waits for the desktop's answers, so an
    // event may come in the middle of a restore: the watcher is idle by then, and a new burst
    // begins.
    if (!settling_) {
        StartBurst(now);
    }
}

void Watcher::StartBurst(std::uint64_t now) {
    settling_ = true;
    burstStart_ = now;
    count_.reset();
    countSince_ = now;
    // The first look at the count comes at once, but outside the event's own message.
    clock_.Arm(0);
}

void Watcher::OnTimer() {
    if (stopped_ || !settling_) {
        return; // a wake-up left over from before
    }
    const std::optional<std::int32_t> count = desktop_.ItemCount();
    // The count may have taken its time (a desktop slow to answer): what follows is measured from
    // when it came.
    const std::uint64_t now = clock_.NowMs();
    if (!count || count != count_) {
        count_ = count;
        countSince_ = now;
    }
    if (count_ && now - lastEvent_ >= timing_.settleMs && now - countSince_ >= timing_.settleMs) {
        Idle();
        // Where the screen's size has no layout, nothing moves: the watcher never lays out a
        // desktop from the start point on its own.
        if (desktop_.LayoutExistsForScreen()) {
            desktop_.Restore();
            ++restores_;
        }
        return;
    }
    if (now - burstStart_ >= timing_.giveUpMs) {
        ++givenUp_;
        Idle();
        return;
    }
    ArmNextCheck(now);
}

void Watcher::ArmNextCheck(std::uint64_t now) {
    std::uint64_t wait = timing_.checkMs;
    if (count_) {
        const std::uint64_t settledAt = std::max(lastEvent_, countSince_) + timing_.settleMs;
        if (settledAt > now) {
            wait = std::min(wait, settledAt - now);
        }
    }
    const std::uint64_t giveUpAt = burstStart_ + timing_.giveUpMs;
    if (giveUpAt > now) {
        wait = std::min(wait, giveUpAt - now);
    }
    clock_.Arm(static_cast<std::uint32_t>(wait));
}

void Watcher::Idle() {
    settling_ = false;
    clock_.Disarm();
}

void Watcher::Stop() {
    stopped_ = true;
    Idle();
}

} // namespace pindrel
