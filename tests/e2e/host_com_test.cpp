// The stand-in desktop's own COM part and instruments, end to end under Wine: hostctl walks the
// shell's chain (CLSID_ShellWindows → ... → IFolderView2) as Pindrel will, and what the folder
// view shows and does is held against the real list view's own state, with what a client leaves
// held (comobjects=) and the host's memory other programs take (foreignallocs=). Then the chain
// that cannot be walked (com=0, a server that goes away, a hollow view, a list view gone), and a
// host that hangs. One stand-in desktop per scene.
#include "Harness.h"

#include <sstream>

namespace e2e {
namespace {

using Icons = std::vector<std::string>;

std::string Lines(const Icons& icons) {
    std::string text;
    for (const std::string& icon : icons)
        text += icon + "\n";
    return text;
}

// What hostctl comdump wrote: its fixed lines (window=, viewwindow=, progman=, defview=, count=,
// viewmode=, folderflags=) and the items as "<x>,<y>,<name>".
struct FolderView {
    std::map<std::string, std::string> values;
    Icons icons;
};

class HostComTest : public E2eTest {
  protected:
    // A walk of the chain that must succeed; `extra` is comdump's "leak" or "alloc".
    FolderView ComDump(const std::string& extra = "") {
        const fs::path file = dir() / ("comdump-" + std::to_string(++dumps_) + ".txt");
        std::vector<std::string> args = {"comdump", WinPath(file)};
        if (!extra.empty())
            args.push_back(extra);
        Tool("hostctl", args);
        std::istringstream in(ReadFile(file));
        std::string line, header;
        for (int i = 0; i < 8 && std::getline(in, line); ++i) // "hostctl comdump" and 7 values
            header += line + "\n";
        FolderView view{Values(header), {}};
        while (std::getline(in, line)) {
            line.pop_back(); // its CR
            view.icons.push_back(line);
        }
        return view;
    }
    // A hostctl command that must fail (exit code 3): what it printed on stderr.
    std::string Failure(const std::vector<std::string>& args) {
        const ProcessResult r = Tool("hostctl", args, -1);
        EXPECT_EQ(r.status, 3) << r.Describe();
        return r.err;
    }
    static void ExpectNumbers(const DesktopState& state, const std::map<std::string, int>& want) {
        for (const auto& [key, number] : want)
            EXPECT_EQ(state.Number(key), number) << key;
    }

