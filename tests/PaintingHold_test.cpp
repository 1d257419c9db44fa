// The restore holds the list view's painting while it moves the icons: WM_SETREDRAW FALSE before
// the first move, TRUE after the last, then one invalidation, on every machine and transport, and
// painting comes back on whatever fails on the way; also where the restore is part of the window's
// procedures.
#include "SimFixture.h"
#include "modPindrel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace pindrel;
using pindrel::testing::Items;
using pindrel::testing::kIni;

namespace {

const Items kIcons = {{"Work files", {120, 45}}, {"Notes", {-75, 20}}, {"New", {9, 9}}};
// "New" is not in the file: it takes the cursor.
const char* const kLayoutText = "1,2,Work files\r\n3,4,Notes\r\n";

} // namespace

class PaintingHold : public pindrel::testing::FormTest {
  protected:
    // What reached the list view `lv` and its shell view since ClearCalls(), in order: "off" and
    // "on" (WM_SETREDRAW), "moves" (one or more LVM_SETITEMPOSITION in a row), "invalidate",
    // "view" (WM_STYLECHANGED), "toggle" (the auto-arrange command). Painting requests and
    // invalidations of any other window are named with it.
    std::vector<std::string> Events(Hwnd lv) const {
        std::vector<std::string> events;
        auto add = [&](const std::string& event, Hwnd window) {
            const std::string named = window == lv ? event : event + " " + sim::Hex(raw(window));
            if (named != "moves" || events.empty() || events.back() != "moves")
                events.push_back(named);
        };
        for (const sim::SimCall& c : session->Calls()) {
            if (c.function == "InvalidateRect")
                add("invalidate", c.window);
            else if (c.function != "SendMessageA")
                continue;
            else if (c.message == win::WM_SETREDRAW)
                add(c.wParam == 0 ? "off" : "on", c.window);
            else if (c.message == win::LVM_SETITEMPOSITION)
                add("moves", c.window);
            else if (c.message == win::WM_STYLECHANGED)
                add("view", c.window);
            else if (c.message == win::WM_COMMAND)
                events.push_back("toggle");
        }
        return events;
    }
    int Count(const std::string& event, Hwnd lv) const {
        int n = 0;
        for (const std::string& e : Events(lv))
            n += e == event ? 1 : 0;
        return n;
    }
    // Painting is on and shows the icons where they are now, when the list view still exists.
    void ExpectPaintingOn(Hwnd lv) const {
        if (session->IsWindow(lv)) {
            EXPECT_TRUE(session->PaintingOn(lv));
            EXPECT_FALSE(session->ShowsOldPicture(lv));
        }
        // Every request that turned painting off was followed by one that turned it on.
        EXPECT_EQ(Count("off", lv), Count("on", lv));
        EXPECT_LE(Count("off", lv), 1);
    }
    modPindrel::RestoreReport Restore(const std::string& text = kLayoutText) {
        ProgramState state;
        state.startX = 500;
        state.startY = 300;
        state.deltaY = 20;
        return modPindrel::RestoreLayout(*session, state, text);
    }
};

// The simulated list view paints as a real one does: each change at once while painting is on;
// while it is off the old picture stays, through an invalidation too, and turning painting on
// again repaints nothing by itself.
TEST_F(PaintingHold, SimulatedListViewPaintsOnlyWithPaintingOn) {
    const sim::SimShell shell = Desktop(kIcons);
    const Hwnd lv = shell.listView;
    auto move = [&] { session->SendMessageA(lv, win::LVM_SETITEMPOSITION, 0, 0x00050004); };
    auto redraw = [&](WPARAM on) { session->SendMessageA(lv, win::WM_SETREDRAW, on, 0); };
    const struct {
        const char* step;
        std::function<void()> run;
        bool on, old;
        int painted;
    } steps[] = {
        {"a move", move, true, false, 1},
        {"painting off", [&] { redraw(0); }, false, false, 1},
        {"a move held", move, false, true, 1},
        {"an invalidation while held", [&] { session->InvalidateRect(lv, nullptr, 1); }, false,
         true, 1},
        {"painting on", [&] { redraw(1); }, true, true, 1},
        {"an invalidation", [&] { session->InvalidateRect(lv, nullptr, 1); }, true, false, 1},
        {"a move", move, true, false, 2},
    };
    for (const auto& s : steps) {
        s.run();
        EXPECT_EQ(session->PaintingOn(lv), s.on) << s.step;
        EXPECT_EQ(session->ShowsOldPicture(lv), s.old) << s.step;
        EXPECT_EQ(session->PaintedChanges(lv), s.painted) << s.step;
    }
    EXPECT_EQ(session->Invalidates(lv), 2);
    EXPECT_EQ(session->Items(lv)[0].position, (Point{4, 5}));
    // Window 0 would be every window on the screen; a window that is gone fails.
    EXPECT_EQ(session->InvalidateRect(Hwnd{0}, nullptr, 1), 0);
    ASSERT_EQ(session->Faults().size(), 1u);
    session->DestroyWindow(lv);
    EXPECT_EQ(session->InvalidateRect(lv, nullptr, 1), 0);
}

