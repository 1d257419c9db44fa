// Finding the desktop's list view: under "Progman" with exactly the lookups it always made, under
// the first top-level "WorkerW" that holds the shell view when "Progman" is empty, and among the
// top-level windows when neither holds one. And the simulated FindWindowExA's search after a
// given window, which the "WorkerW" search relies on.
#include "SimFixture.h"
#include "modPindrel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace pindrel;
using pindrel::testing::FormTest;
using pindrel::testing::kLayout;
using pindrel::testing::SimTest;

namespace {

// A window of a scene: its class and the index of its parent in the scene (-1: top-level).
struct Win {
    const char* className;
    int parent;
};

struct Scene {
    const char* name;
    std::vector<Win> windows;
    int desktop; // the index of the window that is the desktop list view, -1 for none
};

const Scene kScenes[] = {
    {"Progman empty, the view under the second of three WorkerW",
     {{"Progman", -1},
      {"WorkerW", -1},
      {"WorkerW", -1},
      {"SHELLDLL_DefView", 2},
      {"SysListView32", 3},
      {"WorkerW", -1}},
     4},
    {"a view under the first and the third WorkerW: the first listed",
     {{"Progman", -1},
      {"WorkerW", -1},
      {"WorkerW", -1},
      {"WorkerW", -1},
      {"SHELLDLL_DefView", 3},
      {"SysListView32", 4},
      {"SHELLDLL_DefView", 1},
      {"SysListView32", 6}},
     7},
    {"the view under the last WorkerW only",
     {{"Progman", -1},
      {"WorkerW", -1},
      {"WorkerW", -1},
      {"SHELLDLL_DefView", 2},
      {"SysListView32", 3}},
     4},
    {"no Progman at all",
     {{"WorkerW", -1}, {"WorkerW", -1}, {"SHELLDLL_DefView", 1}, {"SysListView32", 2}},
     3},
    {"Progman holds the view: a view under WorkerW does not count",
     {{"WorkerW", -1},
      {"SHELLDLL_DefView", 0},
      {"SysListView32", 1},
      {"Progman", -1},
      {"SHELLDLL_DefView", 3},
      {"SysListView32", 4}},
     5},
    {"a top-level view without Progman comes before WorkerW",
     {{"WorkerW", -1},
      {"SHELLDLL_DefView", 0},
      {"SysListView32", 1},
      {"SHELLDLL_DefView", -1},
      {"SysListView32", 3}},
     4},
    {"the first WorkerW view has no list view: none, the later view is not looked in",
     {{"Progman", -1},
      {"WorkerW", -1},
      {"SHELLDLL_DefView", 1},
      {"WorkerW", -1},
      {"SHELLDLL_DefView", 3},
      {"SysListView32", 4},
      {"SysListView32", -1}},
     -1},
    {"WorkerW without a view: the first top-level list view",
     {{"Progman", -1}, {"WorkerW", -1}, {"SysListView32", -1}, {"WorkerW", -1}},
     2},
    {"a WorkerW that is not top-level is not looked in",
     {{"Progman", -1}, {"WorkerW", 0}, {"SHELLDLL_DefView", 1}, {"SysListView32", 2}},
     -1},
    {"class names match without regard to case",
     {{"PROGMAN", -1}, {"workerw", -1}, {"shelldll_defview", 1}, {"syslistview32", 2}},
     3},
};

} // namespace

class DesktopLookup : public SimTest {
  protected:
    // The lookups since ClearCalls(): "FindWindowA <class>" and "FindWindowExA <parent>
    // <after> <class>", windows by their names in `names`.
    std::vector<std::string> Lookups(const std::vector<std::pair<Hwnd, std::string>>& names) {
        auto name = [&](std::uint64_t value) -> std::string {
            if (value == 0)
                return "0";
            for (const auto& [window, text] : names)
                if (raw(window) == value)
                    return text;
            return sim::Hex(value);
        };
        std::vector<std::string> lookups;
        for (const sim::SimCall& c : session->Calls()) {
            if (c.function == "FindWindowA")
                lookups.push_back("FindWindowA " + c.detail);
            else if (c.function == "FindWindowExA")
                lookups.push_back("FindWindowExA " + name(c.wParam) + " " +
                                  name(static_cast<std::uint64_t>(c.lParam)) + " " + c.detail);
            else
                lookups.push_back(c.function);
        }
        return lookups;
    }
};

