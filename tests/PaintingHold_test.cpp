// The restore holds the list view's painting while it moves the icons: WM_SETREDRAW FALSE before
// the first move, TRUE after the last, then one invalidation, on either transport and in the
// window's restore, and painting comes back on whatever fails on the way.
#include "SimFixture.h"
#include "modPindrel.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

using namespace pindrel;
using namespace pindrel::testing;
using Events = std::vector<std::string>;

namespace {

const Items kIcons = {{"Work files", {120, 45}}, {"Notes", {-75, 20}}, {"New", {9, 9}}};
// "New" is not in the file: it takes the cursor.
const char* const kLayoutText = "1,2,Work files\r\n3,4,Notes\r\n";

} // namespace

class PaintingHold : public FormTest {
  protected:
    // What reached the list view `lv` since ClearCalls(), in order: "off" and "on"
    // (WM_SETREDRAW), "moves" (LVM_SETITEMPOSITION, one or more in a row), "invalidate", "view"
    // (WM_STYLECHANGED) and "toggle" (the auto-arrange command, which goes to the shell view).
    // What reached any other window is marked "elsewhere".
    Events EventsOf(Hwnd lv) const {
        Events events;
        for (const sim::SimCall& c : session->Calls()) {
            const UINT m = c.function == "SendMessageTimeoutA" ? c.message : 0;
            const std::string e = c.function == "InvalidateRect"  ? "invalidate"
                                  : m == win::WM_SETREDRAW        ? (c.wParam ? "on" : "off")
                                  : m == win::LVM_SETITEMPOSITION ? "moves"
                                  : m == win::WM_STYLECHANGED     ? "view"
                                  : m == win::WM_COMMAND          ? "toggle"
                                                                  : "";
            if (!e.empty() && !(e == "moves" && !events.empty() && events.back() == e))
                events.push_back(c.window == lv || e == "toggle" ? e : e + " elsewhere");
        }
        return events;
    }
    // Painting is on and shows the icons where they are now, when the list view still exists, and
    // the list view was asked to paint either not at all or off, on again and once invalidated.
    void ExpectPaintingOn(Hwnd lv) const {
        if (session->IsWindow(lv)) {
            EXPECT_TRUE(session->PaintingOn(lv));
            EXPECT_FALSE(session->ShowsOldPicture(lv));
        }
        Events painting;
        for (const std::string& e : EventsOf(lv))
            if (e != "moves" && e != "view" && e != "toggle")
                painting.push_back(e);
        EXPECT_TRUE(painting.empty() || painting == (Events{"off", "on", "invalidate"}))
            << ::testing::PrintToString(painting);
    }
    // A restore of the layout text from the cursor (500, 300) going down 20 pixels a step.
    void Restore(const std::string& text = kLayoutText) {
        ProgramState state;
        std::tie(state.startX, state.startY, state.deltaY) = std::make_tuple(500, 300, 20);
        modPindrel::RestoreLayout(*session, state, text);
    }
};

// The simulated list view paints as a real one does: each change at once while painting is on;
// while it is off the old picture stays, through an invalidation too, and turning painting on
// again repaints nothing by itself.
TEST_F(PaintingHold, SimulatedListViewPaintsOnlyWithPaintingOn) {
    const Hwnd lv = Desktop(kIcons).listView;
    auto move = [&] { Send(*session, lv, win::LVM_SETITEMPOSITION, 0, 0x00050004); };
    move();
    Send(*session, lv, win::WM_SETREDRAW, 0, 0);
    move();
    session->InvalidateRect(lv, nullptr, 1);
    Send(*session, lv, win::WM_SETREDRAW, 1, 0);
    EXPECT_TRUE(session->ShowsOldPicture(lv));
    session->InvalidateRect(lv, nullptr, 1);
    EXPECT_FALSE(session->ShowsOldPicture(lv));
    EXPECT_EQ(session->PaintedChanges(lv), 1);
    move();
    EXPECT_EQ(session->PaintedChanges(lv), 2);
    // Window 0 would be every window on the screen.
    EXPECT_EQ(session->InvalidateRect(Hwnd{0}, nullptr, 1), 0);
    EXPECT_EQ(session->Faults().size(), 1u);
}

