// The real pindrel.exe where Windows differs from the plain case: a folder whose name no ANSI code
// page writes, a layout path past MAX_PATH, and two runs of the same layout at once. (Names the
// code page cannot write as a user's name, and every unreachable folder, are the simulated
// session's: Wine gives the user the Unix login's name and has no network shares to drop.)
#include "Harness.h"

#include <sstream>

namespace e2e {
namespace {

const char* const kIcons = "60,70,One\n-10,210,Two\n430,95,Caf\xC3\xA9 \xE6\x97\xA5\n";
const char* const kSaved = "60,70,One\r\n-10,210,Two\r\n430,95,Caf\xE9 ?\r\n";

class FilesAndRunsTest : public E2eTest {
  protected:
    // pindrel.exe started by Wine from its Unix path, so that a folder of any name reaches it
    // whole; its exit status.
    int RunFrom(const fs::path& exe, const std::string& switchText) {
        return session().Wine({exe.string(), switchText}, exe.parent_path()).status;
    }
    // The save, a scramble and the restore from `exe`'s folder: the layout file beside it byte
    // for byte, every icon back, no temporary file left.
    void SaveScrambleRestore(const fs::path& exe) {
        StartDesktop(kIcons);
        ASSERT_EQ(RunFrom(exe, "-s"), 0);
        EXPECT_EQ(ReadFile(LayoutOf(exe)), kSaved);
        const std::vector<std::string> icons = Dump().icons;
        Tool("hostctl", {"scramble"});
        ASSERT_NE(Dump().icons, icons);
        ASSERT_EQ(RunFrom(exe, "-r"), 0);
        EXPECT_EQ(Dump().icons, icons);
        EXPECT_EQ(FilesIn(exe.parent_path()), AppFiles(exe));
        TearDown();
    }
};

TEST_F(FilesAndRunsTest, AFolderOutsideTheCodePageAndALayoutPathPastMaxPath) {
    {
        SCOPED_TRACE("a folder named in Cyrillic, Greek and Japanese");
        SaveScrambleRestore(CopyPindrel("\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD \xCE\x95\xCE\xBB\xCE\xBB"
                                        "\xCE\xAC\xCE\xB4\xCE\xB1 \xE6\x97\xA5\xE6\x9C\xAC"));
    }
    {
        SCOPED_TRACE("a layout path of 300 characters");
        fs::path folder = "deep";
        const std::string name = session().ProfileKey() + "@" + session().info("screen") + ".txt";
        while (WinPath(dir() / folder / name).size() < 300) {
            const std::size_t left = 300 - WinPath(dir() / folder / name).size();
            folder /= std::string(std::min<std::size_t>(left > 41 ? 40 : left - 1, 40), 'd');
        }
        const fs::path exe = CopyPindrel(folder);
        ASSERT_EQ(WinPath(LayoutOf(exe)).size(), 300u);
        SaveScrambleRestore(exe);
    }
}

// A user whose name the ANSI code page cannot write: the layout file carries the name whole, a
// UTF-16 settings file gives that user the view stored under it, and an ANSI one, which cannot
// hold the name, is not read for it (its "?" key is someone else's).
TEST_F(FilesAndRunsTest, AUserNameOutsideTheCodePage) {
    const std::string user = "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD"; // Ivan, in Cyrillic
    const fs::path exe = CopyPindrel("app");
    StartDesktop(kIcons);
    const auto run = [&](const char* switchText) {
        return session().WineAs(user, {exe.string(), switchText}, exe.parent_path()).status;
    };
    ASSERT_EQ(run("-s"), 0);
    const fs::path layout = exe.parent_path() / (user + "@" + session().info("computer") + "@" +
                                                 session().info("screen") + ".txt");
    EXPECT_EQ(ReadFile(layout), kSaved);
    const std::u16string key =
        u"\u0418\u0432\u0430\u043d@" +
        std::u16string(session().info("computer").begin(), session().info("computer").end());
    std::string utf16 = "\xFF\xFE";
    for (const char16_t unit : u"[IconType]\r\n" + key + u"=Report\r\n") {
        utf16 += static_cast<char>(unit & 0xFF);
        utf16 += static_cast<char>(unit >> 8);
    }
    WriteFile(exe.parent_path() / "pindrel.ini", utf16);
    ASSERT_EQ(run("-r"), 0);
    EXPECT_EQ(Dump().Number("view"), 1) << "details, as stored for the user";
    WriteFile(exe.parent_path() / "pindrel.ini",
              "[IconType]\r\n????@" + session().info("computer") + "=List\r\n");
    ASSERT_EQ(run("-r"), 0);
    // The view stays as the user's own (details): no stored view of the user's changes nothing.
    EXPECT_EQ(Dump().Number("view"), 1) << "the list view of another user's \"????\" key";
}

// Three saves started together all end with 0, and the layout is whole; so do a restore and a
// save started together (whichever runs first, the file is one of the two layouts it can be, and
// the desktop shows it). Three hundred icons make each run long enough for the runs to meet.
TEST_F(FilesAndRunsTest, RunsOfOneLayoutAtOnceAllEndWell) {
    const fs::path exe = CopyPindrel("app");
    std::string icons, saved;
    for (int i = 0; i < 300; ++i) {
        const std::string line = std::to_string(i % 20 * 50) + "," + std::to_string(i / 20 * 40) +
                                 ",Icon " + std::to_string(i);
        icons += line + "\n";
        saved += line + "\r\n";
    }
    StartDesktop(icons);
    const auto together = [&](const std::vector<const char*>& switches) {
        std::vector<std::optional<Process>> runs(switches.size());
        for (std::size_t i = 0; i < runs.size(); ++i)
            session().Background(runs[i], {"wine", exe.string(), switches[i]}, exe.parent_path(),
                                 dir() / ("run" + std::to_string(i) + ".log"));
        for (std::size_t i = 0; i < runs.size(); ++i)
            EXPECT_EQ(runs[i]->Wait().value_or(-1), 0) << i << ": " << switches[i];
        EXPECT_EQ(FilesIn(exe.parent_path()), AppFiles(exe));
    };
    together({"-s", "-s", "-s"});
    EXPECT_EQ(ReadFile(LayoutOf(exe)), saved);

    Tool("hostctl", {"scramble"});
    std::string scrambled;
    for (const std::string& icon : Dump().icons)
        scrambled += icon.substr(0, icon.rfind(',') + 1) + "\r\n";
    together({"-r", "-s"});
    const std::string layout = ReadFile(LayoutOf(exe));
    std::string shown;
    for (const std::string& icon : Dump().icons)
        shown += icon.substr(0, icon.rfind(',') + 1) + "\r\n";
    std::string positions;
    std::istringstream lines(layout);
    for (std::string line; std::getline(lines, line);)
        positions += line.substr(0, line.rfind(',') + 1) + "\r\n";
    EXPECT_TRUE(layout == saved || positions == scrambled) << layout;
    EXPECT_EQ(shown, positions) << "the desktop shows the layout the file holds";
}

} // namespace
} // namespace e2e
