// The real pindrel.exe against the stand-in desktop (tools/desktop-host, which documents its
// scenario and state formats): what a save writes and what a save that cannot find the desktop or
// replace its file leaves, a restore that puts every icon back after switching to the stored view
// mode, and the command texts. The rules that need no real Windows (the restore's search through
// the file, the placement settings' fallbacks, the parsing of the command line) are the unit
// tests' on the simulated session.
#include "Harness.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <thread>

namespace e2e {
namespace {

// An icon as the scenario and the state write it: "<x>,<y>,<name>", the name in UTF-8, byte for
// byte.
using Icons = std::vector<std::string>;
using Files = std::vector<std::string>;

// The icons as scenario lines.
std::string Lines(const Icons& icons) {
    std::string text;
    for (const std::string& icon : icons)
        text += icon + "\n";
    return text;
}

// LVM_GETVIEW's answers.
enum ViewCode { kViewIcon = 0, kViewDetails = 1, kViewSmallIcon = 2 };

struct ListViewState {
    bool autoArrange = false;
    int view = -1;
    int moves = 0;         // position requests from other programs
    int arrangedMoves = 0; // those that arrived while auto-arrange was on
    Icons icons;
};

// One stand-in desktop at a time, and pindrel.exe started through hostctl.exe.
class PindrelTest : public E2eTest {
  protected:
    void TearDown() override {
        if (desktop_.running())
            Tool("hostctl", {"stop"}, -1);
    }