// The moves happen with painting off, so none of them is painted by itself; then painting goes on
// and the list view is repainted once: through process memory and through a shared mapping, with
// auto-arrange switched off for the moves and on again after them, and in the window's restore,
// which switches the view first, with painting on. Without moves nothing is held. And whatever
// fails on the way, painting is on again at the end: a failure at any one request, a list view
// that vanishes after any number of requests (then there is nothing to turn on, and no other
// window is asked to paint).
TEST_F(PaintingHold, TheMovesArePaintedOnceAfterTheLastWhateverFails) {
    constexpr DWORD kNt = win::VER_PLATFORM_WIN32_NT, k98 = win::VER_PLATFORM_WIN32_WINDOWS;
    const Events held = {"off", "moves", "on", "invalidate"};
    const Events arranged = {"toggle", "off", "moves", "on", "invalidate", "toggle"};
    const struct {
        const char* name;
        DWORD platform, style;
        Items icons;
        const char* text; // the layout restored; nullptr: the window's "-r", small icons stored
        Events events;
        int painted; // changes painted one at a time: arrangements only
    } scenes[] = {
        {"process memory", kNt, 0, kIcons, kLayoutText, held, 0},
        {"Windows 98, shared mapping", k98, 0, kIcons, kLayoutText, held, 0},
        {"auto-arrange", kNt, win::LVS_AUTOARRANGE, kIcons, kLayoutText, arranged, 1},
        {"an empty desktop", kNt, 0, {}, kLayoutText, {}, 0},
        {"-r", kNt, 0, kIcons, nullptr, {"view", "off", "moves", "on", "invalidate"}, 1},
    };
    for (const auto& scene : scenes) {
        // The scene with `fault` injected once the desktop is there; the desktop list view.
        auto run = [&](const std::string& what, const std::function<void(Hwnd)>& fault) {
            SCOPED_TRACE(what);
            NewSession().SetPlatformId(scene.platform);
            const Hwnd lv = Desktop(scene.icons, scene.style).listView;
            session->WriteFileBytes(kIni, "[IconType]\r\nUSER1@DESK1=Small Icon\r\n");
            session->WriteFileBytes(kLayout, kLayoutText);
            fault(lv);
            session->ClearCalls();
            if (scene.text)
                EXPECT_NO_THROW(Restore(scene.text));
            else
                Start("-r");
            ExpectPaintingOn(lv);
            ExpectNothingLeaked();
            return lv;
        };
        SCOPED_TRACE(scene.name);
        const Hwnd lv = run("no fault", [](Hwnd) {});
        EXPECT_EQ(EventsOf(lv), scene.events);
        EXPECT_EQ(session->PaintedChanges(lv), scene.painted);
        // Every request in turn fails, until a run has no k-th request.
        for (int k = 1, seen = 1; seen >= k; ++k) {
            seen = 0;
            run("a failure at request " + std::to_string(k), [&](Hwnd) {
                // The request that turns painting on again is left alone: on Windows a sent
                // message does not fail on its way, and a hook that throws there keeps it from
                // arriving.
                session->OnSendMessage([&seen, k](const sim::SimCall& c) {
                    if (++seen == k && !(c.message == win::WM_SETREDRAW && c.wParam != 0))
                        throw std::runtime_error("injected");
                });
            });
        }
        // The list view vanishes after each of its requests in turn, until it outlives them all.
        for (int k = 1;; ++k) {
            const Hwnd last = run("the list view vanishes after request " + std::to_string(k),
                                  [&](Hwnd d) { session->DestroyWindowAfterRequests(d, k); });
            if (session->IsWindow(last))
                break;
        }
    }
    // No desktop: nothing to hold, and no window is asked to paint.
    NewSession().CreateShell(sim::ShellShape::NoListView);
    Restore();
    EXPECT_EQ(EventsOf(Hwnd{0}), Events{});
}
