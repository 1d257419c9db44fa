// The real pindrel.exe against the stand-in desktop in the shape Windows 7 to 11 take with a
// wallpaper slideshow (tools/desktop-host, shape "workerw"): "Progman" empty and the shell view
// under the second of three top-level "WorkerW" windows. A save and a restore there, every name
// byte for byte, and the restore's moves made while the real list view's painting is held.
#include "Harness.h"

#include <sstream>
#include <thread>

namespace e2e {
namespace {

// An icon as the scenario and the state write it: "<x>,<y>,<name>", the name in UTF-8.
using Icons = std::vector<std::string>;

struct DesktopState {
    std::map<std::string, std::string> desktop;  // the lines before the first list view
    std::map<std::string, std::string> listView; // the desktop list view's "key=value" lines
    Icons icons;
    int Number(const std::string& key) const { return std::stoi(listView.at(key)); }
};

class WorkerWTest : public E2eTest {
  protected:
    void TearDown() override {
        if (desktop_.running())
            Tool("hostctl", {"stop"}, -1);
    }

    void StartDesktop(const std::string& scenario) {
        const fs::path file = dir() / "scenario.txt";
        const fs::path ready = dir() / "desktop-ready.txt";
        const fs::path log = dir() / "desktop-host.log";
        WriteFile(file, scenario);
        desktop_ = session().WineInBackground(
            {Exe("desktop-host").string(), WinPath(file), WinPath(ready)}, dir(), log);
        const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
        while (!fs::exists(ready)) {
            if (!desktop_.running() || std::chrono::steady_clock::now() > deadline)
                throw HarnessError("the stand-in desktop did not get ready: " + ReadFile(log));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    DesktopState Dump() {
        const fs::path file = dir() / ("desktop-state-" + std::to_string(++dumps_) + ".txt");
        Tool("hostctl", {"dump", WinPath(file)});
        const std::string text = ReadFile(file);
        const size_t begin = text.find("[listview 0]\r\n");
        const size_t items = text.find("\r\ncount=", begin);
        if (begin == std::string::npos || items == std::string::npos)
            throw HarnessError("no desktop list view in the state: " + text);
        DesktopState state{
            Values(text.substr(0, begin)), Values(text.substr(begin, items - begin)), {}};
        std::istringstream in(text.substr(items + 8));
        int count = -1;
        std::string line;
        in >> count;
        std::getline(in, line);
        for (int i = 0; i < count; ++i) {
            const std::string index = std::to_string(i) + ",";
            if (!std::getline(in, line) || line.rfind(index, 0) != 0 || line.back() != '\r')
                throw HarnessError("an incomplete state: " + text);
            state.icons.push_back(line.substr(index.size(), line.size() - index.size() - 1));
        }
        return state;
    }

    // pindrel.exe started as "pindrel.exe <arguments>"; its exit status.
    std::string Pindrel(const fs::path& exe, const std::string& arguments) {
        const ProcessResult r =
            Tool("hostctl", {"run", WinPath(exe), "pindrel.exe " + arguments}, -1);
        const auto values = Values(r.out);
        if (!values.count("exit"))
            throw HarnessError("hostctl run ran nothing: " + r.Describe());
        return values.at("exit");
    }

  private:
    Process desktop_;
    int dumps_ = 0;
};

TEST_F(WorkerWTest, SaveAndRestoreUnderTheSecondWorkerWWithPaintingHeldForTheMoves) {
    ASSERT_EQ(session().info("acp"), "1252") << "the expected bytes are those of code page 1252";
    const Icons icons = {
        "120,45,Work files",
        "-75,20,Caf\xC3\xA9 \xC3\x91"
        "and\xC3\xBA \xE2\x82\xAC"
        "5",
        "-8,300,a, b,c",
        "48,160,0123456789abcdefghijABCDEFGHIJ0123456789", // exactly 40 units: whole
        "517,96,Notes \xE6\x97\xA5\xE6\x9C\xAC",           // outside the code page
        "77,431,Work files",                               // a duplicate
    };
    std::string scenario = "shape=workerw\n";
    for (const std::string& icon : icons)
        scenario += icon + "\n";
    StartDesktop(scenario);
    DesktopState state = Dump();
    ASSERT_EQ(state.desktop.at("viewparent"), "WorkerW 2 of 3");
    ASSERT_EQ(state.icons, icons);

    const fs::path exe = CopyPindrel("app");
    const fs::path layout =
        exe.parent_path() / (session().ProfileKey() + "@" + session().info("screen") + ".txt");
    // The stored view is the one the desktop shows: the restore switches to it, arranging nothing.
    Tool("hostctl", {"writeini", WinPath(exe.parent_path() / "pindrel.ini"), "IconType",
                     session().ProfileKey(), "Icon"});
    ASSERT_EQ(Pindrel(exe, "-s"), "0");
    const std::string saved = "120,45,Work files\r\n"
                              "-75,20,Caf\xE9 \xD1"
                              "and\xFA \x80"
                              "5\r\n"
                              "-8,300,a, b,c\r\n"
                              "48,160,0123456789abcdefghijABCDEFGHIJ0123456789\r\n"
                              "517,96,Notes ??\r\n"
                              "77,431,Work files\r\n";
    EXPECT_EQ(ReadFile(layout), saved);
    // A save moves nothing and leaves painting alone.
    state = Dump();
    EXPECT_EQ(state.Number("moves"), 0);
    EXPECT_EQ(state.Number("redrawoff"), 0);

    Tool("hostctl", {"scramble"});
    const DesktopState scrambled = Dump();
    for (size_t i = 0; i < icons.size(); ++i)
        ASSERT_NE(scrambled.icons[i], icons[i]);
    ASSERT_EQ(Pindrel(exe, "-r"), "0");
    state = Dump();
    EXPECT_EQ(state.icons, icons);
    EXPECT_EQ(state.listView.at("view"), "0");
    // Every move arrived with painting off; it was turned off once and on once, is on now, and the
    // list view has painted since.
    EXPECT_EQ(state.Number("moves"), static_cast<int>(icons.size()));
    EXPECT_EQ(state.Number("heldmoves"), state.Number("moves"));
    EXPECT_EQ(state.Number("redrawoff"), 1);
    EXPECT_EQ(state.Number("redrawon"), 1);
    EXPECT_EQ(state.Number("redraw"), 1);
    EXPECT_GT(state.Number("painted"), scrambled.Number("painted"));
    EXPECT_EQ(ReadFile(layout), saved);
}

} // namespace
} // namespace e2e