    // Starts the stand-in desktop with this scenario and waits until it is ready; throws when it
    // does not get there.
    void StartDesktop(const std::string& scenario) {
        const std::string n = std::to_string(++files_);
        const fs::path file = dir() / ("scenario-" + n + ".txt");
        const fs::path ready = dir() / ("desktop-ready-" + n + ".txt");
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
    int StopDesktop() { // the host's exit status
        HostCtl({"stop"});
        const std::optional<int> status = desktop_.Wait();
        if (!status)
            throw HarnessError("the stand-in desktop did not end");
        return *status;
    }
    void HostCtl(const std::vector<std::string>& args) { Tool("hostctl", args); }

    ListViewState Dump() {
        const fs::path file = dir() / ("desktop-state-" + std::to_string(++files_) + ".txt");
        HostCtl({"dump", WinPath(file)});
        const std::string text = ReadFile(file);
        // The desktop list view's part: from "[listview 0]" its "key=value" lines up to its
        // count, then one "<index>,<x>,<y>,<text>" line per item.
        const size_t begin = text.find("[listview 0]\r\n");
        const size_t items = text.find("\r\ncount=", begin);
        if (begin == std::string::npos || items == std::string::npos)
            throw HarnessError("no desktop list view in the state: " + text);
        const auto keys = Values(text.substr(begin, items - begin));
        ListViewState state{keys.at("autoarrange") == "1",
                            std::stoi(keys.at("view")),
                            std::stoi(keys.at("moves")),
                            std::stoi(keys.at("arrangedmoves")),
                            {}};
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

    // hostctl's answer (its "key=value" lines) to a request that runs a program: `run <exe>
    // <line>` starts it with exactly that command line (CreateProcessA) and waits for it;
    // `runwindow` waits for its window and closes it; `runlocked <file> <exe> <line>` runs it
    // while `file` is held open and shared with nobody. Throws when it printed no exit code.
    std::map<std::string, std::string> HostRun(const std::vector<std::string>& args) {
        const ProcessResult r = Tool("hostctl", args, -1);
        auto values = Values(r.out);
        if (!values.count("exit"))
            throw HarnessError("hostctl " + args.front() + " ran nothing: " + r.Describe());
        return values;
    }
    unsigned long RunExact(const fs::path& exe, const std::string& commandLine) {
        return std::stoul(HostRun({"run", WinPath(exe), commandLine}).at("exit"));
    }
    // `exe` started as "<its file name> <arguments>".
    unsigned long Pindrel(const fs::path& exe, const std::string& arguments) {
        return RunExact(exe, exe.filename().string() + " " + arguments);
    }

    // The layout file beside `exe`: user@computer@WxH.txt for this session.
    fs::path LayoutOf(const fs::path& exe) const {
        return exe.parent_path() /
               (session().ProfileKey() + "@" + session().info("screen") + ".txt");
    }
    Files AppFiles(const fs::path& exe) const {
        Files files{LayoutOf(exe).filename().string(), exe.filename().string()};
        std::sort(files.begin(), files.end());
        return files;
    }
    // The restore's first cursor position when no setting gives one: half the screen in pixels
    // by the integer rule (screen twips and twips per pixel each rounded to whole numbers,
    // divided as integers, halved with a half going to the even neighbour), `below` steps of 20
    // pixels lower.
    std::string Cursor(const std::string& name, int below = 0) const {
        int size[2] = {};
        int dpi[2] = {};
        long half[2] = {};
        std::sscanf(session().info("screen").c_str(), "%dx%d", &size[0], &size[1]);
        std::sscanf(session().info("dpi").c_str(), "%d,%d", &dpi[0], &dpi[1]);
        for (int k = 0; k < 2; ++k) {
            const float twipsPerPixel = 1440.0f / static_cast<float>(dpi[k]);
            const long twips = std::lrint(static_cast<float>(size[k]) * twipsPerPixel);
            half[k] = std::lrint(static_cast<double>(twips / std::lrint(twipsPerPixel)) / 2.0);
        }
        return std::to_string(half[0]) + "," + std::to_string(half[1] + 20 * below) + "," + name;
    }

  private:
    Process desktop_;
    int files_ = 0;
};

// Save, scramble, restore: every name through the list view, the code page and the file byte for
// byte, and every icon back. A save replaces the file whole or not at all.
TEST_F(PindrelTest, SaveReplacesTheLayoutWholeAndARestorePutsEveryIconBack) {
    ASSERT_EQ(session().info("acp"), "1252") << "the expected bytes are those of code page 1252";
    const Icons icons = {
        "120,45,Work files",
        "-75,20,Notes \xE6\x97\xA5\xE6\x9C\xAC", // outside the code page
        "333,-23,  padded name  ",               // blanks at the ends are cut
        "-8,300,a, b,c ",                        // commas stay
        "5,5,",                                  // never matched: takes the cursor
        "640,412,   ",                           // empty once trimmed: likewise
        "517,96,Caf\xC3\xA9 \xC3\x91"
        "and\xC3\xBA \xE2\x82\xAC"
        "5",
        "999,701,R\xC3\xA9sum\xC3\xA9 of the quarterly figures, north region v2",
        "48,160,0123456789abcdefghijABCDEFGHIJ0123456789", // exactly 40: whole
        "77,431,Work files",                               // a duplicate
    };
    StartDesktop("autoarrange=1\n" + Lines(icons));
    const fs::path exe = CopyPindrel("app");
    const fs::path layout = LayoutOf(exe);
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
    EXPECT_EQ(ReadFile(layout), saved);
    EXPECT_EQ(FilesIn(exe.parent_path()), AppFiles(exe));
    // The save switched auto-arrange off and moved nothing.
    ListViewState state = Dump();
    EXPECT_FALSE(state.autoArrange);
    EXPECT_EQ(state.moves, 0);
    EXPECT_EQ(state.icons, icons);

    // An icon moves; a save while the file is held open, or is immutable, ends with status 2 and
    // leaves the file and no temporary one. Root replaces a Windows read-only file all the same
    // under Wine (which leaves the refusal to the Unix calls); an immutable one is refused with
    // ERROR_ACCESS_DENIED, as Windows refuses a read-only file.
    HostCtl({"move", "0", "-2", "-3"});
    EXPECT_EQ(HostRun({"runlocked", WinPath(layout), WinPath(exe), "pindrel.exe -s"}).at("exit"),
              "2");
    fs::permissions(layout, fs::perms::owner_write, fs::perm_options::remove);
    ASSERT_EQ(RunProcess({"chattr", "+i", layout.string()}, dir()).status, 0)
        << "chattr +i refused";
    EXPECT_EQ(Pindrel(exe, "-s"), 2u);
    EXPECT_EQ(RunProcess({"chattr", "-i", layout.string()}, dir()).status, 0);
    fs::permissions(layout, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(ReadFile(layout), saved);
    EXPECT_EQ(FilesIn(exe.parent_path()), AppFiles(exe)) << "a temporary file was left";
    // Once nothing stands in the way, the next save replaces the file.
    ASSERT_EQ(Pindrel(exe, "-s"), 0u);
    const std::string resaved = "-2,-3,Work files\r\n" + saved.substr(saved.find("-75"));
    EXPECT_EQ(ReadFile(layout), resaved);

    // Scrambled, and auto-arrange on again as the restore starts.
    const Icons unscrambled = Dump().icons;
    HostCtl({"scramble"});
    HostCtl({"toggle"});
    state = Dump();
    ASSERT_TRUE(state.autoArrange);
    ASSERT_NE(state.icons, unscrambled);
    // A layout file held open by another program cannot be read: status 5, and nothing moves.
    EXPECT_EQ(HostRun({"runlocked", WinPath(layout), WinPath(exe), "pindrel.exe -r"}).at("exit"),
              "5");
    const ListViewState untouched = Dump();
    EXPECT_EQ(untouched.icons, state.icons);
    EXPECT_EQ(untouched.moves, state.moves);
    EXPECT_TRUE(untouched.autoArrange);
    ASSERT_EQ(Pindrel(exe, "-r"), 0u);
    state = Dump();
    Icons expected = icons;
    expected[0] = "-2,-3,Work files";
    expected[4] = Cursor("");
    expected[5] = Cursor("   ", 1);
    EXPECT_EQ(state.icons, expected);
    // Auto-arrange was off for every move and is on again now; a restore writes no layout.
    EXPECT_EQ(state.moves, static_cast<int>(icons.size()));
    EXPECT_EQ(state.arrangedMoves, 0);
    EXPECT_TRUE(state.autoArrange);
    EXPECT_EQ(ReadFile(layout), resaved);
    EXPECT_EQ(FilesIn(exe.parent_path()), AppFiles(exe));
}

// The desktop list view is the first one in the shell view, found under "Progman" or else among
// the top-level windows; without one neither switch writes or moves anything.
TEST_F(PindrelTest, SaveFindsTheShellsListViewOrFailsWithStatus1) {
    const std::string old = "10,20,Kept\r\n-5,7,a,b\r\n30,40,\r\n";
    const std::string found = "11,12,First\r\n13,14,Second\r\n";
    const struct {
        const char* scenario; // nullptr: no desktop at all
        unsigned long status;
    } scenes[] = {{"shape=noprogman\n11,12,First\n13,14,Second\n", 0},
                  {"shape=twolistviews\n11,12,First\n13,14,Second\n[second]\n31,32,Other one\n", 0},
                  {"shape=nolistview\n", 1},
                  {nullptr, 1}};
    const fs::path exe = CopyPindrel("app");
    for (const auto& scene : scenes) {
        SCOPED_TRACE(scene.scenario ? scene.scenario : "no desktop");
        if (scene.scenario)
            StartDesktop(scene.scenario);
        WriteFile(LayoutOf(exe), old);
        EXPECT_EQ(Pindrel(exe, "-s"), scene.status);
        EXPECT_EQ(ReadFile(LayoutOf(exe)), scene.status == 0 ? found : old);
        EXPECT_EQ(Pindrel(exe, "-r"), scene.status);
        // Nor is a missing layout file made.
        fs::remove(LayoutOf(exe));
        if (scene.status == 1) {
            EXPECT_EQ(Pindrel(exe, "-s"), 1u);
            EXPECT_EQ(FilesIn(exe.parent_path()), Files{"pindrel.exe"});
        }
        if (scene.scenario) {
            EXPECT_EQ(StopDesktop(), 0);
        }
    }
}

// A switch counts whatever its letter case and the blanks around it; any other text opens the
// window, which does nothing until it is closed. A restore switches the desktop to the view mode
// stored in the settings file named after the program before it places the icons: every switch
// re-arranges them, so icons at their saved places were placed after it.
TEST_F(PindrelTest, CommandTextsAndTheStoredViewMode) {
    const Icons icons = {"60,70,One", "-10,210,Two", "430,95,Three"};
    StartDesktop("autoarrange=1\n" + Lines(icons));
    // In a folder whose name holds a space, under a name of its own.
    const fs::path exe = CopyPindrel("my tools", "Tool.exe");
    for (const char* line : {"Tool.exe -s -r", "Tool.exe"}) {
        SCOPED_TRACE(line);
        const auto run = HostRun({"runwindow", WinPath(exe), line});
        EXPECT_EQ(run.at("window").substr(run.at("window").find('|') + 1), "Pindrel");
        EXPECT_EQ(run.at("running"), "1");
    }
    // Nothing saved, nothing stored, the desktop as it was.
    EXPECT_EQ(FilesIn(exe.parent_path()), Files{"Tool.exe"});
    ListViewState state = Dump();
    EXPECT_TRUE(state.autoArrange);
    EXPECT_EQ(state.moves, 0);
    EXPECT_EQ(state.icons, icons);

    EXPECT_EQ(RunExact(exe, "\"" + WinPath(exe) + "\" -S"), 0u);
    EXPECT_EQ(ReadFile(LayoutOf(exe)), "60,70,One\r\n-10,210,Two\r\n430,95,Three\r\n");
    // The list view's style keeps the view it was made with (icon), so "Icon" after "Report"
    // works only when the switch names the shown view.
    const struct {
        const char* line;
        const char* stored; // nullptr: nothing stored, small icons
        int view;
    } restores[] = {{"Tool.exe   -r  ", nullptr, kViewSmallIcon},
                    {"Tool.exe -R", "Report", kViewDetails},
                    {"Tool.exe -r", "Icon", kViewIcon}};
    for (const auto& restore : restores) {
        SCOPED_TRACE(restore.line);
        if (restore.stored)
            WriteFile(exe.parent_path() / "Tool.ini",
                      "[IconType]\r\n" + session().ProfileKey() + "=" + restore.stored + "\r\n");
        HostCtl({"scramble"});
        EXPECT_EQ(RunExact(exe, restore.line), 0u);
        state = Dump();
        EXPECT_EQ(state.view, restore.view);
        if (restore.view != kViewDetails) {
            EXPECT_EQ(state.icons, icons);
        }
    }
}

} // namespace
} // namespace e2e