  private:
    int dumps_ = 0;
};

// The folder view is the real list view: the same items in the same order, their names byte for
// byte (accents, commas, blanks at the ends, over 40 characters, CJK, one of 300 characters) at
// the same places, past the 256 items that one byte of an id could name; its window is the shell
// view under Progman; its view mode and auto-arrange are the list view's and set them; a move
// through it moves the real item. None of it is a list-view request of the client's, none of it
// takes the host's memory, and a client that released everything leaves nothing held. Then the
// controls: a folder-view client that holds a page in the host, a client that ends holding what
// it got, and pindrel.exe through the list view's messages (whose save reads the names through
// buffers it allocates in the host).
TEST_F(HostComTest, TheFolderViewIsTheRealListView) {
    Icons icons = {"120,45,Work files",
                   "-75,20,Notes \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
                   "333,-23,  padded, with commas  ",
                   "517,96,Caf\xC3\xA9 \xC3\x91o\xC3\xBA \xE2\x82\xAC!",
                   "999,701,R\xC3\xA9sum\xC3\xA9 of the quarterly figures, north region v2",
                   "40,400," + std::string(300, 'x'),
                   "5,5,"};
    for (int i = static_cast<int>(icons.size()); i < 260; ++i)
        icons.push_back(std::to_string(i % 40 * 25) + "," + std::to_string(i / 40 * 90) + ",Item " +
                        std::to_string(i));
    StartDesktop("autoarrange=0\n" + Lines(icons));
    // An id the host never handed out is refused before any was asked for, as is an index with
    // no item.
    EXPECT_NE(Failure({"commove", "1", "0", "0", "forged"})
                  .find("IFolderView::SelectAndPositionItems failed: 0x80070057"),
              std::string::npos);
    EXPECT_NE(Failure({"commove", "260", "0", "0"}).find("IFolderView::Item failed: 0x80070057"),
              std::string::npos);

    FolderView view = ComDump();
    EXPECT_EQ(view.icons, icons);
    EXPECT_EQ(view.icons, Dump().icons);
    EXPECT_EQ(view.values.at("count"), "260");
    EXPECT_EQ(view.values.at("window"), view.values.at("progman"));
    EXPECT_EQ(view.values.at("viewwindow"), view.values.at("defview"));
    EXPECT_NE(view.values.at("defview"), "0x0");
    EXPECT_EQ(view.values.at("viewmode"), "1");       // FVM_ICON
    EXPECT_EQ(view.values.at("folderflags"), "0x20"); // FWF_DESKTOP, no FWF_AUTOARRANGE

    // A move through the folder view moves the list-view item, and is no list-view move.
    Tool("hostctl", {"commove", "2", "-30", "250"});
    Icons moved = icons;
    moved[2] = "-30,250,  padded, with commas  ";
    EXPECT_EQ(Dump().icons, moved);

    // The view mode and auto-arrange through the folder view are the list view's (LVM_GETVIEW 1
    // is details), and the folder view reads them back. Arranging 260 icons has Wine make blocks
    // of memory in the host, which are the host's own.
    Tool("hostctl", {"comview", "4"});
    Tool("hostctl", {"comarrange", "1"});
    DesktopState state = Dump();
    ExpectNumbers(state, {{"view", 1}, {"autoarrange", 1}, {"comviews", 1}});
    view = ComDump();
    EXPECT_EQ(view.values.at("viewmode"), "4");
    EXPECT_EQ(view.values.at("folderflags"), "0x21");
    Tool("hostctl", {"comarrange", "0"});
    Tool("hostctl", {"comview", "1"});
    Tool("hostctl", {"scramble"});
    Tool("hostctl", {"toggle"});
    state = Dump();
    ExpectNumbers(state, {{"commoves", 1}, {"moves", 0}, {"getitems", 0}, {"getpositions", 0}});
    ExpectNumbers(state, {{"foreignallocs", 0}, {"comobjects", 0}, {"comvanished", 0}});

    ComDump("alloc");
    EXPECT_EQ(Dump().Number("foreignallocs"), 1);

    // A client that ends holding the view and the folder, without leaving its apartment, leaves
    // both counted: Wine never collects them.
    ComDump("leak");
    EXPECT_EQ(Dump().Number("comobjects"), 2);

    // pindrel.exe with the COM part off reads the names and positions through the list view's
    // messages, with buffers it allocates in the host.
    TearDown();
    StartDesktop("com=0\n" + Lines(icons));
    const fs::path exe = CopyPindrel("app");
    ASSERT_EQ(Run(exe, "pindrel.exe -s"), 0u);
    state = Dump();
    EXPECT_GT(state.Number("foreignallocs"), 0);
    ExpectNumbers(state, {{"getitems", 260}, {"getpositions", 260}, {"moves", 0}});
}

// The chain that cannot be walked: the step that fails and its HRESULT, as Wine gives them, and
// what the state says. The list view is there throughout (the host's own dump reads it).
TEST_F(HostComTest, AChainThatCannotBeWalkedSaysWhere) {
    const struct {
        const char* scenario;
        std::vector<std::string> before; // hostctl commands run first
        const char* failure;             // what comdump prints
        std::map<std::string, int> state;
    } scenes[] = {
        {"com=0\n",
         {},
         "CoCreateInstance(CLSID_ShellWindows) failed: 0x80040154",
         {{"comcalls", 0}}},
        // CreateInstance, FindWindowSW, QueryService answered; the browser is gone.
        {"comvanish=3\n",
         {},
         "IShellBrowser::QueryActiveShellView failed: 0x800706B5",
         {{"comcalls", 3}, {"comvanished", 1}, {"comobjects", 0}}},
        // The chain and the first item's id, position and name answered; its second id is not.
        {"comvanish=12\n",
         {},
         "IFolderView::Item failed: 0x800706B5",
         {{"comcalls", 12}, {"comvanished", 1}, {"comobjects", 0}}},
        // A folder view that answers as Wine's own desktop: no items, and no folder flags.
        {"com=hollow\n",
         {},
         "IFolderView2::GetCurrentFolderFlags failed: 0x80004001",
         {{"comcalls", 9}, {"comobjects", 0}}},
        // The list view destroyed after one request: the view is there, its items are not.
        {"vanish=1\n",
         {"roundtrip", "1"},
         "IFolderView::ItemCount(SVGIO_ALLVIEW) failed: 0x80070578",
         {{"vanished", 1}, {"comobjects", 0}}},
    };
    for (const auto& scene : scenes) {
        SCOPED_TRACE(scene.scenario);
        StartDesktop(std::string(scene.scenario) + "10,20,One\n30,40,Two\n");
        if (!scene.before.empty())
            Tool("hostctl", scene.before);
        const std::string err = Failure({"comdump", WinPath(dir() / "comdump.txt")});
        EXPECT_NE(err.find(scene.failure), std::string::npos) << err;
        const DesktopState state = Dump();
        ExpectNumbers(state, scene.state);
        if (state.values.at("vanished") == "0") {
            EXPECT_EQ(state.icons, Icons({"10,20,One", "30,40,Two"}));
        }
        // A server that went away stays away.
        if (state.values.at("comvanished") == "1") {
            EXPECT_NE(Failure({"comdump", WinPath(dir() / "comdump.txt")})
                          .find("CoCreateInstance(CLSID_ShellWindows) failed: 0x80040154"),
                      std::string::npos);
        }
        TearDown();
    }
}

// A host that hangs, on request or after n list-view requests of another program: a
// SendMessageTimeout with SMTO_ABORTIFHUNG to its list view times out (ERROR_TIMEOUT), and once
// the hang is over the host answers again.
TEST_F(HostComTest, AHungHostAnswersNothingUntilTheHangEnds) {
    const struct {
        const char* scenario;
        std::vector<std::string> start; // what starts the hang
    } scenes[] = {{"", {"hang", "12000"}}, {"hangafter=2\nhangms=12000\n", {"roundtrip", "2"}}};
    for (const auto& scene : scenes) {
        SCOPED_TRACE(scene.start.front());
        StartDesktop(std::string(scene.scenario) + "10,20,One\n");
        Tool("hostctl", scene.start);
        const ProcessResult hung = Tool("hostctl", {"ping", "3000"}, 3);
        EXPECT_EQ(Values(hung.out)["answered"], "0");
        EXPECT_EQ(Values(hung.out)["error"], "1460");
        // The answer comes once the hang is over (the long timeout only guards a host that never
        // answers again).
        const ProcessResult after = Tool("hostctl", {"ping", "60000"});
        EXPECT_EQ(Values(after.out)["answered"], "1");
        EXPECT_EQ(Dump().icons, Icons({"10,20,One"}));
        TearDown();
    }
}

} // namespace
} // namespace e2e
