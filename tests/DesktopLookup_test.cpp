// Finding the desktop's list view: under "Progman", else under the first top-level "WorkerW" that
// holds the shell view, else among the top-level windows, with no more lookups than that takes.
#include "ListViewDesktop.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace pindrel;
using pindrel::testing::SimTest;

class DesktopLookup : public SimTest {
  protected:
    // The windows of a scene, created in order in one process: "<class>" for a top-level window,
    // "<class>:<k>" for a child of the k-th window. The windows come back in the same order; the
    // one marked "*" is also returned in `marked` (left as it is when none is).
    std::vector<Hwnd> Build(const std::string& layout, Hwnd& marked) {
        const Pid process = session->CreateProcess();
        std::vector<Hwnd> windows;
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
        {"no view: the first top-level list view", "Progman *SysListView32", 3},
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
}

// The lookups above only ever search after a top-level window that exists. A window given that is
// no child of the parent, or is gone, ends the search: the simulated FindWindowExA finds nothing.
TEST_F(DesktopLookup, SimulatedSearchAfterAWindowThatIsNoChildOfTheParentFindsNothing) {
    Hwnd none{};
    const std::vector<Hwnd> w = Build("WorkerW WorkerW:0 WorkerW WorkerW:0 WorkerW", none);
    session->DestroyWindow(w[4]);
    EXPECT_EQ(session->FindWindowExA(w[0], w[1], "WorkerW", nullptr), w[3]);
    EXPECT_EQ(session->FindWindowExA(none, w[0], "WorkerW", nullptr), w[2]);
    EXPECT_EQ(session->FindWindowExA(none, w[1], "WorkerW", nullptr), none);
    EXPECT_EQ(session->FindWindowExA(w[0], w[2], "WorkerW", nullptr), none);
    EXPECT_EQ(session->FindWindowExA(none, w[4], "WorkerW", nullptr), none);
}
