// The program's start-up with a window that can or cannot be created: a silent run never waits
// for a person. And the argument text taken from the command line.
#include "CommandLine.h"
#include "FakeProgramWindow.h"
#include "ProgramStart.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

#include <utility>

using namespace pindrel;

class Startup : public pindrel::testing::SimTest {};

TEST_F(Startup, SilentRunsNeverShowAMessageAndEndWithTheirStatus) {
    const struct {
        const char* command;
        bool createFails;
        int status;
        bool messageShown, windowShown;
    } scenes[] = {
        {"-s", true, 3, false, false},  {" -R ", true, 3, false, false},
        {"", true, 3, true, false},     {"-s x", true, 3, true, false},
        {"-s", false, 0, false, false}, {"", false, 0, false, true},
    };
    Desktop({{"One", {1, 2}}});
    for (const auto& scene : scenes) {
        SCOPED_TRACE(std::string("\"") + scene.command + "\"" +
                     (scene.createFails ? ", the window cannot be created" : ""));
        session->SetCommandLine(scene.command);
        pindrel::testing::FakeProgramWindow window;
        window.createFails = scene.createFails;
        EXPECT_EQ(RunProgram(*session, *session, window), scene.status);
        EXPECT_EQ(window.startFailures.size(), scene.messageShown ? 1u : 0u);
        EXPECT_EQ(window.shown, scene.windowShown);
        EXPECT_TRUE(window.headless.errors.empty());
    }
}

TEST(CommandLine, TheArgumentTextFollowsTheProgramName) {
    // clang-format off
    const std::pair<const char*, const char*> rows[] = {
        // Unquoted, the name ends at the first space or tab; a quote inside it is not special.
        {"pindrel.exe", ""}, {"pindrel.exe -s", "-s"}, {"pindrel.exe\t-r", "-r"},
        {"C:\\To\"ols\\pindrel.exe -s", "-s"}, {"C:\\Program Files\\p.exe -s", "Files\\p.exe -s"},
        // Quoted, it runs to the closing quote, or to the end of the line without one.
        {"\"C:\\Program Files\\p.exe\"", ""}, {"\"C:\\Program Files\\p.exe\" \t -r", "-r"},
        {"\"C:\\Program Files\\p.exe\"-s", "-s"}, {"\"\" -s", "-s"},
        {"\"C:\\Program Files\\p.exe -s", ""},
        // Only the blanks after the name go; the arguments are kept as they stand.
        {"pindrel.exe   -s  ", "-s  "}, {"pindrel.exe \"-s\"", "\"-s\""},
        {"\"C:\\My Tools\\p.exe\" -s \"a  b\"\tc ", "-s \"a  b\"\tc "},
        {"", ""}, {"   ", ""}, {" -s", "-s"}};
    // clang-format on
    for (const auto& [line, arguments] : rows)
        EXPECT_EQ(ArgumentText(line), arguments) << line;
}
