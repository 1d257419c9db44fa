// The real pindrel.exe against the stand-in desktop: saves (the layout file's exact bytes, and
// what a save that cannot find the desktop or write its file leaves), restores (the forward search
// through the file, the placement cursor, the stored view mode), command texts and settings.
#include "Harness.h"

#include <algorithm>

namespace e2e {
namespace {

using Icons = std::vector<Icon>;
using Files = std::vector<std::string>;

class PindrelTest : public E2eTest {
  protected:
    // `exe` started as "<its file name> <arguments>".
    unsigned long Pindrel(const fs::path& exe, const std::string& arguments) {
        return RunExact(exe, exe.filename().string() + " " + arguments);
    }
    Files AppFiles(const fs::path& exe) const {
        Files files{LayoutOf(exe).filename().string(), exe.filename().string()};
        std::sort(files.begin(), files.end());
        return files;
    }
    static Icon At(const Icon& icon, const Icon& p, int below = 0) {
        return Icon{p.x, p.y + 20 * below, icon.name};
    }
};

// Save, scramble, restore: every name through the list view, the code page and the file byte for
// byte, and every icon back.
TEST_F(PindrelTest, SaveScrambleRestoreKeepsEveryNameByteForByte) {
    ASSERT_EQ(session().info("acp"), "1252") << "the expected bytes are those of code page 1252";
    Scenario scenario;
    scenario.autoArrange = true;
    scenario.icons = {
        {120, 45, "Work files"},
        {-75, 20, "Notes \xE6\x97\xA5\xE6\x9C\xAC"}, // outside the code page
        {333, -23, "  padded name  "},               // blanks at the ends are cut
        {-8, 300, "a, b,c "},                        // commas stay
        {5, 5, ""},                                  // never matched: takes the cursor
        {640, 412, "   "},                           // empty once trimmed: likewise
        {517, 96,
         "Caf\xC3\xA9 \xC3\x91"
         "and\xC3\xBA \xE2\x82\xAC"
         "5"},
        {999, 701, "R\xC3\xA9sum\xC3\xA9 of the quarterly figures, north region v2"},
        {48, 160, "0123456789abcdefghijABCDEFGHIJ0123456789"}, // exactly 40: whole
        {77, 431, "Work files"},                               // a duplicate
    };
    StartDesktop(scenario);
    const fs::path exe = CopyPindrel("app");
    ASSERT_EQ(Pindrel(exe, "-s"), 0u);
    // One line per item in index order, CR LF, code page 1252, a name cut to its first 40
    // UTF-16 units (so "é" counts one, not its two UTF-8 bytes).
    const std::string saved = "120,45,Work files\r\n"
                              "-75,20,Notes ??\r\n"
                              "333,-23,padded name\r\n"
                              "-8,300,a, b,c\r\n"
                              "5,5,\r\n"
                              "640,412,\r\n"
                              "517,96,Caf\xE9 \xD1"
                              "and\xFA \x80"
                              "5\r\n"
                              "999,701,R\xE9sum\xE9 of the quarterly figures, north r\r\n"
                              "48,160,0123456789abcdefghijABCDEFGHIJ0123456789\r\n"
                              "77,431,Work files\r\n";
    EXPECT_EQ(ReadFile(LayoutOf(exe)), saved);
    EXPECT_EQ(FilesIn(exe.parent_path()), AppFiles(exe));
    // The save switched auto-arrange off and moved nothing.
    ListViewState state = Dump();
    EXPECT_FALSE(state.autoArrange);
    EXPECT_EQ(state.moves, 0);
    EXPECT_EQ(state.icons, scenario.icons);
    // The next save replaces the file with the positions of the moment.
    MustHostCtl({"move", "0", "-2", "-3"});
    ASSERT_EQ(Pindrel(exe, "-s"), 0u);
    const std::string resaved = "-2,-3,Work files\r\n" + saved.substr(saved.find("-75"));
    EXPECT_EQ(ReadFile(LayoutOf(exe)), resaved);

    // Scrambled, and auto-arrange on again as the restore starts.
    MustHostCtl({"scramble"});
    MustHostCtl({"toggle"});
    state = Dump();
    ASSERT_TRUE(state.autoArrange);
    ASSERT_NE(state.icons, scenario.icons);
    ASSERT_EQ(Pindrel(exe, "-r"), 0u);
    state = Dump();
    Icons expected = scenario.icons;
    expected[0] = Icon{-2, -3, expected[0].name};
    expected[4] = At(expected[4], DefaultStart());
    expected[5] = At(expected[5], DefaultStart(), 1);
    EXPECT_EQ(state.icons, expected);
    // Auto-arrange was off for every move and is on again now; a restore writes no layout.
    EXPECT_EQ(state.moves, static_cast<int>(scenario.icons.size()));
    EXPECT_EQ(state.arrangedMoves, 0);
    EXPECT_TRUE(state.autoArrange);
    EXPECT_EQ(ReadFile(LayoutOf(exe)), resaved);
    EXPECT_EQ(FilesIn(exe.parent_path()), AppFiles(exe));
}

// The desktop list view is the first one in the shell view, found under "Progman" or else among
// the top-level windows; without one neither switch writes or moves anything.
TEST_F(PindrelTest, SaveFindsTheShellsListViewOrFailsWithStatus1) {
    const std::string old = "10,20,Kept\r\n-5,7,a,b\r\n30,40,\r\n";
    const std::string found = "11,12,First\r\n13,14,Second\r\n";
    const struct {
        const char* shape; // nullptr: no desktop at all
        unsigned long status;
    } scenes[] = {{"noprogman", 0}, {"twolistviews", 0}, {"nolistview", 1}, {nullptr, 1}};
    const fs::path exe = CopyPindrel("app");
    for (const auto& scene : scenes) {
        SCOPED_TRACE(scene.shape ? scene.shape : "no desktop");
        Scenario scenario;
        if (scene.status == 0)
            scenario.icons = {{11, 12, "First"}, {13, 14, "Second"}};
        if (scene.shape && std::string(scene.shape) == "twolistviews")
            scenario.second = {{31, 32, "Other one"}};
        if (scene.shape) {
            scenario.shape = scene.shape;
            StartDesktop(scenario);
        }
        WriteFile(LayoutOf(exe), old);
        EXPECT_EQ(Pindrel(exe, "-s"), scene.status);
        EXPECT_EQ(ReadFile(LayoutOf(exe)), scene.status == 0 ? found : old);
        EXPECT_EQ(Pindrel(exe, "-r"), scene.status);
        EXPECT_EQ(ReadFile(LayoutOf(exe)), scene.status == 0 ? found : old);
        // Nor is a missing layout file made.
        fs::remove(LayoutOf(exe));
        if (scene.status == 1) {
            EXPECT_EQ(Pindrel(exe, "-s"), 1u);
            EXPECT_EQ(FilesIn(exe.parent_path()), Files{"pindrel.exe"});
        }
        if (scene.shape) {
            EXPECT_EQ(StopDesktop(), 0);
        }
    }
}

// An empty desktop gives an empty file; a file held open or read-only gives status 2 and stays.
TEST_F(PindrelTest, SaveReplacesTheFileWholeOrNotAtAll) {
    Scenario scenario;
    scenario.autoArrange = true;
    StartDesktop(scenario);
    const fs::path exe = CopyPindrel("app");
    const fs::path layout = LayoutOf(exe);
    const std::string old = "1,2,Alpha\r\n3,4,Beta\r\n";
    WriteFile(layout, old);
    ASSERT_EQ(Pindrel(exe, "-s"), 0u);
    EXPECT_EQ(ReadFile(layout), "");
    EXPECT_FALSE(Dump().autoArrange) << "auto-arrange goes off even with no items";
    EXPECT_EQ(FilesIn(exe.parent_path()), AppFiles(exe)) << "a temporary file was left";
    EXPECT_EQ(StopDesktop(), 0);

    scenario.icons = {{100, 200, "Alpha"}, {300, 400, "Beta"}};
    StartDesktop(scenario);
    WriteFile(layout, old);
    EXPECT_EQ(HostRun({"runlocked", WinPath(layout), WinPath(exe), "pindrel.exe -s"}).at("exit"),
              "2");
    EXPECT_EQ(ReadFile(layout), old);
    EXPECT_EQ(FilesIn(exe.parent_path()), AppFiles(exe));
    // Root replaces a Windows read-only file all the same under Wine (which leaves the refusal to
    // the Unix calls); an immutable one is refused with ERROR_ACCESS_DENIED, as Windows refuses a
    // read-only file.
    fs::permissions(layout, fs::perms::owner_write, fs::perm_options::remove);
    ASSERT_EQ(RunProcess({"chattr", "+i", layout.string()}, dir()).status, 0)
        << "chattr +i refused";
    EXPECT_EQ(Pindrel(exe, "-s"), 2u);
    EXPECT_EQ(RunProcess({"chattr", "-i", layout.string()}, dir()).status, 0);
    fs::permissions(layout, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(ReadFile(layout), old);
    EXPECT_EQ(FilesIn(exe.parent_path()), AppFiles(exe));
    // Once nothing stands in the way, the next save replaces the file.
    EXPECT_EQ(Pindrel(exe, "-s"), 0u);
    EXPECT_EQ(ReadFile(layout), "100,200,Alpha\r\n300,400,Beta\r\n");
}

TEST_F(PindrelTest, RestoreSearchesTheFileOnceFromTopToBottom) {
    Scenario scenario;
    scenario.icons = {
        {500, 100, "Beta"},    {500, 150, "Gamma"}, {500, 200, "Beta  "}, {500, 250, ""},
        {500, 300, "Epsilon"}, {500, 350, "Alpha"}, {500, 400, "Delta"},  {500, 450, "Zeta"},
    };
    StartDesktop(scenario);
    const fs::path exe = CopyPindrel("app");
    // The view the desktop shows already: no switch re-arranges the icons, so an icon that the
    // restore leaves alone stays where it was.
    WriteSettings(exe.parent_path() / "pindrel.ini",
                  {{"IconType", session().ProfileKey(), "Icon"}});
    const Icon start = DefaultStart();
    const Icons& s = scenario.icons;
    const struct {
        std::string file;
        Icons expected;
    } scenes[] = {
        {"10,10,Alpha\r\n20,20,Beta\r\n30,40000,Gamma\r\n35,35,Beta\r\n40,40,Delta\r\n45,45,\r\n"
         "50,50,epsilon\r\n55,55,Epsilon\r\n60,60,Alpha\r\n70,70,Zeta\r\n",
         {{20, 20, "Beta"},    // its line, after skipping Alpha's
          s[1],                // y 40000 does not fit: it stays, the cursor is kept
          {35, 35, "Beta  "},  // trimmed; the next Beta line, not the first
          At(s[3], start),     // an empty name takes the cursor
          {55, 55, "Epsilon"}, // "epsilon" differs in case: no match
          {60, 60, "Alpha"},   // the Alpha line ahead, not the one behind
          At(s[6], start, 1),  // its line lies behind: the cursor
          At(s[7], start, 2)}},
        // An empty x leaves the item where it is without the cursor; blanks around numbers are
        // read, fractions rounded with a half to the even neighbour; a last line without CR LF
        // counts.
        {" 30.5 , 31.5 ,Beta\r\n,32,Gamma\r\n33,33,Beta\r\n34,34,\r\n-35,-35,Epsilon\r\n"
         "36,36,Alpha\r\n37,37,Delta\r\n38,38,Zeta",
         {{30, 32, "Beta"},
          s[1],
          {33, 33, "Beta  "},
          At(s[3], start),
          {-35, -35, "Epsilon"},
          {36, 36, "Alpha"},
          {37, 37, "Delta"},
          {38, 38, "Zeta"}}},
    };
    int moves = 0;
    for (const auto& scene : scenes) {
        WriteFile(LayoutOf(exe), scene.file);
        EXPECT_EQ(Pindrel(exe, "-r"), 0u);
        const ListViewState state = Dump();
        EXPECT_EQ(state.icons, scene.expected);
        // Auto-arrange was off and stays off; a refused or empty-x line sends no move.
        EXPECT_FALSE(state.autoArrange);
        EXPECT_EQ(state.moves - moves, 7);
        moves = state.moves;
    }
}

TEST_F(PindrelTest, RestoreAppliesTheStoredViewModeBeforePlacingTheIcons) {
    Scenario scenario;
    scenario.icons = {{40, 30, "One"}, {260, 90, "Two"}, {170, 330, "Three"}};
    StartDesktop(scenario);
    const fs::path exe = CopyPindrel("app");
    ASSERT_EQ(Pindrel(exe, "-s"), 0u);
    // Each a switch away from the view before it; every switch re-arranges the icons, so icons at
    // their saved places were placed after it. The list view's style keeps the view it was made
    // with (icon), so "Icon" after "Report" works only when the switch names the shown view.
    const struct {
        const char* stored; // nullptr: nothing stored, small icons
        int view;
    } steps[] = {
        {nullptr, kViewSmallIcon}, {"Report", kViewDetails},       {"Icon", kViewIcon},
        {"List", kViewList},       {"Small Icon", kViewSmallIcon}, {"Report", kViewDetails},
        {"Tiles", kViewSmallIcon}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.stored ? step.stored : "nothing stored");
        if (step.stored)
            WriteSettings(exe.parent_path() / "pindrel.ini",
                          {{"IconType", session().ProfileKey(), step.stored}});
        EXPECT_EQ(Pindrel(exe, "-R"), 0u);
        const ListViewState state = Dump();
        EXPECT_EQ(state.view, step.view);
        if (step.view == kViewIcon || step.view == kViewSmallIcon) {
            EXPECT_EQ(state.icons, scenario.icons);
        }
    }
}

// A switch counts whatever its letter case and the blanks around it; any other text opens the
// window, which does nothing until it is closed.
TEST_F(PindrelTest, CommandTexts) {
    Scenario scenario;
    scenario.autoArrange = true;
    scenario.icons = {{60, 70, "One"}, {-10, 210, "Two"}, {430, 95, "Three"}};
    StartDesktop(scenario);
    // In a folder whose name holds a space.
    const fs::path exe = CopyPindrel("my tools");
    const std::string quoted = "\"" + WinPath(exe) + "\"";
    const struct {
        std::string line;
        char does; // 'w' the window, 's' a save, 'r' a restore
    } lines[] = {{"pindrel.exe -s -r", 'w'}, {"pindrel.exe /s", 'w'},  {"pindrel.exe \"-s\"", 'w'},
                 {"pindrel.exe -s x", 'w'},  {"pindrel.exe --s", 'w'}, {"pindrel.exe -s.", 'w'},
                 {"pindrel.exe", 'w'},       {quoted + " -S", 's'},    {"pindrel.exe   -r  ", 'r'},
                 {"pindrel.exe -R", 'r'}};
    for (const auto& c : lines) {
        SCOPED_TRACE(c.line);
        if (c.does == 'w') {
            const ListViewState before = Dump();
            const auto run = HostRun({"runwindow", WinPath(exe), c.line});
            EXPECT_EQ(run.at("window").substr(run.at("window").find('|') + 1), "Pindrel");
            EXPECT_EQ(run.at("running"), "1");
            EXPECT_EQ(run.at("exit"), "0");
            // Nothing saved, nothing stored, the desktop as it was.
            EXPECT_EQ(FilesIn(exe.parent_path()), Files{"pindrel.exe"});
            const ListViewState after = Dump();
            EXPECT_TRUE(after.autoArrange);
            EXPECT_EQ(after.moves, before.moves);
            EXPECT_EQ(after.view, kViewIcon);
            EXPECT_EQ(after.icons, scenario.icons);
            continue;
        }
        fs::remove(LayoutOf(exe));
        if (c.does == 'r') {
            WriteFile(LayoutOf(exe), "60,70,One\r\n-10,210,Two\r\n430,95,Three\r\n");
            MustHostCtl({"scramble"});
        }
        EXPECT_EQ(RunExact(exe, c.line), 0u);
        EXPECT_EQ(ReadFile(LayoutOf(exe)), "60,70,One\r\n-10,210,Two\r\n430,95,Three\r\n");
        EXPECT_EQ(Dump().icons, scenario.icons);
    }
}

// The placement settings as the window's buttons store them (the texts as typed, through the real
// WritePrivateProfileStringA), read by the restore: the profile key's section, then [Default],
// then half the screen.
TEST_F(PindrelTest, RestoreReadsTheProfileSectionThenDefault) {
    Scenario scenario;
    scenario.icons = {{700, 500, "One"}, {710, 510, "Two"}, {720, 520, "Three"}};
    StartDesktop(scenario);
    const fs::path exe = CopyPindrel("app");
    const std::string key = session().ProfileKey();
    // A layout for another screen size places every icon, but is not this screen's.
    WriteFile(exe.parent_path() / (key + "@1x1.txt"), "1,1,One\r\n2,2,Two\r\n3,3,Three\r\n");
    const Icon s = DefaultStart();
    const struct {
        const char* program;
        std::vector<std::vector<std::string>> settings;
        std::vector<std::pair<int, int>> expected;
    } scenes[] = {
        // StartX not a number under the profile key: [Default]'s. StartY: the profile key's,
        // longer than the 127 characters read, which leave a number and blanks. DeltaX empty
        // under the profile key ("Set unique" with an empty field): [Default]'s. DeltaY a half.
        {"pindrel.exe",
         {{"Default", "StartX", "40"},
          {"Default", "StartY", "999"},
          {"Default", "DeltaX", "-80"},
          {"Default", "DeltaY", "5"},
          {key, "StartX", "abc"},
          {key, "StartY", "150" + std::string(124, ' ') + std::string(73, 'x')},
          {key, "DeltaX", ""},
          {key, "DeltaY", "13.5"}},
         {{40, 150}, {-40, 164}, {-120, 178}}},
        // Nothing usable for StartX nor StartY: half the screen.
        {"pindrel.exe",
         {{"Default", "StartX", "abc"},
          {"Default", "DeltaX", "12.5"},
          {key, "StartX", "x1"},
          {key, "DeltaY", "-2.5"}},
         {{s.x, s.y}, {s.x + 12, s.y - 2}, {s.x + 24, s.y - 4}}},
        // The settings file is named after the executable: a copy under another name reads its own.
        {"tool.exe",
         {{"Default", "StartX", "7"},
          {"Default", "StartY", "9"},
          {"Default", "DeltaX", "1"},
          {"Default", "DeltaY", "2"}},
         {{7, 9}, {8, 11}, {9, 13}}},
    };
    for (const auto& scene : scenes) {
        const fs::path program = CopyPindrel("app", scene.program);
        const fs::path ini = fs::path(program).replace_extension(".ini");
        fs::remove(exe.parent_path() / "pindrel.ini");
        WriteSettings(ini, scene.settings);
        EXPECT_EQ(Pindrel(program, "-r"), 0u);
        std::vector<std::pair<int, int>> positions;
        for (const Icon& icon : Dump().icons)
            positions.emplace_back(icon.x, icon.y);
        EXPECT_EQ(positions, scene.expected);
    }
}

} // namespace
} // namespace e2e
