// pindrel.exe "-r" against the stand-in desktop: icons back where the layout file says, the one
// forward search through the file, the placement cursor for the icons it does not place, the
// auto-arrange state around the moves, and the stored view mode.
#include "PindrelRunTest.h"

namespace e2e {
namespace {

class PindrelRestoreTest : public PindrelRunTest {};

Icon At(const Icon& icon, Point2 p) {
    return Icon{p.x, p.y, icon.name};
}

Point2 Below(Point2 p, int steps) {
    return Point2{p.x, p.y + 20 * steps};
}

TEST_F(PindrelRestoreTest, PutsEveryIconBackAfterAScramble) {
    Scenario scenario;
    scenario.autoArrange = true;
    scenario.icons = {
        {120, 45, "Work files"},
        {-75, 20, "Notes"},
        {333, -23, "  padded name  "},
        {-8, 300, "a, b,c "},
        {5, 5, ""},
        {517, 96,
         "Caf\xC3\xA9 \xC3\x91"
         "and\xC3\xBA \xE2\x82\xAC"
         "5"},
        {999, 701, "Quarterly figures for the northern region v2."},
        {77, 431, "Work files"},
    };
    StartDesktop(scenario);
    const fs::path exe = CopyPindrel("pindrel.exe", "app");
    ExactRun run = Pindrel(exe, "-s");
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    const std::string saved = ReadFile(LayoutOf(exe));

    // Scrambled, and auto-arrange on again as the restore starts.
    ASSERT_EQ(HostCtl({"scramble"}).status, 0);
    ASSERT_EQ(HostCtl({"toggle"}).status, 0);
    ListViewState before = Dump().desktop();
    ASSERT_TRUE(before.autoArrange);
    ASSERT_NE(before.Icons(), scenario.icons);

    run = Pindrel(exe, "-r");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    ListViewState after = Dump().desktop();
    // Every icon is back, names with commas, blanks at the ends, the cut long name and the
    // duplicate included. The one with an empty name is never matched to a line, even to the
    // empty name's own, and takes the first placement-cursor position.
    std::vector<Icon> expected = scenario.icons;
    expected[4] = At(expected[4], DefaultStart());
    EXPECT_EQ(after.Icons(), expected);
    // Auto-arrange was off for every move and is on again now.
    EXPECT_EQ(after.moves, static_cast<int>(scenario.icons.size()));
    EXPECT_EQ(after.arrangedMoves, 0);
    EXPECT_TRUE(after.autoArrange);
    // A restore writes no layout.
    EXPECT_EQ(ReadFile(LayoutOf(exe)), saved);
    EXPECT_EQ(FilesIn(exe.parent_path()), Sorted({LayoutFileName(), "pindrel.exe"}));
}

TEST_F(PindrelRestoreTest, SearchesTheFileOnceFromTopToBottom) {
    Scenario scenario;
    scenario.icons = {
        {500, 100, "Beta"},    {500, 150, "Gamma"}, {500, 200, "Beta  "}, {500, 250, ""},
        {500, 300, "Epsilon"}, {500, 350, "Alpha"}, {500, 400, "Delta"},  {500, 450, "Zeta"},
    };
    StartDesktop(scenario);
    const fs::path exe = CopyPindrel("pindrel.exe", "app");
    // The view the desktop shows already: no switch re-arranges the icons, so an icon that the
    // restore leaves alone stays where the scenario put it.
    WriteSettings(exe.parent_path() / "pindrel.ini", {{"IconType", ProfileKey(), "Icon"}});
    WriteFile(LayoutOf(exe), "10,10,Alpha\r\n"
                             "20,20,Beta\r\n"
                             "30,40000,Gamma\r\n"
                             "35,35,Beta\r\n"
                             "40,40,Delta\r\n"
                             "45,45,\r\n"
                             "50,50,epsilon\r\n"
                             "55,55,Epsilon\r\n"
                             "60,60,Alpha\r\n"
                             "70,70,Zeta\r\n");

    ExactRun run = Pindrel(exe, "-r");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    const Point2 start = DefaultStart();
    const std::vector<Icon>& s = scenario.icons;
    ListViewState after = Dump().desktop();
    EXPECT_EQ(after.Icons(), (std::vector<Icon>{
                                 {20, 20, "Beta"},    // its line, after skipping Alpha's
                                 s[1],                // y 40000 does not fit: stays, cursor kept
                                 {35, 35, "Beta  "},  // trimmed; the next Beta line, not the first
                                 At(s[3], start),     // an empty name takes the cursor
                                 {55, 55, "Epsilon"}, // "epsilon" differs in case: no match
                                 {60, 60, "Alpha"},   // the Alpha line ahead, not the one behind
                                 At(s[6], Below(start, 1)), // its line lies behind: the cursor
                                 At(s[7], Below(start, 2)), // and so for every later item
                             }));
    // Auto-arrange was off at the start and stays off; the refused line sent no move.
    EXPECT_FALSE(after.autoArrange);
    EXPECT_EQ(after.moves, 7);

    // A line whose x is empty leaves its item where it is without using the cursor; positions
    // are read with blanks around them and fractions rounded, a half to the even neighbour; a
    // last line without CR LF still counts.
    WriteFile(LayoutOf(exe), " 30.5 , 31.5 ,Beta\r\n"
                             ",32,Gamma\r\n"
                             "33,33,Beta\r\n"
                             "34,34,\r\n"
                             "-35,-35,Epsilon\r\n"
                             "36,36,Alpha\r\n"
                             "37,37,Delta\r\n"
                             "38,38,Zeta");
    run = Pindrel(exe, "-r");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(Dump().desktop().Icons(), (std::vector<Icon>{
                                            {30, 32, "Beta"},
                                            s[1],
                                            {33, 33, "Beta  "},
                                            At(s[3], start),
                                            {-35, -35, "Epsilon"},
                                            {36, 36, "Alpha"},
                                            {37, 37, "Delta"},
                                            {38, 38, "Zeta"},
                                        }));
}

TEST_F(PindrelRestoreTest, AppliesTheStoredViewModeBeforePlacingTheIcons) {
    Scenario scenario;
    scenario.icons = {{40, 30, "One"}, {260, 90, "Two"}, {170, 330, "Three"}};
    StartDesktop(scenario);
    const fs::path exe = CopyPindrel("pindrel.exe", "app");
    const fs::path ini = exe.parent_path() / "pindrel.ini";
    ExactRun run = Pindrel(exe, "-s");
    ASSERT_EQ(run.exitCode, 0u) << run.err;

    // Nothing stored: small icons. Every view switch re-arranges the icons, so icons at their
    // saved places show that they were placed after the switch.
    run = Pindrel(exe, "-r");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    ListViewState state = Dump().desktop();
    EXPECT_EQ(state.view, kViewSmallIcon);
    EXPECT_EQ(state.Icons(), scenario.icons);

    // Each stored name in turn, each a switch away from the view before it. The list view's own
    // style keeps the view it was created with (icon), so "Icon" after "Report" only works when
    // the switch names the view the list view shows as the old one.
    const struct {
        const char* stored;
        int view;
    } steps[] = {{"Report", kViewDetails}, {"Icon", kViewIcon},
                 {"List", kViewList},      {"Small Icon", kViewSmallIcon},
                 {"Report", kViewDetails}, {"Tiles", kViewSmallIcon}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.stored);
        WriteSettings(ini, {{"IconType", ProfileKey(), step.stored}});
        run = Pindrel(exe, "-r");
        EXPECT_EQ(run.exitCode, 0u) << run.err;
        state = Dump().desktop();
        EXPECT_EQ(state.view, step.view);
        if (step.view == kViewIcon || step.view == kViewSmallIcon) {
            EXPECT_EQ(state.Icons(), scenario.icons);
        }
    }
}

} // namespace
} // namespace e2e
