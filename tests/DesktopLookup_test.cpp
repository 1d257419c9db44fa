// Finding the desktop's list view: under "Progman", else under the first top-level "WorkerW" that
// holds the shell view, else among the top-level windows, with no more lookups than that takes.
// And the simulated FindWindowExA's search after a given window, which the "WorkerW" search
// relies on.
#include "SimFixture.h"
#include "modPindrel.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

using namespace pindrel;
using pindrel::testing::SimTest;

class DesktopLookup : public SimTest {
  protected:
    // The windows of a scene, created in order in one process: "<class>" for a top-level window,
    // "<class>:<k>" for a child of the k-th window. The windows come back in the same order; the
    // one marked "*" is also returned in `marked` (0 when none is).
    std::vector<Hwnd> Build(const std::string& layout, Hwnd& marked) {
        const Pid process = session->CreateProcess();
        std::vector<Hwnd> windows;
        marked = Hwnd{0};
        std::istringstream in(layout);
        for (std::string word; in >> word;) {
            const bool mark = word[0] == '*';
            const std::size_t colon = word.find(':');
            const std::string name = word.substr(mark ? 1 : 0, colon - (mark ? 1 : 0));
            const Hwnd parent = colon == std::string::npos
                                    ? Hwnd{0}
                                    : windows.at(std::stoul(word.substr(colon + 1)));
            windows.push_back(session->CreateWindow(name, parent, process));
            if (mark)
                marked = windows.back();
        }
        return windows;
    }
};

// Each scene, the desktop list view found in it and the number of FindWindowExA calls that took:
// one for the view under "Progman", one per "WorkerW" listed and one per view looked for under
// one, and one for the list view.
TEST_F(DesktopLookup, ProgmanThenTheFirstWorkerWWithAShellViewThenTheTopLevelWindows) {
    const struct {
        const char* name;
        const char* windows; // "*" marks the desktop list view
        int lookups;
    } scenes[] = {
        {"under Progman", "Progman SHELLDLL_DefView:0 *SysListView32:1", 2},
        {"no Progman: a top-level view", "SHELLDLL_DefView *SysListView32:0", 2},
        {"no view: the first top-level list view", "Progman *SysListView32", 3},
        {"a view without a list view", "Progman SHELLDLL_DefView:0", 2},
        {"no windows at all", "", 3},
        {"Progman empty, the view under the second of three WorkerW",
         "Progman WorkerW WorkerW SHELLDLL_DefView:2 *SysListView32:3 WorkerW", 6},
        {"views under the first and the third WorkerW: the first listed",
         "Progman WorkerW WorkerW WorkerW SHELLDLL_DefView:3 SysListView32:4 SHELLDLL_DefView:1 "
         "*SysListView32:6",
         4},
        {"no Progman, the view under the second WorkerW",
         "WorkerW WorkerW SHELLDLL_DefView:1 *SysListView32:2", 6},
        {"Progman holds the view: a view under WorkerW does not count",
         "WorkerW SHELLDLL_DefView:0 SysListView32:1 Progman SHELLDLL_DefView:3 *SysListView32:4",
         2},
        {"a top-level view without Progman comes before WorkerW",
         "WorkerW SHELLDLL_DefView:0 SysListView32:1 SHELLDLL_DefView *SysListView32:3", 2},
        {"the first WorkerW view has no list view: none, the later view is not looked in",
         "Progman WorkerW SHELLDLL_DefView:1 WorkerW SHELLDLL_DefView:3 SysListView32:4 "
         "SysListView32",
         4},
        {"no WorkerW holds a view: every one is looked in, then the top-level list views",
         "Progman WorkerW *SysListView32 WorkerW", 7},
        {"a WorkerW that is not top-level is not looked in",
         "Progman WorkerW:0 SHELLDLL_DefView:1 SysListView32:2", 3},
        {"class names match without regard to case",
         "PROGMAN workerw shelldll_defview:1 *syslistview32:2", 4},
    };
    for (const auto& scene : scenes) {
        SCOPED_TRACE(scene.name);
        NewSession();
        Hwnd desktop{};
        Build(scene.windows, desktop);
        session->ClearCalls();
        EXPECT_EQ(modPindrel::FindDesktopListView(*session), desktop);
        EXPECT_EQ(session->CountCalls("FindWindowA"), 1);
        EXPECT_EQ(session->CountCalls("FindWindowExA"), scene.lookups);
    }
    // The simulated shell in the shape the stand-in desktop takes: the second of three WorkerW.
    NewSession();
    const sim::SimShell shell = session->CreateShell(sim::ShellShape::WorkerW);
    session->ClearCalls();
    EXPECT_EQ(modPindrel::FindDesktopListView(*session), shell.listView);
    EXPECT_EQ(session->CountCalls("FindWindowExA"), 6);
}

// FindWindowExA with a window to start after: it must be a child of the parent (a top-level
// window for parent 0), and the search goes on after it.
TEST_F(DesktopLookup, SimulatedSearchContinuesAfterTheWindowGiven) {
    Hwnd none{};
    const std::vector<Hwnd> w =
        Build("WorkerW Other WorkerW WorkerW:2 WorkerW WorkerW WorkerW", none);
    session->DestroyWindow(w[5]);
    // The parent, the window to start after, the class and the window found. w[5] is gone; after
    // w[3] (no top-level window), w[0] under w[2] (no child of it) and w[5] nothing is found.
    // clang-format off
    const std::tuple<Hwnd, Hwnd, const char*, Hwnd> cases[] = {
        {none, none, "WorkerW", w[0]}, {none, w[0], "WorkerW", w[2]}, {none, w[2], "WorkerW", w[4]},
        {none, w[4], "WorkerW", w[6]}, {none, w[6], "WorkerW", none}, {none, w[0], nullptr, w[1]},
        {w[2], none, "WorkerW", w[3]}, {none, w[3], "WorkerW", none}, {w[2], w[0], "WorkerW", none},
        {none, w[5], "WorkerW", none}};
    // clang-format on
    for (const auto& [parent, after, className, found] : cases)
        EXPECT_EQ(session->FindWindowExA(parent, after, className, nullptr), found)
            << sim::Hex(raw(parent)) << " after " << sim::Hex(raw(after));
}