TEST_F(DesktopLookup, TheFirstWorkerWThatHoldsTheShellViewWhenProgmanHoldsNone) {
    for (const Scene& scene : kScenes) {
        SCOPED_TRACE(scene.name);
        NewSession();
        const Pid shell = session->CreateProcess();
        std::vector<Hwnd> windows;
        for (const Win& w : scene.windows) {
            const Hwnd parent = w.parent < 0 ? Hwnd{0} : windows.at(w.parent);
            windows.push_back(session->CreateWindow(w.className, parent, shell));
        }
        const Hwnd expected = scene.desktop < 0 ? Hwnd{0} : windows.at(scene.desktop);
        EXPECT_EQ(modPindrel::FindDesktopListView(*session), expected);
    }
}

// The lookups that find the view under "Progman" (or a top-level view) are the three they always
// were, whatever "WorkerW" windows exist. Under "WorkerW" the search goes through them in the
// order FindWindowExA lists them and stops at the first that holds a view.
TEST_F(DesktopLookup, TheRequestsOfEachPath) {
    using sim::ShellShape;
    for (const ShellShape shape : {ShellShape::Standard, ShellShape::NoProgman}) {
        NewSession();
        const Pid other = session->CreateProcess();
        const Hwnd worker = session->CreateWindow("WorkerW", Hwnd{0}, other);
        session->CreateWindow("SysListView32",
                              session->CreateWindow("SHELLDLL_DefView", worker, other), other);
        const sim::SimShell shell = session->CreateShell(shape);
        session->ClearCalls();
        ASSERT_EQ(modPindrel::FindDesktopListView(*session), shell.listView);
        const std::string progman = shape == ShellShape::Standard ? "progman" : "0";
        EXPECT_EQ(Lookups({{shell.progman, "progman"}, {shell.defView, "view"}}),
                  (std::vector<std::string>{"FindWindowA Progman",
                                            "FindWindowExA " + progman + " 0 SHELLDLL_defVIEW",
                                            "FindWindowExA view 0 SysListView32"}));
    }

    NewSession();
    const sim::SimShell shell = session->CreateShell(ShellShape::WorkerW);
    ASSERT_EQ(shell.workers.size(), 3u);
    EXPECT_EQ(session->GetParent(shell.defView), shell.workers[1]);
    EXPECT_EQ(session->FindWindowExA(shell.progman, Hwnd{0}, nullptr, nullptr), Hwnd{0});
    session->ClearCalls();
    ASSERT_EQ(modPindrel::FindDesktopListView(*session), shell.listView);
    EXPECT_EQ(Lookups({{shell.progman, "progman"},
                       {shell.workers[0], "w1"},
                       {shell.workers[1], "w2"},
                       {shell.defView, "view"}}),
              (std::vector<std::string>{
                  "FindWindowA Progman", "FindWindowExA progman 0 SHELLDLL_defVIEW",
                  "FindWindowExA 0 0 WorkerW", "FindWindowExA w1 0 SHELLDLL_defVIEW",
                  "FindWindowExA 0 w1 WorkerW", "FindWindowExA w2 0 SHELLDLL_defVIEW",
                  "FindWindowExA view 0 SysListView32"}));

    // With no view anywhere, every WorkerW is looked in, then the top-level windows.
    session->DestroyWindow(shell.defView);
    session->ClearCalls();
    EXPECT_EQ(modPindrel::FindDesktopListView(*session), Hwnd{0});
    const std::vector<std::string> lookups = Lookups({{shell.progman, "progman"},
                                                      {shell.workers[0], "w1"},
                                                      {shell.workers[1], "w2"},
                                                      {shell.workers[2], "w3"}});
    EXPECT_EQ(lookups, (std::vector<std::string>{
                           "FindWindowA Progman", "FindWindowExA progman 0 SHELLDLL_defVIEW",
                           "FindWindowExA 0 0 WorkerW", "FindWindowExA w1 0 SHELLDLL_defVIEW",
                           "FindWindowExA 0 w1 WorkerW", "FindWindowExA w2 0 SHELLDLL_defVIEW",
                           "FindWindowExA 0 w2 WorkerW", "FindWindowExA w3 0 SHELLDLL_defVIEW",
                           "FindWindowExA 0 w3 WorkerW", "FindWindowExA 0 0 SysListView32"}));
}

