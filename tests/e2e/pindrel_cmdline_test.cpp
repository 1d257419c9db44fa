// pindrel.exe started with exact command lines: a switch counts whatever its letter case and the
// blanks around it, and any other text opens the window, which does nothing until it is closed.
#include "PindrelRunTest.h"

namespace e2e {
namespace {

class PindrelCommandLineTest : public PindrelRunTest {};

TEST_F(PindrelCommandLineTest, SwitchesIgnoreLetterCaseAndSurroundingBlanks) {
    Scenario scenario;
    scenario.icons = {{60, 70, "One"}, {-10, 210, "Two"}, {430, 95, "Three"}};
    StartDesktop(scenario);
    // In a folder whose name holds a space, started by its quoted full path.
    const fs::path exe = CopyPindrel("pindrel.exe", "my tools");

    ExactRun run = RunExact(exe, "\"" + WinPath(exe) + "\" -S");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(ReadFile(LayoutOf(exe)), "60,70,One\r\n-10,210,Two\r\n430,95,Three\r\n");

    ASSERT_EQ(HostCtl({"scramble"}).status, 0);
    ASSERT_NE(Dump().desktop().Icons(), scenario.icons);
    run = RunExact(exe, "pindrel.exe   -r  ");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(Dump().desktop().Icons(), scenario.icons);

    ASSERT_EQ(HostCtl({"scramble"}).status, 0);
    run = RunExact(exe, "pindrel.exe -R");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(Dump().desktop().Icons(), scenario.icons);
}

TEST_F(PindrelCommandLineTest, AnyOtherTextOpensTheWindowAndTouchesNothing) {
    Scenario scenario;
    scenario.autoArrange = true;
    scenario.icons = {{60, 70, "One"}, {-10, 210, "Two"}};
    StartDesktop(scenario);
    const fs::path exe = CopyPindrel("pindrel.exe", "app");

    const std::string lines[] = {
        "pindrel.exe -s -r", "pindrel.exe /s",  "pindrel.exe \"-s\"", "pindrel.exe -s x",
        "pindrel.exe --s",   "pindrel.exe -s.", "pindrel.exe",
    };
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        WindowRun run = RunWindow(exe, line);
        EXPECT_TRUE(run.appeared);
        EXPECT_EQ(run.title, "Pindrel");
        EXPECT_TRUE(run.running);
        EXPECT_EQ(run.exitCode, 0u);
        // Nothing saved, nothing stored, and the desktop as it was.
        EXPECT_EQ(FilesIn(exe.parent_path()), (std::vector<std::string>{"pindrel.exe"}));
        ListViewState desktop = Dump().desktop();
        EXPECT_TRUE(desktop.autoArrange);
        EXPECT_EQ(desktop.moves, 0);
        EXPECT_EQ(desktop.view, kViewIcon);
    }
}

} // namespace
} // namespace e2e