// The moves happen with painting off, so none of them is painted by itself; then painting goes on
// and the list view is repainted once. The same through process memory and through a shared
// mapping, as either program, with auto-arrange switched off for the moves and on again after
// them. Without moves nothing is held.
TEST_F(PaintingHold, TheMovesArePaintedOnceAfterTheLast) {
    constexpr DWORD kNt = win::VER_PLATFORM_WIN32_NT, k98 = win::VER_PLATFORM_WIN32_WINDOWS;
    const std::vector<std::string> held = {"off", "moves", "on", "invalidate"};
    // Auto-arrange is switched off for the moves and on again after them.
    const std::vector<std::string> arranged = {"toggle", "off",        "moves",
                                               "on",     "invalidate", "toggle"};
    const struct {
        const char* name;
        int windowsBits, programBits, shellBits;
        DWORD platform;
        DWORD style;
        bool icons;
        std::vector<std::string> events;
    } scenes[] = {
        {"x64 program, 64-bit shell", 64, 64, 64, kNt, 0, true, held},
        {"x86 program, WOW64 shell", 64, 32, 32, kNt, 0, true, held},
        {"x64 program, WOW64 shell, auto-arrange", 64, 64, 32, kNt, win::LVS_AUTOARRANGE, true,
         arranged},
        {"Windows 98, shared mapping", 32, 32, 32, k98, 0, true, held},
        {"an empty desktop", 64, 64, 64, kNt, 0, false, {}},
    };
    for (const auto& scene : scenes) {
        SCOPED_TRACE(scene.name);
        NewSession();
        session->SetWindowsBits(scene.windowsBits);
        session->SetProgramBits(scene.programBits);
        session->SetPlatformId(scene.platform);
        const sim::SimShell shell =
            session->CreateShell(sim::ShellShape::Standard, scene.style, scene.shellBits);
        if (scene.icons)
            for (const auto& [name, position] : kIcons)
                session->AddItem(shell.listView, std::string(name), position);
        session->ClearCalls();
        EXPECT_EQ(Restore().fromFile, scene.icons ? 2 : 0);
        EXPECT_EQ(Events(shell.listView), scene.events);
        // (Switching auto-arrange on again arranges the icons anew.)
        if (scene.style == 0) {
            EXPECT_EQ(Positions(shell.listView),
                      scene.icons ? (std::vector<Point>{{1, 2}, {3, 4}, {500, 300}})
                                  : std::vector<Point>{});
        }
        // Only switching auto-arrange on again arranges (and paints) with painting on.
        EXPECT_EQ(session->PaintedChanges(shell.listView), scene.style != 0 ? 1 : 0);
        EXPECT_EQ(session->Invalidates(shell.listView), scene.icons ? 1 : 0);
        ExpectPaintingOn(shell.listView);
        ExpectNothingLeaked();
    }
    // No desktop: nothing to hold, and no window is asked to paint.
    NewSession();
    session->CreateShell(sim::ShellShape::NoListView);
    session->ClearCalls();
    EXPECT_FALSE(Restore().listViewFound);
    EXPECT_EQ(session->CountMessages(win::WM_SETREDRAW), 0);
    EXPECT_EQ(session->CountCalls("InvalidateRect"), 0);
    ExpectNothingLeaked();
}