// FindWindowExA with a window to start after: it must be a child of the parent (a top-level
// window for parent 0), and the search goes on after it.
TEST_F(DesktopLookup, SimulatedSearchContinuesAfterTheWindowGiven) {
    const Pid p = session->CreateProcess();
    const Hwnd a = session->CreateWindow("WorkerW", Hwnd{0}, p);
    const Hwnd b = session->CreateWindow("Other", Hwnd{0}, p);
    const Hwnd c = session->CreateWindow("WorkerW", Hwnd{0}, p);
    const Hwnd e = session->CreateWindow("WorkerW", c, p);
    const Hwnd d = session->CreateWindow("WorkerW", Hwnd{0}, p);
    const Hwnd gone = session->CreateWindow("WorkerW", Hwnd{0}, p);
    const Hwnd f = session->CreateWindow("WorkerW", Hwnd{0}, p);
    session->DestroyWindow(gone);
    const struct {
        Hwnd parent, after;
        const char* className;
        Hwnd found;
    } cases[] = {
        {Hwnd{0}, Hwnd{0}, "WorkerW", a},    {Hwnd{0}, a, "WorkerW", c},
        {Hwnd{0}, c, "WorkerW", d},          {Hwnd{0}, d, "WorkerW", f},
        {Hwnd{0}, f, "WorkerW", Hwnd{0}},    {Hwnd{0}, a, nullptr, b},
        {Hwnd{0}, e, "WorkerW", Hwnd{0}}, // not a top-level window
        {c, Hwnd{0}, "WorkerW", e},          {c, e, "WorkerW", Hwnd{0}},
        {c, a, "WorkerW", Hwnd{0}}, // not a child of c
        {Hwnd{0}, gone, "WorkerW", Hwnd{0}},
    };
    for (const auto& k : cases)
        EXPECT_EQ(session->FindWindowExA(k.parent, k.after, k.className, nullptr), k.found)
            << sim::Hex(raw(k.parent)) << " after " << sim::Hex(raw(k.after));
}

// The program saves and restores a desktop that lives under WorkerW, and a desktop it cannot find
// is named with both places it looks in.
class DesktopLookupForm : public FormTest {};

TEST_F(DesktopLookupForm, SaveAndRestoreOnTheDesktopUnderWorkerW) {
    const sim::SimShell shell = session->CreateShell(sim::ShellShape::WorkerW);
    session->AddItem(shell.listView, std::string("Work files"), Point{120, 45});
    session->AddItem(shell.listView, std::string("Notes"), Point{-75, 20});
    Start("-s");
    EXPECT_EQ(form->exitStatus(), ExitStatus::Ok);
    EXPECT_EQ(session->FileBytes(kLayout), "120,45,Work files\r\n-75,20,Notes\r\n");
    session->Items(shell.listView)[0].position = Point{1, 2};
    session->Items(shell.listView)[1].position = Point{3, 4};
    Start("-r");
    EXPECT_EQ(form->exitStatus(), ExitStatus::Ok);
    EXPECT_EQ(Positions(shell.listView), (std::vector<Point>{{120, 45}, {-75, 20}}));

    session->DestroyWindow(shell.defView);
    Start();
    form->ButtonClicked(Button::Save);
    ASSERT_EQ(controls->errors.size(), 1u);
    EXPECT_NE(controls->errors[0].find("Progman (or WorkerW) > SHELLDLL_DefView > SysListView32"),
              std::string::npos)
        << controls->errors[0];
    ExpectNothingLeaked();
}
