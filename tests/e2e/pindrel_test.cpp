// The real pindrel.exe against the stand-in desktop (tools/desktop-host): what a save writes and
// what a save that cannot replace its file leaves, a restore that puts every icon back with the
// real list view's painting held, one that a locked layout stops, the desktop found under
// "WorkerW", the program named by a quoted path, the stored view mode, and a desktop that goes
// away in the middle. The rules that need no real Windows (the restore's search through the file,
// the placement settings' fallbacks, the parsing of the command line, no desktop at all, every
// shape of desktop) are the unit tests' on the simulated session.
#include "Harness.h"

#include <cmath>
#include <cstdio>

namespace e2e {
namespace {

// An icon as the scenario and the state write it: "<x>,<y>,<name>", the name in UTF-8, byte for
// byte.
using Icons = std::vector<std::string>;

// The icons as scenario lines, with `end` after each.
std::string Lines(const Icons& icons, const char* end = "\n") {
    std::string text;
    for (const std::string& icon : icons)
        text += icon + end;
    return text;
}

class PindrelTest : public E2eTest {
  protected:
    static void ExpectNumbers(const DesktopState& state, const std::map<std::string, int>& want) {
        for (const auto& [key, number] : want)
            EXPECT_EQ(state.Number(key), number) << key;
    }
};

// Save, scramble, restore, through each transport in turn: Explorer's folder view (the
// stand-in's COM chain over its real list view) and, with the stand-in's COM part off, the list
// view's messages in the shell's process. Every name, the code page and the file byte for byte
// are the same through both; every icon back, moved with auto-arrange off and with the list view's
// painting held. A folder-view run sends the list view no request that needs its memory and
// allocates none there. The desktop is the first of two list views in the shell view. A save
// replaces the file whole or not at all; a layout held open by another program stops a restore.
// The second pass first restores the layout the first pass saved: one transport reads what the
// other wrote.
TEST_F(PindrelTest, SaveReplacesTheLayoutWholeAndARestorePutsEveryIconBack) {
    ASSERT_EQ(session().info("acp") + " " + session().info("twipsperpixel"), "1252 15,15")
        << "the expected bytes are those of code page 1252, the expected cursor at 96 DPI";
    // Each icon as the scenario gives it and its line in the layout file: one line per item in
    // index order, CR LF, code page 1252, a name cut to its first 40 UTF-16 units (so "é" counts
    // one, not its two UTF-8 bytes).
    const std::vector<std::pair<std::string, std::string>> table = {
        {"120,45,Work files", "120,45,Work files"},
        {"-75,20,Notes \xE6\x97\xA5\xE6\x9C\xAC", "-75,20,Notes ??"}, // outside the code page
        {"333,-23,  padded name  ", "333,-23,padded name"},           // blanks at the ends are cut
        {"-8,300,a, b,c ", "-8,300,a, b,c"},                          // commas stay
        {"5,5,", "5,5,"},            // never matched: takes the cursor
        {"640,412,   ", "640,412,"}, // empty once trimmed: likewise
        {"517,96,Caf\xC3\xA9 \xC3\x91o\xC3\xBA \xE2\x82\xAC!", "517,96,Caf\xE9 \xD1o\xFA \x80!"},
        {"999,701,R\xC3\xA9sum\xC3\xA9 of the quarterly figures, north region v2",
         "999,701,R\xE9sum\xE9 of the quarterly figures, north r"},
        {"48,160,0123456789abcdefghijABCDEFGHIJ0123456789", ""}, // exactly 40: whole
        {"77,431,Work files", ""},                               // a duplicate
    };
    Icons icons;
    std::string saved;
    for (const auto& [icon, line] : table) {
        icons.push_back(icon);
        saved += (line.empty() ? icon : line) + "\r\n";
    }
    const fs::path exe = CopyPindrel("app");
    const fs::path layout = LayoutOf(exe);
    // The restore's outcome: every icon at its place in the file but the two with no name,
    // which take the cursor: it starts at the middle of the screen when no setting says
    // otherwise and steps 20 pixels down for every icon.
    int width = 0, height = 0;
    std::sscanf(session().info("screen").c_str(), "%dx%d", &width, &height);
    const std::string middle = std::to_string(std::lrint(width / 2.0)) + ",";
    Icons expected = icons;
    expected[4] = middle + std::to_string(std::lrint(height / 2.0)) + ",";
    expected[5] = middle + std::to_string(std::lrint(height / 2.0) + 20) + ",   ";
    const int moves = static_cast<int>(icons.size());
    for (const bool folderView : {true, false}) {
        SCOPED_TRACE(folderView ? "through the folder view" : "through the list view");
        StartDesktop(std::string(folderView ? "com=1" : "com=0") +
                     "\nshape=twolistviews\nautoarrange=1\n" + Lines(icons) +
                     "[second]\n31,32,Other one\n");
        if (!folderView) {
            // What the folder view saved, restored through the list view's messages.
            Tool("hostctl", {"scramble"});
            ASSERT_EQ(Run(exe, "pindrel.exe -r"), 0u);
            ASSERT_EQ(Dump().icons, expected);
            TearDown();
            StartDesktop("com=0\nshape=twolistviews\nautoarrange=1\n" + Lines(icons) +
                         "[second]\n31,32,Other one\n");
        }
        ASSERT_EQ(Run(exe, "pindrel.exe -s"), 0u);
        EXPECT_EQ(ReadFile(layout), saved);
        EXPECT_EQ(FilesIn(exe.parent_path()), AppFiles(exe));
        // The save switched auto-arrange off, moved nothing and left painting alone.
        ExpectNumbers(Dump(), {{"autoarrange", 0}, {"moves", 0}, {"redrawoff", 0}});

        // An icon moves; a save while the file is held open by another program ends with
        // status 2 and leaves the file and no temporary one. (The other ways a replace fails are
        // the unit tests' on the simulated session.)
        Tool("hostctl", {"move", "0", "-2", "-3"});
        EXPECT_EQ(
            HostRun({"runlocked", WinPath(layout), WinPath(exe), "pindrel.exe -s"}).at("exit"),
            "2");
        EXPECT_EQ(ReadFile(layout), saved);
        EXPECT_EQ(FilesIn(exe.parent_path()), AppFiles(exe));
        // Once nothing stands in the way, the next save replaces the file.
        ASSERT_EQ(Run(exe, "pindrel.exe -s"), 0u);
        const std::string resaved = "-2,-3,Work files\r\n" + saved.substr(saved.find("-75"));
        EXPECT_EQ(ReadFile(layout), resaved);

        // Scrambled, and auto-arrange on again as the restore starts. A layout file held open by
        // another program cannot be read: status 5, and nothing moves.
        Tool("hostctl", {"scramble"});
        Tool("hostctl", {"toggle"});
        const DesktopState scrambled = Dump();
        ASSERT_EQ(scrambled.Number("autoarrange"), 1);
        Icons back = expected;
        back[0] = "-2,-3,Work files";
        ASSERT_NE(scrambled.icons, back);
        EXPECT_EQ(
            HostRun({"runlocked", WinPath(layout), WinPath(exe), "pindrel.exe -r"}).at("exit"),
            "5");
        ExpectNumbers(Dump(),
                      {{"moves", 0}, {"commoves", 0}, {"autoarrange", 1}, {"redrawoff", 0}});
        ASSERT_EQ(Run(exe, "pindrel.exe -r"), 0u);
        const DesktopState state = Dump();
        EXPECT_EQ(state.icons, back);
        // Auto-arrange was off for every move and is on again now. Painting was turned off once
        // and on once, is on now, and the list view has painted since. A restore writes no
        // layout. Through the folder view every move went in one call, with no list-view request
        // that needs the shell's memory and no allocation there; through the list view, every
        // move arrived with painting off.
        ExpectNumbers(state, {{"arrangedmoves", 0}, {"autoarrange", 1}, {"redrawoff", 1}});
        ExpectNumbers(state, {{"redrawon", 1}, {"redraw", 1}});
        if (folderView) {
            ExpectNumbers(state, {{"commoves", moves},
                                  {"moves", 0},
                                  {"getitems", 0},
                                  {"getpositions", 0},
                                  {"foreignallocs", 0}});
        } else {
            ExpectNumbers(state, {{"commoves", 0}, {"moves", moves}, {"heldmoves", moves}});
            EXPECT_GT(state.Number("foreignallocs"), 0) << "the list view's buffers";
        }
        EXPECT_GT(state.Number("painted"), scrambled.Number("painted"));
        EXPECT_EQ(ReadFile(layout), resaved);
        EXPECT_EQ(FilesIn(exe.parent_path()), AppFiles(exe));
        // The next pass starts from the layout of the first.
        WriteFile(layout, saved);
        TearDown();
    }
}

// The desktop in the shape Windows 7 to 11 take with a wallpaper slideshow ("Progman" empty, the
// shell view under the second of three top-level "WorkerW"), and the program under a name of its
// own in a folder whose name holds a space, named by its quoted path. A restore switches the real
// list view to the view mode stored in the settings file named after the program before it
// places the icons: every switch re-arranges them, so icons at their saved places were placed
// after it. (Which texts name which view, and the view when none is stored, are the unit tests'.)
TEST_F(PindrelTest, TheStoredViewModeOnTheDesktopUnderWorkerW) {
    const fs::path exe = CopyPindrel("my tools", "Tool.exe");
    const Icons icons = {"60,70,One", "-10,210,Two", "430,95,Three"};
    StartDesktop("shape=workerw\nautoarrange=1\n" + Lines(icons));
    ASSERT_EQ(Dump().values.at("viewparent"), "WorkerW 2 of 3");
    EXPECT_EQ(Run(exe, "\"" + WinPath(exe) + "\" -S"), 0u);
    EXPECT_EQ(ReadFile(LayoutOf(exe)), Lines(icons, "\r\n"));
    // The list view's style keeps the view it was made with (icon), so "Icon" after "Report"
    // works only when the switch names the shown view. LVM_GETVIEW: 0 icon, 1 details.
    for (const char* stored : {"Report", "Icon"}) {
        WriteFile(exe.parent_path() / "Tool.ini",
                  "[IconType]\r\n" + session().ProfileKey() + "=" + stored + "\r\n");
        Tool("hostctl", {"scramble"});
        EXPECT_EQ(Run(exe, "Tool.exe -r"), 0u);
        EXPECT_EQ(Dump().Number("view"), stored[0] == 'R' ? 1 : 0) << stored;
    }
    EXPECT_EQ(Dump().icons, icons) << "placed before the switch re-arranged them";
}

// The desktop going away in the middle, right after a given request of Pindrel's: a save fails
// with status 4 and leaves the old layout byte for byte and no temporary file; a restore ends
// with 4 too, and the icon it had moved stays moved. Through the list view's messages the list view
// itself is destroyed after n of them; through the folder view the COM server goes away after n
// calls (past the chain to the view, which the list view would take over from), the list view
// staying.
TEST_F(PindrelTest, ADesktopThatVanishesMidwayLosesNoLayout) {
    const fs::path exe = CopyPindrel("app");
    const std::string old = "200,210,One\r\n300,310,Two\r\n";
    const struct {
        const char* scenario;
        const char* line;
        unsigned long status;
    } scenes[] = {
        // A save's requests: count, two positions, count, two names, count.
        {"com=0\nvanish=3", "pindrel.exe -s", 4},
        {"com=0\nvanish=5", "pindrel.exe -s", 4},
        // A restore's list-view requests (no view mode stored): the count, two names, the count,
        // painting off, two moves, painting on. Gone after the first move, it ends with 4.
        {"com=0\nvanish=6", "pindrel.exe -r", 4},
        // The chain to the view takes five calls that reach the server: past it, in the
        // positions and in the names of a save, in the names of a restore.
        {"comvanish=8", "pindrel.exe -s", 4},
        {"comvanish=13", "pindrel.exe -s", 4},
        {"comvanish=10", "pindrel.exe -r", 4},
    };
    for (const auto& scene : scenes) {
        SCOPED_TRACE(std::string(scene.line) + ", " + scene.scenario);
        WriteFile(LayoutOf(exe), old);
        StartDesktop(std::string(scene.scenario) + "\n10,20,One\n30,40,Two\n");
        EXPECT_EQ(Run(exe, scene.line), scene.status);
        const DesktopState state = Dump();
        const bool listView = std::string(scene.scenario).rfind("com=0", 0) == 0;
        EXPECT_EQ(state.values.at(listView ? "vanished" : "comvanished"), "1");
        EXPECT_EQ(ReadFile(LayoutOf(exe)), old);
        EXPECT_EQ(FilesIn(exe.parent_path()), AppFiles(exe));
        if (listView && scene.line[13] == 'r') {
            EXPECT_EQ(state.icons.at(0), "200,210,One");
            EXPECT_NE(state.icons.at(1), "300,310,Two");
        }
        TearDown();
    }
}

// A desktop whose thread stops answering (Explorer hung): through the folder view (the COM server
// lives on the list view's thread) and through the list view's messages, a save ends with 4 and
// keeps the old layout, a restore ends with 4 and leaves painting asked back on; neither waits for
// the desktop to come back. The time each run took is printed (the limit is 5 s a request).
TEST_F(PindrelTest, ADesktopThatStopsAnsweringEndsTheRunWithFour) {
    const fs::path exe = CopyPindrel("app");
    const std::string old = "200,210,One\r\n300,310,Two\r\n";
    const struct {
        const char* scenario;
        const char* line;
    } scenes[] = {
        // Hung before the run starts: the first call of the folder view's chain waits.
        {"", "pindrel.exe -s"},
        {"", "pindrel.exe -r"},
        // Hung in the middle of the list view's requests: after the positions, after the moves.
        {"com=0\nhangms=8000\nhangafter=3\n", "pindrel.exe -s"},
        {"com=0\nhangms=8000\nhangafter=6\n", "pindrel.exe -r"},
    };
    for (const auto& scene : scenes) {
        SCOPED_TRACE(std::string(scene.line) + ", " + scene.scenario);
        WriteFile(LayoutOf(exe), old);
        StartDesktop(std::string(scene.scenario) + "10,20,One\n30,40,Two\n");
        if (*scene.scenario == '\0')
            Tool("hostctl", {"hang", "8000"});
        const auto run = HostRun({"run", WinPath(exe), scene.line});
        EXPECT_EQ(run.at("exit"), "4");
        std::printf("%s against a hung desktop (%s): ended after %s us\n", scene.line,
                    *scene.scenario ? "list view" : "folder view", run.at("elapsed_us").c_str());
        EXPECT_EQ(ReadFile(LayoutOf(exe)), old);
        EXPECT_EQ(FilesIn(exe.parent_path()), AppFiles(exe));
        // Once the desktop answers again (the first dump waits for that; the messages posted to
        // it are taken after that request), painting is on: asked back on, or never held.
        Dump();
        EXPECT_EQ(Dump().Number("redraw"), 1);
        TearDown();
    }
}

// Every known icon goes home, whatever the order: one added in the middle of the desktop's order
// and one renamed take the cursor, every other one its own line. A save from a desktop that shows
// no icons keeps the layout, with 4; every save that replaces a layout keeps the one before as
// <layout>.bak, byte for byte.
TEST_F(PindrelTest, NewAndRenamedIconsSpoilNoOtherAndNoSaveWipesALayout) {
    const fs::path exe = CopyPindrel("app");
    const fs::path layout = LayoutOf(exe), backup = layout.string() + ".bak";
    StartDesktop("60,70,Alpha\n-10,210,Beta\n430,95,Gamma\n515,300,Delta\n");
    ASSERT_EQ(Run(exe, "pindrel.exe -s"), 0u);
    const std::string first = ReadFile(layout);
    EXPECT_FALSE(fs::exists(backup)) << "no layout replaced yet";
    Tool("hostctl", {"move", "2", "431", "96"});
    ASSERT_EQ(Run(exe, "pindrel.exe -s"), 0u);
    EXPECT_EQ(ReadFile(backup), first);
    const std::string second = ReadFile(layout);
    EXPECT_NE(second, first);
    TearDown();

    // At the next log-on Explorer lists a new shortcut in the middle, and Beta has a new name.
    StartDesktop("1,1,Alpha\n2,2,A new shortcut\n3,3,Beta renamed\n4,4,Gamma\n5,5,Delta\n");
    ASSERT_EQ(Run(exe, "pindrel.exe -r"), 0u);
    int width = 0, height = 0;
    std::sscanf(session().info("screen").c_str(), "%dx%d", &width, &height);
    const std::string x = std::to_string(std::lrint(width / 2.0)) + ",";
    const long y = std::lrint(height / 2.0);
    EXPECT_EQ(Dump().icons, (Icons{"60,70,Alpha", x + std::to_string(y) + ",A new shortcut",
                                   x + std::to_string(y + 20) + ",Beta renamed", "431,96,Gamma",
                                   "515,300,Delta"}));
    TearDown();

    // Explorer still filling the desktop at log-on: no icons yet. The layout stays as it was.
    StartDesktop("");
    EXPECT_EQ(Run(exe, "pindrel.exe -s"), 4u);
    EXPECT_EQ(ReadFile(layout), second);
    EXPECT_EQ(ReadFile(backup), first);
    EXPECT_EQ(FilesIn(exe.parent_path()), AppFiles(exe));
}

} // namespace
} // namespace e2e