// Whatever fails on the way, painting is on again at the end: moves the list view refuses or that
// cannot be made, memory that cannot be had, a failure at any one request, a list view that
// vanishes after any number of requests (then there is nothing to turn on, and no other window is
// asked to paint).
TEST_F(PaintingHold, PaintingComesBackOnWhateverFails) {
    using Fault = std::function<void(const sim::SimShell&)>;
    auto throwAt = [this](int request, std::function<void()> raise) {
        auto seen = std::make_shared<int>(0);
        session->OnSendMessage([=](const sim::SimCall& call) {
            // The request that turns painting on again is left alone: on Windows a sent message
            // does not fail on its way, and a hook that throws here keeps it from arriving at all.
            if (!(call.message == win::WM_SETREDRAW && call.wParam != 0) && ++*seen == request)
                raise();
        });
    };
    // The requests of a restore without faults: each of them is failed in turn below.
    NewSession();
    sim::SimShell shell = Desktop(kIcons);
    session->ClearCalls();
    Restore();
    const int requests = session->CountCalls("SendMessageA");
    const int listViewRequests = static_cast<int>(
        std::count_if(session->Calls().begin(), session->Calls().end(), [&](const sim::SimCall& c) {
            return c.function == "SendMessageA" && c.window == shell.listView;
        }));
    ASSERT_GE(requests, 8);

    struct Case {
        std::string name;
        Fault fault;
        std::string text = kLayoutText;
    };
    std::vector<Case> cases = {
        {"every position out of range", [](const sim::SimShell&) {},
         "99999,99999,Work files\r\n-99999,99999,Notes\r\n"},
        {"the icons go once painting is off: the list view refuses every move",
         [this](const sim::SimShell& s) {
             session->OnSendMessage([=](const sim::SimCall& call) {
                 if (call.message == win::WM_SETREDRAW)
                     session->Items(s.listView).clear();
             });
         }},
        {"no memory in the shell's process",
         [this](const sim::SimShell&) { session->FailAllocations(1000); }},
        {"the shell's process cannot be opened",
         [this](const sim::SimShell&) { session->SetOpenProcessRefused(true); }},
    };
    for (int k = 1; k <= requests; ++k)
        cases.push_back({"a failure at request " + std::to_string(k), [=](const sim::SimShell&) {
                             throwAt(k, [] { throw std::runtime_error("injected"); });
                         }});
    for (int k = 1; k <= listViewRequests; ++k)
        cases.push_back(
            {"the list view vanishes after request " + std::to_string(k),
             [=](const sim::SimShell& s) { session->DestroyWindowAfterRequests(s.listView, k); }});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NewSession();
        shell = Desktop(kIcons);
        c.fault(shell);
        session->ClearCalls();
        EXPECT_NO_THROW(Restore(c.text));
        ExpectPaintingOn(shell.listView);
        EXPECT_EQ(Count("invalidate", shell.listView), Count("on", shell.listView));
        for (const std::string& e : Events(shell.listView))
            EXPECT_EQ(e.find(' '), std::string::npos) << e << " went to another window";
        ExpectNothingLeaked();
    }
}

// The window's restores hold painting too: "-r", Load, and Set IconType, whose save holds
// nothing and whose restore switches the view first, with painting on, and then moves the icons
// with it off, also when its moves fail.
TEST_F(PaintingHold, TheWindowsRestoresHoldPaintingAfterTheViewSwitch) {
    const std::vector<std::string> held = {"view", "off", "moves", "on", "invalidate"};
    const struct {
        const char* name;
        std::function<void()> run;
        std::vector<std::string> events;
    } paths[] = {
        {"-r", [this] { Start("-r"); }, held},
        {"Load",
         [this] {
             Start();
             form->ButtonClicked(Button::Load);
         },
         held},
        {"Set IconType",
         [this] {
             Start();
             form->ButtonClicked(Button::SetIconType);
         },
         held},
        {"Set IconType, the list view vanishing at the restore's second move",
         [this] {
             Start();
             const Hwnd lv = modPindrel::FindDesktopListView(*session);
             auto moves = std::make_shared<int>(0);
             session->OnSendMessage([=](const sim::SimCall& call) {
                 if (call.window == lv && call.message == win::LVM_SETITEMPOSITION && ++*moves == 2)
                     session->DestroyWindowAfterRequests(lv, 1);
             });
             form->ButtonClicked(Button::SetIconType);
         },
         {"view", "off", "moves", "on", "invalidate"}},
    };
    for (const auto& path : paths) {
        SCOPED_TRACE(path.name);
        NewSession();
        const sim::SimShell shell = Desktop(kIcons);
        session->WritePrivateProfileStringA("USER1@DESK1", "IconType", "Small Icon", kIni);
        session->WriteFileBytes(pindrel::testing::kLayout, kLayoutText);
        session->ClearCalls();
        path.run();
        EXPECT_EQ(Events(shell.listView), path.events);
        ExpectPaintingOn(shell.listView);
        if (session->IsWindow(shell.listView)) {
            // The view switch arranged and painted the icons; each move was painted only at the
            // end.
            EXPECT_EQ(session->PaintedChanges(shell.listView), 1);
            EXPECT_EQ(session->CurrentView(shell.listView), 2u);
        }
        ExpectNothingLeaked();
    }
}
