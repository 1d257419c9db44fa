// The real "pindrel.exe -w" under Wine against the stand-in desktop. Wine makes none of the events
// the watcher waits for, so broadcast.exe (tools/desktop-host) sends them as Windows and the shell
// do: WM_DISPLAYCHANGE and "TaskbarCreated" to every top-level window, WM_ENDSESSION at log-off.
// Wine cannot change the screen's size either: the layout of another size after a change is the
// simulated session's (tests/Watcher_test.cpp), as are the settling rules on a clock the tests
// move.
#include "Harness.h"

#include <iostream>

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;

class WatcherTest : public E2eTest {
  protected:
    void TearDown() override {
        if (watcher_ && watcher_->running())
            Run(exe_, "pindrel.exe -q");
        if (watcher_)
            watcher_->Stop();
        E2eTest::TearDown();
    }

    // Starts "pindrel.exe -w" in the background and waits for its window.
    std::map<std::string, std::string> StartWatcher() {
        session().Background(watcher_, {"wine", exe_.string(), "-w"}, exe_.parent_path(),
                             dir() / "watcher.log");
        const auto deadline = Clock::now() + kHangGuard;
        for (;;) {
            const ProcessResult r = Tool("broadcast", {"watcher"}, 2);
            if (r.status == 0)
                return Values(r.out);
            if (!watcher_->running() || Clock::now() > deadline)
                throw std::runtime_error("the watcher's window did not come: " +
                                         ReadFile(dir() / "watcher.log"));
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    // Polls the desktop until its icons are `icons` and auto-arrange is on again, the last step of
    // a restore (within the hang guard); the time from `since` to the dump that first showed it,
    // and that dump.
    std::pair<double, DesktopState> AwaitRestored(const std::vector<std::string>& icons,
                                                  Clock::time_point since) {
        const auto deadline = Clock::now() + kHangGuard;
        DesktopState state = Dump();
        while ((state.icons != icons || state.Number("autoarrange") != 1) &&
               Clock::now() < deadline)
            state = Dump();
        const std::chrono::duration<double, std::milli> taken = Clock::now() - since;
        return {taken.count(), state};
    }

    fs::path exe_;
    std::optional<Process> watcher_;
};

// A hidden top-level watcher; a second "-w" ends at once with 0; a burst of display changes and
// then an Explorer restart each bring every icon back, through the restore "-r" makes (the
// painting held, auto-arrange off for the moves); the layout file is never written; "-q" ends
// the watcher with 0, and ends with 0 itself when none runs; a log-off ends a watcher too.
TEST_F(WatcherTest, DisplayChangesAndAnExplorerRestartBringEveryIconBack) {
    exe_ = CopyPindrel("app");
    StartDesktop("autoarrange=1\n60,70,One\n-10,210,Two\n430,95,Three\n250,300,Four\n"
                 "700,20,Five\n5,600,Six\n");
    ASSERT_EQ(Run(exe_, "pindrel.exe -s"), 0u);
    const std::string saved = ReadFile(LayoutOf(exe_));
    const std::vector<std::string> icons = Dump().icons;

    const auto window = StartWatcher();
    EXPECT_EQ(window.at("visible"), "0");
    EXPECT_EQ(window.at("toplevel"), "1") << "a message-only window gets no broadcast";
    EXPECT_EQ(window.at("shownwindows"), "0");
    EXPECT_EQ(Run(exe_, "pindrel.exe  -W "), 0u);
    EXPECT_TRUE(watcher_->running());
    EXPECT_EQ(Values(Tool("broadcast", {"watcher"}).out).at("pid"), window.at("pid"));

    const struct {
        const char* name;
        std::vector<const char*> events;
    } bursts[] = {{"three display changes", {"displaychange", "displaychange", "displaychange"}},
                  {"the shell started again", {"taskbarcreated"}}};
    int restores = 0;
    for (const auto& burst : bursts) {
        SCOPED_TRACE(burst.name);
        // Scrambled, and auto-arrange on (the save switched it off, a restore on again).
        Tool("hostctl", {"scramble"});
        if (Dump().Number("autoarrange") == 0)
            Tool("hostctl", {"toggle"});
        const DesktopState scrambled = Dump();
        ASSERT_NE(scrambled.icons, icons);
        ASSERT_EQ(scrambled.Number("autoarrange"), 1);
        for (const char* event : burst.events)
            Tool("broadcast", {event});
        const auto [ms, state] = AwaitRestored(icons, Clock::now());
        EXPECT_EQ(state.icons, icons);
        ++restores;
        EXPECT_EQ(state.Number("redrawoff"), restores) << "one restore per burst";
        EXPECT_EQ(state.Number("heldmoves"), state.Number("moves"));
        EXPECT_EQ(state.Number("arrangedmoves"), 0);
        EXPECT_EQ(state.Number("autoarrange"), 1);
        std::cout << "[ figure ] " << burst.name << ": icons back " << ms
                  << " ms after the last event was delivered (polled by dumps)\n";
    }
    EXPECT_EQ(ReadFile(LayoutOf(exe_)), saved);
    EXPECT_EQ(FilesIn(exe_.parent_path()),
              (std::set<std::string>{LayoutOf(exe_).filename().string(), "pindrel.exe"}));

    EXPECT_EQ(Run(exe_, "pindrel.exe -q"), 0u);
    EXPECT_EQ(watcher_->Wait().value_or(-1), 0);
    EXPECT_EQ(Tool("broadcast", {"watcher"}, 2).status, 2) << "its window is gone";
    EXPECT_EQ(Run(exe_, "pindrel.exe -Q"), 0u) << "with no watcher running";

    StartWatcher();
    Tool("broadcast", {"endsession"});
    EXPECT_EQ(watcher_->Wait().value_or(-1), 0) << "at log-off";
    EXPECT_EQ(Dump().Number("redrawoff"), restores);
}

} // namespace
} // namespace e2e
