// The watcher's logic: after each event that may have scrambled the desktop (a display change, a
// session connected or unlocked, a resume, Explorer restarted), wait until the desktop has
// settled, then restore the layout of the screen's present size once.
//
// It knows nothing of windows or messages: its events are calls, its time comes from a
// WatcherClock and the desktop is reached through a WatcherDesktop, so that the same logic runs
// in the real hidden window and in tests with a clock they move themselves.
#pragma once

#include <cstdint>
#include <optional>

namespace pindrel {

// The time and the one wake-up the watcher needs. Arm asks for one OnTimer call after `ms`
// milliseconds and replaces a wake-up already asked for; Disarm cancels it. A wake-up that comes
// late, or once more after Disarm, does no harm.
class WatcherClock {
  public:
    virtual ~WatcherClock() = default;
    virtual std::uint64_t NowMs() = 0;
    virtual void Arm(std::uint32_t ms) = 0;
    virtual void Disarm() = 0;
};

// What the watcher needs of the desktop and of the program.
class WatcherDesktop {
  public:
    virtual ~WatcherDesktop() = default;
    // The number of icons on the desktop, or nothing when it cannot be had (no desktop yet while
    // Explorer restarts, a desktop that does not answer).
    virtual std::optional<std::int32_t> ItemCount() = 0;
    // Whether a layout file exists for the screen's present size.
    virtual bool LayoutExistsForScreen() = 0;
    // The restore that "-r" makes. It never throws.
    virtual void Restore() = 0;
};

struct WatcherTiming {
    // No event and the same item count for this long: the desktop has settled.
    std::uint32_t settleMs = 2000;
    // The item count is looked at this often while the watcher waits for the desktop to settle.
    std::uint32_t checkMs = 500;
    // A burst that has not settled this long after its first event is given up until the next
    // event.
    std::uint32_t giveUpMs = 60000;
};

class Watcher {
  public:
    Watcher(WatcherDesktop& desktop, WatcherClock& clock, WatcherTiming timing = {});

    // An event after which the icons may have moved. Only notes the time and asks for a wake-up:
    // it may arrive in the middle of a broadcast, whose sender waits for it.
    void OnEvent();
    // The wake-up asked for.
    void OnTimer();
    // Ends the watching: no wake-up is asked for any more.
    void Stop();

    // Whether the watcher waits for a burst to settle (a wake-up is asked for); when it does not,
    // it waits for the next event and asks for no wake-up at all.
    bool settling() const { return settling_; }
    // Restores made and bursts given up, since the start.
    int restores() const { return restores_; }
    int givenUp() const { return givenUp_; }

  private:
    void StartBurst(std::uint64_t now);
    // Asks for the next look at the count: at the latest after checkMs, sooner when the desktop
    // can have settled before then.
    void ArmNextCheck(std::uint64_t now);
    void Idle();

    WatcherDesktop& desktop_;
    WatcherClock& clock_;
    WatcherTiming timing_;
    bool stopped_ = false;
    bool settling_ = false;
    std::uint64_t burstStart_ = 0;
    std::uint64_t lastEvent_ = 0;
    // The count seen last and since when it has been the same; nothing while it cannot be had.
    std::optional<std::int32_t> count_;
    std::uint64_t countSince_ = 0;
    int restores_ = 0;
    int givenUp_ = 0;
};

} // namespace pindrel
