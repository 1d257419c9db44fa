// "pindrel.exe -w" on the simulated session, with the session's clock: the watcher's start-up, its
// hidden window's messages and the restores it makes, scene by scene. Each scene saves a layout
// of three icons, scrambles them and runs the watcher; its steps (events, a changing desktop, the
// screen's size, "-q", a second "-w") come at set times of the session's clock. A restore shows
// on the desktop as the hold on its painting (WM_SETREDRAW FALSE), whose time is recorded.
#include "SimFixture.h"
#include "WatcherStart.h"
#include "platform/sim/SimWatcherWindow.h"

#include <algorithm>
#include <optional>

namespace pindrel::testing {
namespace {

using namespace pindrel::win;
using sim::SimWatcherWindow;

const Items kIcons = {{"One", {10, 20}}, {"Two", {200, 40}}, {"Three", {300, 400}}};
// What WM_WTSSESSION_CHANGE and WM_POWERBROADCAST also report, which are no events here.
constexpr WPARAM kSessionLock = 0x7, kConsoleDisconnect = 0x2, kRemoteDisconnect = 0x4;
constexpr WPARAM kSuspend = 0x4, kPowerStatusChange = 0xA;
// Stands for the registered "TaskbarCreated" in a scene's events.
constexpr UINT kTaskbarCreated = 0;

struct Event {
    std::uint64_t at;
    UINT message;
    WPARAM wParam = 0;
};

class WatcherTest : public FormTest {
  protected:
    void SetUp() override {
        restores.clear();
        shell = Desktop(kIcons);
        Start("-s");
        ASSERT_EQ(form->exitStatus(), ExitStatus::Ok);
        saved = session->FileBytes(kLayout);
        ASSERT_FALSE(saved.empty());
        Scramble();
        session->OnSendMessage([this](const sim::SimCall& call) {
            if (call.message == WM_SETREDRAW && call.wParam == 0)
                restores.push_back(session->NowMs());
            if (duringRequest)
                duringRequest(call);
        });
    }

    void Scramble() {
        std::int32_t i = 0;
        for (sim::SimItem& item : session->Items(shell.listView)) {
            item.position = Point{900 - 70 * i, 700 - 110 * i};
            ++i;
        }
        scrambled = Positions(shell.listView);
    }
    std::vector<Point> SavedPositions() const {
        std::vector<Point> points;
        for (const auto& icon : kIcons)
            points.push_back(icon.second);
        return points;
    }

    // The event as Windows hands it to every top-level window.
    void Post(SimWatcherWindow& window, const Event& event) {
        window.At(event.at, [this, event] {
            const UINT message = event.message == kTaskbarCreated
                                     ? session->RegisterWindowMessageA("TaskbarCreated")
                                     : event.message;
            session->PostMessageA(HWND_BROADCAST, message, event.wParam, 0);
        });
    }
    void AddIconAt(SimWatcherWindow& window, std::uint64_t at) {
        window.At(at, [this, at] {
            session->AddItem(shell.listView, "New " + std::to_string(at), Point{5, 5});
        });
    }
    // "pindrel.exe -w" in this program's process, played to its end.
    int Watch(SimWatcherWindow& window) { return RunWatcher(*session, *session, window); }
    // "pindrel.exe -q", or "-w", from another process of the session.
    int QuitFromAnotherProcess() {
        int status = -1;
        session->AsOtherProcess([&] { status = QuitWatcher(*session); });
        return status;
    }
    bool MarkExists() const {
        const auto names = session->MutexNames();
        return std::find(names.begin(), names.end(), kWatcherMutex) != names.end();
    }

    // The watcher saves nothing: the layout and the folder are as the save left them.
    void ExpectNothingWritten() {
        EXPECT_EQ(session->FileBytes(kLayout), saved);
        ExpectOnlyTheLayoutFile();
        EXPECT_EQ(session->CountCalls("WritePrivateProfileStringW"), 0);
    }
    // The watcher ended and waits for nothing: no timer is set, and its window and mark are gone.
    void ExpectEnded(const SimWatcherWindow& window) {
        EXPECT_FALSE(window.timerSet());
        EXPECT_FALSE(session->IsWindow(window.window()));
        EXPECT_FALSE(MarkExists());
    }

