// Tests of the harness's own tools under Wine: the stand-in desktop answers as the shell's would,
// hostctl drives it and starts programs with exact command lines, and the session reports the
// identity that layout file names are made of.
#include "E2eTest.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace e2e {
namespace {

class DesktopHostTest : public E2eTest {};
class HostCtlTest : public E2eTest {};
class WineSessionTest : public E2eTest {};

// Names that a desktop may hold and that travel through every layer byte for byte: commas,
// spaces at both ends, an empty name, a duplicate, text outside ASCII, more than 40 characters.
// The positions are far from any grid that an arrange would produce, and some are negative.
std::vector<Icon> AwkwardIcons() {
    const std::string long45 = "Quarterly figures for the northern region v2";
    return {
        {120, 45, "Work files"},
        {-8, 300, "a, b,c "},
        {333, 217, "  padded name  "},
        {517, -23,
         "Caf\xC3\xA9 \xC3\x91"
         "and\xC3\xBA \xE6\x97\xA5\xE6\x9C\xAC"},
        {999, 701, long45 + "."},
        {5, 5, ""},
        {77, 431, "Work files"},
    };
}

TEST_F(DesktopHostTest, PlacesTheScenarioIconsAfterTheFirstPaint) {
    Scenario scenario;
    scenario.icons = AwkwardIcons();
    ASSERT_EQ(scenario.icons[4].name.size(), 45u);
    StartDesktop(scenario);

    DesktopState state = Dump();
    EXPECT_EQ(state.shape, "standard");
    ASSERT_EQ(state.lists.size(), 1u);
    const ListViewState& desktop = state.desktop();
    // The list view has painted its items (which arranges them under Wine) before they were
    // placed, so the positions are the scenario's and stay so.
    EXPECT_GE(desktop.painted, 1);
    EXPECT_EQ(desktop.Icons(), scenario.icons);
    EXPECT_FALSE(desktop.autoArrange);
    EXPECT_EQ(desktop.style & kAutoArrangeStyle, 0u);
    EXPECT_EQ(desktop.view, kViewIcon);
    EXPECT_EQ(desktop.style & kViewStyleMask, 0u);
    EXPECT_EQ(Dump().desktop().Icons(), scenario.icons);

    // A stop ends the host cleanly; then no host answers.
    EXPECT_EQ(StopDesktop(), 0);
    EXPECT_EQ(HostCtl({"dump", WinPath(dir() / "after-stop.txt")}).status, 2);
    EXPECT_FALSE(fs::exists(dir() / "after-stop.txt"));
}

TEST_F(DesktopHostTest, MovesAndScramblesItems) {
    Scenario scenario;
    scenario.icons = AwkwardIcons();
    StartDesktop(scenario);

    EXPECT_EQ(HostCtl({"move", "1", "640", "480"}).status, 0);
    EXPECT_EQ(HostCtl({"move", "3", "-40", "-2"}).status, 0);
    std::vector<Icon> expected = scenario.icons;
    expected[1].x = 640;
    expected[1].y = 480;
    expected[3].x = -40;
    expected[3].y = -2;
    EXPECT_EQ(Dump().desktop().Icons(), expected);

    // An index the list view does not have is refused and moves nothing.
    EXPECT_EQ(HostCtl({"move", "7", "1", "1"}).status, 3);
    EXPECT_EQ(HostCtl({"move", "-1", "1", "1"}).status, 3);
    EXPECT_EQ(Dump().desktop().Icons(), expected);

    // A scramble moves every item and keeps the names in their order.
    EXPECT_EQ(HostCtl({"scramble"}).status, 0);
    const std::vector<Icon> scrambled = Dump().desktop().Icons();
    ASSERT_EQ(scrambled.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(scrambled[i].name, expected[i].name);
        EXPECT_TRUE(scrambled[i].x != expected[i].x || scrambled[i].y != expected[i].y)
            << "item " << i << " stayed at " << expected[i];
    }
}

TEST_F(DesktopHostTest, AutoArrangeCommandFlipsTheListViewStyle) {
    // Standard shape, auto-arrange on from the start.
    Scenario scenario;
    scenario.autoArrange = true;
    scenario.icons = {{100, 100, "One"}, {300, 200, "Two"}};
    StartDesktop(scenario);
    ListViewState before = Dump().desktop();
    EXPECT_TRUE(before.autoArrange);
    EXPECT_NE(before.style & kAutoArrangeStyle, 0u);

    ASSERT_EQ(HostCtl({"toggle"}).status, 0);
    ListViewState off = Dump().desktop();
    EXPECT_FALSE(off.autoArrange);
    EXPECT_EQ(off.style, before.style & ~kAutoArrangeStyle);

    ASSERT_EQ(HostCtl({"toggle"}).status, 0);
    ListViewState on = Dump().desktop();
    EXPECT_TRUE(on.autoArrange);
    EXPECT_EQ(on.style, before.style);
    EXPECT_EQ(StopDesktop(), 0);

    // Without "Progman" the shell view is a top-level window, and the lookup still reaches it.
    scenario.autoArrange = false;
    scenario.shape = "noprogman";
    StartDesktop(scenario);
    EXPECT_FALSE(Dump().desktop().autoArrange);
    ASSERT_EQ(HostCtl({"toggle"}).status, 0);
    DesktopState toggled = Dump();
    EXPECT_EQ(toggled.shape, "noprogman");
    EXPECT_TRUE(toggled.desktop().autoArrange);
}

TEST_F(HostCtlTest, RunGivesTheExactCommandLineAndExitCode) {
    // hostctl's own "cmdline" command writes the command line it got and exits with 40 + the
    // number of arguments the C run-time split it into.
    const fs::path file = dir() / "cmdline.txt";
    const std::string w = WinPath(file);
    const struct {
        std::string line;
        unsigned long exit;
    } cases[] = {
        {"hostctl.exe cmdline " + w, 42},
        {"hostctl.exe cmdline " + w + "   -r  ", 43},
        {"hostctl.exe  cmdline " + w + " \"-s\"", 43},
        {"\"hostctl.exe\" cmdline " + w + " \"a b\"\tc", 44},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        fs::remove(file);
        ExactRun run = RunExact(session().hostctlExe(), c.line);
        EXPECT_EQ(run.exitCode, c.exit);
        ASSERT_TRUE(fs::exists(file));
        EXPECT_EQ(ReadFile(file), c.line);
    }
    EXPECT_THROW(RunExact(dir() / "missing.exe", "missing.exe -s"), HarnessError);
}

TEST_F(HostCtlTest, RunWindowReportsAndClosesTheWindow) {
    // The stand-in desktop as the program: its top-level window is "Progman", and WM_CLOSE ends it
    // cleanly, even when it arrives before the desktop is filled (the window shows first).
    const fs::path scenario = dir() / "window-scenario.txt";
    const fs::path ready = dir() / "window-ready.txt";
    WriteFile(scenario, "10,10,One\n");
    WindowRun run = RunWindow(session().desktopHostExe(),
                              "desktop-host.exe " + WinPath(scenario) + " " + WinPath(ready));
    EXPECT_TRUE(run.appeared);
    EXPECT_EQ(run.windowClass, "Progman");
    EXPECT_EQ(run.title, "Program Manager");
    EXPECT_TRUE(run.running);
    EXPECT_EQ(run.exitCode, 0u);

    // A program that ends without showing a window.
    WindowRun quiet =
        RunWindow(session().hostctlExe(), "hostctl.exe cmdline " + WinPath(dir() / "quiet.txt"));
    EXPECT_FALSE(quiet.appeared);
    EXPECT_FALSE(quiet.running);
    EXPECT_EQ(quiet.exitCode, 42u);
}

TEST_F(WineSessionTest, ReportsThisMachinesUserComputerAndScreen) {
    const SysInfo& info = sysInfo();
    // Wine takes the user name from the Unix account and the computer name from the host name
    // (its first label, upper-cased, at most 15 characters, as NetBIOS names are).
    const passwd* account = getpwuid(getuid());
    ASSERT_NE(account, nullptr);
    EXPECT_EQ(info.user, account->pw_name);
    char host[256] = "";
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    std::string computer(host);
    computer = computer.substr(0, std::min(computer.find('.'), size_t{15}));
    std::transform(computer.begin(), computer.end(), computer.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    EXPECT_EQ(info.computer, computer);
    EXPECT_GT(info.screenWidth, 0);
    EXPECT_GT(info.screenHeight, 0);
}

} // namespace
} // namespace e2e
