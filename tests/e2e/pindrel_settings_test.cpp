// The placement settings as the settings buttons store them (the texts as typed, written by the
// real WritePrivateProfileStringA into the settings file beside the executable), read back by the
// restore: the profile key's section first, then [Default], then the computed default.
#include "PindrelRunTest.h"

namespace e2e {
namespace {

class PindrelSettingsTest : public PindrelRunTest {};

std::vector<Point2> Positions(const ListViewState& list) {
    std::vector<Point2> points;
    for (const ItemState& item : list.items)
        points.push_back(Point2{item.x, item.y});
    return points;
}

TEST_F(PindrelSettingsTest, TheRestoreReadsTheProfileSectionThenDefault) {
    Scenario scenario;
    scenario.icons = {{700, 500, "One"}, {710, 510, "Two"}, {720, 520, "Three"}};
    StartDesktop(scenario);
    const fs::path exe = CopyPindrel("pindrel.exe", "app");
    const fs::path ini = exe.parent_path() / "pindrel.ini";
    const std::string key = ProfileKey();
    // A layout for another screen size places every icon, but is not this screen's.
    WriteFile(exe.parent_path() / (key + "@" + std::to_string(sysInfo().screenWidth + 1) + "x" +
                                   std::to_string(sysInfo().screenHeight) + ".txt"),
              "1,1,One\r\n2,2,Two\r\n3,3,Three\r\n");

    // StartX: not a number under the profile key, so [Default]'s. StartY: the profile key's,
    // longer than the 127 characters read, which leave a number and blanks. DeltaX: empty
    // under the profile key ("Set unique" with an empty field), so [Default]'s. DeltaY: the
    // profile key's, a half rounded to the even neighbour.
    const std::string longStartY = "150" + std::string(124, ' ') + std::string(73, 'x');
    ASSERT_EQ(longStartY.size(), 200u);
    WriteSettings(ini, {{"Default", "StartX", "40"},
                        {"Default", "StartY", "999"},
                        {"Default", "DeltaX", "-80"},
                        {"Default", "DeltaY", "5"},
                        {key, "StartX", "abc"},
                        {key, "StartY", longStartY},
                        {key, "DeltaX", ""},
                        {key, "DeltaY", "13.5"}});
    ExactRun run = Pindrel(exe, "-r");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(Positions(Dump().desktop()),
              (std::vector<Point2>{{40, 150}, {-40, 164}, {-120, 178}}));

    // Nothing usable anywhere for StartX and nothing at all for StartY: half the screen. DeltaX
    // only under [Default]; DeltaY -2.5 under the profile key.
    fs::remove(ini);
    WriteSettings(ini, {{"Default", "StartX", "abc"},
                        {"Default", "DeltaX", "12.5"},
                        {key, "StartX", "x1"},
                        {key, "DeltaY", "-2.5"}});
    run = Pindrel(exe, "-r");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    const Point2 start = DefaultStart();
    EXPECT_EQ(Positions(Dump().desktop()),
              (std::vector<Point2>{
                  {start.x, start.y}, {start.x + 12, start.y - 2}, {start.x + 24, start.y - 4}}));

    // The settings file is named after the executable: a copy under another name reads its own.
    const fs::path tool = CopyPindrel("tool.exe", "app");
    WriteSettings(exe.parent_path() / "tool.ini", {{"Default", "StartX", "7"},
                                                   {"Default", "StartY", "9"},
                                                   {"Default", "DeltaX", "1"},
                                                   {"Default", "DeltaY", "2"}});
    run = Pindrel(tool, "-r");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(Positions(Dump().desktop()), (std::vector<Point2>{{7, 9}, {8, 11}, {9, 13}}));
}

} // namespace
} // namespace e2e