    sim::SimShell shell;
    std::string saved;
    std::vector<Point> scrambled;
    std::vector<std::uint64_t> restores; // the session's time of each restore's painting hold
    std::function<void(const sim::SimCall&)> duringRequest;
};

// Which events bring a restore, and when: once no event has come and the icon count has stayed the
// same for 2 s (the count is looked at when the burst begins, 10 ms after its first event, and at
// most 500 ms apart), one restore per burst; a count that keeps changing for 60 s after the
// burst's first event gives the burst up, and the next event begins again. Between bursts no
// timer is set: the watcher waits with nothing to do.
TEST_F(WatcherTest, EachBurstOfEventsGivesOneRestoreOnceTheDesktopHasSettled) {
    std::vector<std::uint64_t> everyFourHundred; // icons added, 1000 to 69800 ms
    for (std::uint64_t at = 1000; at <= 69800; at += 400)
        everyFourHundred.push_back(at);
    const struct {
        const char* name;
        std::vector<Event> events;
        std::vector<std::uint64_t> iconsAdded;
        std::vector<std::uint64_t> restoresAt;
        std::optional<std::pair<std::uint64_t, std::uint64_t>> quiet; // no timer then
    } scenes[] = {
        {"one display change", {{1000, WM_DISPLAYCHANGE}}, {}, {3010}, {}},
        {"a burst of every kind of event",
         {{1000, WM_DISPLAYCHANGE},
          {1300, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK},
          {1700, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC},
          {1750, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND},
          {2400, kTaskbarCreated}},
         {},
         {4400},
         {}},
        {"two bursts, two restores",
         {{1000, WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT},
          {10000, WM_WTSSESSION_CHANGE, WTS_REMOTE_CONNECT},
          {10100, WM_DISPLAYCHANGE}},
         {},
         {3010, 12100},
         std::make_pair(3011, 9999)},
        {"what brings no restore",
         {{1000, WM_WTSSESSION_CHANGE, kSessionLock},
          {1100, WM_WTSSESSION_CHANGE, kConsoleDisconnect},
          {1200, WM_WTSSESSION_CHANGE, kRemoteDisconnect},
          {1300, WM_POWERBROADCAST, kSuspend},
          {1400, WM_POWERBROADCAST, kPowerStatusChange},
          {1500, WM_ENDSESSION, 0}, // a log-off called off
          {1600, WM_TIMER, 7}},     // a timer that is not the watcher's
         {},
         {},
         std::make_pair(0, 100000)},
        // Seen at 1010, 2010 (one more since 1800) and 3010 (one more since 2600).
        {"a count that changes twice", {{1000, WM_DISPLAYCHANGE}}, {1800, 2600}, {5010}, {}},
        // Given up at 61000; the next burst sees the last change at 70010.
        {"a count that keeps changing for over a minute",
         {{1000, WM_DISPLAYCHANGE}, {65000, kTaskbarCreated}},
         everyFourHundred,
         {72010},
         std::make_pair(61001, 64999)},
    };
    for (const auto& scene : scenes) {
        SCOPED_TRACE(scene.name);
        SimWatcherWindow window(*session);
        for (const Event& event : scene.events)
            Post(window, event);
        for (std::uint64_t at : scene.iconsAdded)
            AddIconAt(window, at);
        EXPECT_EQ(Watch(window), 0);
        EXPECT_EQ(restores, scene.restoresAt);
        EXPECT_TRUE(window.idleForEver());
        ExpectEnded(window);
        if (scene.quiet) {
            for (std::uint64_t at : window.timerTimes())
                EXPECT_FALSE(at >= scene.quiet->first && at <= scene.quiet->second) << at;
        }
        std::vector<Point> icons = Positions(shell.listView);
        icons.resize(kIcons.size());
        EXPECT_EQ(icons, scene.restoresAt.empty() ? scrambled : SavedPositions());
        ExpectNothingWritten();
        ExpectNothingLeaked();
        NewSession();
        SetUp();
    }
}

// Explorer restarting: its desktop is gone for a while, then a new one comes with the same icons.
// A count that cannot be had is no settled desktop; the restore comes 2 s after the new desktop's
// count was first seen, and places the new desktop's icons. A desktop that stops answering is
// never taken for a settled one: the burst is given up and nothing is moved.
TEST_F(WatcherTest, ADesktopThatIsGoneOrDoesNotAnswerIsNotSettled) {
    {
        SCOPED_TRACE("Explorer restarted");
        SimWatcherWindow window(*session);
        sim::SimShell next;
        window.At(500, [&] { session->DestroyWindow(shell.progman); });
        Post(window, {1000, kTaskbarCreated});
        window.At(6000, [&] {
            next = session->CreateShell();
            for (std::size_t i = 0; i < kIcons.size(); ++i)
                session->AddItem(next.listView, kIcons[i].first, scrambled[i]);
        });
        EXPECT_EQ(Watch(window), 0);
        EXPECT_EQ(restores, std::vector<std::uint64_t>{8010});
        EXPECT_EQ(Positions(next.listView), SavedPositions());
        ExpectEnded(window);
        ExpectNothingWritten();
    }
    NewSession();
    SetUp();
    {
        SCOPED_TRACE("a desktop that stops answering");
        SimWatcherWindow window(*session);
        window.At(500, [&] { session->HangAfterRequests(shell.listView, 0); });
        Post(window, {1000, WM_DISPLAYCHANGE});
        EXPECT_EQ(Watch(window), 0);
        EXPECT_TRUE(restores.empty());
        EXPECT_EQ(session->CountMessages(LVM_SETITEMPOSITION), 0);
        EXPECT_EQ(Positions(shell.listView), scrambled);
        // Given up 60 s after the event: its last look at the count began before then.
        ASSERT_FALSE(window.timerTimes().empty());
        EXPECT_LE(window.timerTimes().back(), 61000u);
        ExpectEnded(window);
        ExpectNothingWritten();
    }
}

// The layout restored is the one of the screen's size when the desktop has settled, in its own
// file; a size that has no layout moves nothing at all (no icon placed from the start point, no
// view switched, no painting held), and no file is made for it.
TEST_F(WatcherTest, TheLayoutOfTheScreenSizeItHasNow) {
    const char* const kLarge = "C:\\Tools\\USER1@DESK1@1280x1024.txt";
    const std::vector<Point> large = {{50, 60}, {700, 80}, {900, 950}};
    const struct {
        const char* name;
        bool largeLayout;
        bool backAgain; // the screen returns to 1024x768 with an event at 6000
        std::vector<Point> icons;
    } scenes[] = {
        {"1280x1024 without a layout", false, false, scrambled},
        {"1280x1024 with its own layout", true, false, large},
        {"1280x1024 and back to 1024x768", true, true, SavedPositions()},
    };
    for (const auto& scene : scenes) {
        SCOPED_TRACE(scene.name);
        if (scene.largeLayout) {
            std::string text;
            for (std::size_t i = 0; i < large.size(); ++i)
                text += std::to_string(large[i].x) + "," + std::to_string(large[i].y) + "," +
                        kIcons[i].first + "\r\n";
            session->WriteFileBytes(kLarge, text);
        }
        SimWatcherWindow window(*session);
        window.At(500, [&] { session->SetScreenPixels(1280, 1024); });
        Post(window, {1000, WM_DISPLAYCHANGE});
        if (scene.backAgain) {
            window.At(5000, [&] {
                EXPECT_EQ(Positions(shell.listView), large);
                session->SetScreenPixels(1024, 768);
            });
            Post(window, {6000, WM_DISPLAYCHANGE});
        }
        session->ClearCalls();
        EXPECT_EQ(Watch(window), 0);
        EXPECT_EQ(Positions(shell.listView), scene.icons);
        const int restored = (scene.largeLayout ? 1 : 0) + (scene.backAgain ? 1 : 0);
        EXPECT_EQ(static_cast<int>(restores.size()), restored);
        if (!scene.largeLayout) {
            EXPECT_EQ(session->CountMessages(LVM_SETITEMPOSITION), 0);
            EXPECT_EQ(session->CountMessages(WM_STYLECHANGED), 0);
            EXPECT_FALSE(session->FileExists(kLarge));
        }
        EXPECT_EQ(session->FileBytes(kLayout), saved);
        ExpectEnded(window);
        NewSession();
        SetUp();
    }
}

// The watcher's restore is the one "-r" makes: the stored view mode, the placement settings for
// icons the layout does not know, auto-arrange switched off for the moves and on again (which
// arranges the icons), and the desktop painted once at the end. The same scrambled desktop
// restored by "-r" ends the same, with auto-arrange off and on.
struct Outcome {
    std::vector<Point> icons;
    DWORD view;
    bool autoArrange, painting, oldPicture;
    int viewChanges, moves;
    friend bool operator==(const Outcome& a, const Outcome& b) {
        return a.icons == b.icons && a.view == b.view && a.autoArrange == b.autoArrange &&
               a.painting == b.painting && a.oldPicture == b.oldPicture &&
               a.viewChanges == b.viewChanges && a.moves == b.moves;
    }
};

TEST_F(WatcherTest, TheRestoreIsTheOneOfDashR) {
    for (const DWORD style : {DWORD{0}, LVS_AUTOARRANGE}) {
        SCOPED_TRACE(style ? "auto-arrange on" : "auto-arrange off");
        WriteIni(*session, "IconType", "USER1@DESK1", "Small Icon");
        WriteIni(*session, "USER1@DESK1", "StartX", "640");
        WriteIni(*session, "USER1@DESK1", "StartY", "30");
        WriteIni(*session, "USER1@DESK1", "DeltaX", "-40");
        session->AddItem(shell.listView, "Not in the layout", Point{1, 2});
        session->AddItem(shell.listView, "Nor this one", Point{3, 4});
        const std::vector<Point> before = Positions(shell.listView);
        const auto run = [&](const std::function<void()>& restore) {
            for (std::size_t i = 0; i < before.size(); ++i)
                session->Items(shell.listView)[i].position = before[i];
            session->SetStyle(shell.listView, style);
            const int views = session->ViewChanges(shell.listView);
            session->ClearCalls();
            restore();
            return Outcome{Positions(shell.listView),
                           session->CurrentView(shell.listView),
                           session->AutoArrange(shell.listView),
                           session->PaintingOn(shell.listView),
                           session->ShowsOldPicture(shell.listView),
                           session->ViewChanges(shell.listView) - views,
                           session->CountMessages(LVM_SETITEMPOSITION)};
        };
        const Outcome watched = run([&] {
            SimWatcherWindow window(*session);
            Post(window, {1000, WM_DISPLAYCHANGE});
            EXPECT_EQ(Watch(window), 0);
        });
        ASSERT_EQ(restores.size(), 1u);
        const Outcome restored = run([&] {
            Start("-r");
            EXPECT_EQ(form->exitStatus(), ExitStatus::Ok);
        });
        EXPECT_TRUE(watched == restored);
        EXPECT_EQ(watched.view, 2u) << "small icons";
        EXPECT_EQ(watched.viewChanges, 1);
        EXPECT_EQ(watched.moves, 5);
        EXPECT_EQ(watched.autoArrange, style != 0);
        EXPECT_TRUE(watched.painting && !watched.oldPicture);
        if (style == 0) {
            std::vector<Point> expected = SavedPositions();
            expected.push_back({640, 30});
            expected.push_back({600, 50});
            EXPECT_EQ(watched.icons, expected);
        }
        EXPECT_EQ(session->FileBytes(kLayout), saved);
        ExpectNothingLeaked();
        NewSession();
        SetUp();
    }
}

// What ends the watcher: "-q" from another process, whether the watcher waits for an event or for
// the desktop to settle (no restore comes after it), and the end of the session (WM_ENDSESSION),
// but not a log-off called off. It ends with 0; its window and its mark are gone, so a new "-w"
// can start. "-q" ends with 0 too, and with none running it asks nothing of anyone.
TEST_F(WatcherTest, QuitAndTheEndOfTheSessionEndIt) {
    enum class End { Quit, LogOff, LogOffCalledOff };
    const struct {
        const char* name;
        std::uint64_t endAt;
        End end;
    } scenes[] = {
        {"-q while it waits for an event", 5000, End::Quit},
        {"-q while it waits for the desktop to settle", 1500, End::Quit},
        {"log-off", 1500, End::LogOff},
        {"a log-off called off", 1500, End::LogOffCalledOff},
    };
    for (const auto& scene : scenes) {
        SCOPED_TRACE(scene.name);
        SimWatcherWindow window(*session);
        Post(window, {1000, WM_DISPLAYCHANGE});
        window.At(scene.endAt, [&] {
            EXPECT_TRUE(MarkExists());
            if (scene.end == End::Quit)
                EXPECT_EQ(QuitFromAnotherProcess(), 0);
            else
                session->PostMessageA(HWND_BROADCAST, WM_ENDSESSION, scene.end == End::LogOff, 0);
        });
        const bool ends = scene.end != End::LogOffCalledOff;
        EXPECT_EQ(Watch(window), 0);
        EXPECT_NE(window.idleForEver(), ends);
        EXPECT_EQ(restores.size(), ends && scene.endAt < 3010 ? 0u : 1u);
        ExpectEnded(window);
        ExpectNothingWritten();
        ExpectNothingLeaked();
        NewSession();
        SetUp();
    }
    EXPECT_EQ(QuitFromAnotherProcess(), 0);
    EXPECT_EQ(session->CountCalls("PostMessageA"), 0);
    EXPECT_FALSE(MarkExists());
    ExpectNothingLeaked();
}

// One watcher per session: a second "-w" while one runs ends at once with 0, with no window of its
// own, and the first goes on. Once the first has ended, a new one starts. A window that cannot
// be created ends "-w" with 3 and leaves no mark behind.
TEST_F(WatcherTest, OneWatcherPerSession) {
    SimWatcherWindow window(*session);
    int second = -1;
    SimWatcherWindow secondWindow(*session);
    window.At(2000, [&] { session->AsOtherProcess([&] { second = Watch(secondWindow); }); });
    Post(window, {3000, WM_DISPLAYCHANGE});
    window.At(9000, [&] { EXPECT_EQ(QuitFromAnotherProcess(), 0); });
    EXPECT_EQ(Watch(window), 0);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(secondWindow.window(), Hwnd{0}) << "the second made a window";
    EXPECT_EQ(restores, std::vector<std::uint64_t>{5010});
    ExpectEnded(window);

    SimWatcherWindow next(*session);
    EXPECT_EQ(Watch(next), 0);
    EXPECT_NE(next.window(), Hwnd{0});
    EXPECT_TRUE(next.idleForEver());

    SimWatcherWindow refused(*session);
    refused.RefuseCreation();
    EXPECT_EQ(Watch(refused), static_cast<int>(ExitStatus::StartFailed));
    EXPECT_FALSE(MarkExists());
    ExpectNothingWritten();
    ExpectNothingLeaked();
}

// Windows hands a message sent from another thread to the watcher while it waits for one of the
// desktop's answers, so an event can come in the middle of a restore: it begins a new burst, and
// a second restore follows once the desktop has settled again. A log-off sent then ends the
// watcher once the restore under way has ended, and nothing follows.
TEST_F(WatcherTest, AnEventDuringARestore) {
    for (const UINT sent : {WM_DISPLAYCHANGE, WM_ENDSESSION}) {
        SCOPED_TRACE(sent == WM_DISPLAYCHANGE ? "a display change" : "a log-off");
        SimWatcherWindow window(*session);
        duringRequest = [&, done = false](const sim::SimCall& call) mutable {
            if (!done && call.message == LVM_SETITEMPOSITION) {
                done = true;
                window.Send(sent, 1);
            }
        };
        Post(window, {1000, WM_DISPLAYCHANGE});
        EXPECT_EQ(Watch(window), 0);
        if (sent == WM_DISPLAYCHANGE)
            EXPECT_EQ(restores, (std::vector<std::uint64_t>{3010, 5020}));
        else
            EXPECT_EQ(restores, std::vector<std::uint64_t>{3010});
        EXPECT_EQ(Positions(shell.listView), SavedPositions()) << "the restore went to its end";
        ExpectEnded(window);
        duringRequest = nullptr;
        NewSession();
        SetUp();
    }
}

} // namespace
} // namespace pindrel::testing
