// The desktop through Explorer's folder view: chosen once per operation where it is the desktop
// the user sees, moving every icon in one call and touching no memory of the shell's process,
// giving the same files as the list view's messages, and ending the operation (status 4, old
// layout whole, nothing leaked) when it fails part-way.
#include "DesktopRequest.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace pindrel;
using namespace pindrel::testing;
using pindrel::sim::SimComDesktop;

namespace {

// The icons of every scene: accents, commas, a name of more than 40 units, text outside the code
// page, a blank one.
const Items kIcons = {{"Work files", {120, 45}},
                      {"R\xC3\xA9sum\xC3\xA9, north", {-75, 20}},
                      {"0123456789abcdefghijABCDEFGHIJ0123456789 and more", {333, -23}},
                      {"Notes \xE6\x97\xA5\xE6\x9C\xAC", {-8, 300}},
                      {"   ", {5, 6}}};
const char* const kSaved = "120,45,Work files\r\n-75,20,R\xE9sum\xE9, north\r\n"
                           "333,-23,0123456789abcdefghijABCDEFGHIJ0123456789\r\n"
                           "-8,300,Notes ??\r\n5,6,\r\n";

} // namespace

class FolderViewTransport : public FormTest {
  protected:
    // Windows 10 with the icons, and the layout kSaved there already.
    Hwnd Windows10(DWORD style = 0) {
        session->SetWindowsVersion(10, 0, 19045);
        return Desktop(kIcons, style).listView;
    }
    // Whether any of these calls or messages reached the session since ClearCalls().
    bool Saw(const std::string& function) const { return session->CountCalls(function) > 0; }
    bool SawListViewMemory() const {
        return Saw("OpenProcess") || Saw("VirtualAllocEx") ||
               session->CountMessages(win::LVM_GETITEMW) > 0 ||
               session->CountMessages(win::LVM_GETITEMPOSITION) > 0 ||
               session->CountMessages(win::LVM_SETITEMPOSITION) > 0;
    }
    void ExpectNoComLeft() {
        EXPECT_EQ(session->LiveComPointers(), 0);
        EXPECT_EQ(session->LiveComItemIds(), 0);
        EXPECT_EQ(session->ComInitialized(), 0);
        ExpectNothingLeaked();
    }
    void Scramble(Hwnd lv) {
        for (sim::SimItem& item : session->Items(lv))
            item.position = {item.position.y + 7, item.position.x - 3};
    }
};

// The folder view serves Windows Vista and later when its shell view is the window the lookup
// finds; the list view's messages serve older Windows, and a chain that finds no desktop, one that
// answers with a view of no window (Wine's own desktop, which has no items: never taken for an
// empty one) or no ShellWindows class at all.
TEST_F(FolderViewTransport, TheTransportIsChosenBeforeAnythingChanges) {
    const struct {
        const char* what;
        DWORD major;
        SimComDesktop desktop;
        sim::ShellShape shape;
        bool folderView;
    } scenes[] = {
        {"Windows 10", 10, SimComDesktop::Shown, sim::ShellShape::Standard, true},
        {"Windows 10 under WorkerW", 10, SimComDesktop::Shown, sim::ShellShape::WorkerW, true},
        {"Windows Vista", 6, SimComDesktop::Shown, sim::ShellShape::Standard, true},
        {"Windows XP", 5, SimComDesktop::Shown, sim::ShellShape::Standard, false},
        {"no desktop in the chain", 10, SimComDesktop::Missing, sim::ShellShape::Standard, false},
        {"a view of no window", 10, SimComDesktop::Hollow, sim::ShellShape::Standard, false},
        {"no ShellWindows class", 10, SimComDesktop::Unregistered, sim::ShellShape::Standard,
         false},
    };
    for (const auto& scene : scenes) {
        SCOPED_TRACE(scene.what);
        NewSession().SetWindowsVersion(scene.major, 0, 1);
        session->SetComDesktop(scene.desktop);
        const Hwnd lv = session->CreateShell(scene.shape).listView;
        for (const auto& [name, position] : kIcons)
            session->AddItem(lv, std::string(name), position);
        session->ClearCalls();
        Start("-s");
        EXPECT_EQ(form->exitStatus(), ExitStatus::Ok);
        EXPECT_EQ(session->FileBytes(kLayout), kSaved);
        EXPECT_EQ(Saw("IFolderView_ItemCount"), scene.folderView);
        EXPECT_EQ(SawListViewMemory(), !scene.folderView);
        EXPECT_EQ(Saw("CoCreateInstance"), scene.major >= 6);
        ExpectNoComLeft();
    }
}

// A save, a scramble and a restore through the folder view: auto-arrange switched off by the
// save (read from the folder flags, switched by the shell view's command), the view mode by the
// folder view's own call, the moves in one call, painting held; no memory of the shell's process,
// no list-view request that needs it.
TEST_F(FolderViewTransport, AFolderViewRunMovesEveryIconInOneCall) {
    const Hwnd lv = Windows10(win::LVS_AUTOARRANGE);
    session->WriteFileBytes(kIni, "[IconType]\r\nUSER1@DESK1=Report\r\n");
    session->ClearCalls();
    Start("-s");
    ASSERT_EQ(session->FileBytes(kLayout), kSaved);
    EXPECT_FALSE(session->AutoArrange(lv)) << "switched off by the save";
    const std::vector<Point> saved = Positions(lv);
    Scramble(lv);
    Start("-r");
    EXPECT_EQ(form->exitStatus(), ExitStatus::Ok);
    std::vector<Point> expected = saved;
    expected.back() = {512, 384}; // the blank name takes the cursor
    EXPECT_EQ(Positions(lv), expected);
    EXPECT_EQ(session->CountCalls("IFolderView_SelectAndPositionItems"), 1);
    EXPECT_EQ(session->CountCalls("IFolderView_SetCurrentViewMode"), 1);
    EXPECT_EQ(session->CurrentView(lv), 1u);
    EXPECT_TRUE(Saw("IFolderView2_GetCurrentFolderFlags"));
    EXPECT_EQ(session->CountMessages(win::WM_COMMAND), 1) << "only the save's";
    EXPECT_EQ(session->CountMessages(win::WM_SETREDRAW), 2);
    EXPECT_FALSE(session->ShowsOldPicture(lv));
    EXPECT_FALSE(SawListViewMemory());
    EXPECT_EQ(session->CountMessages(win::WM_STYLECHANGED), 0);
    ExpectNoComLeft();
}

// A layout saved through either transport is the same file, and restores through the other to the
// same places.
TEST_F(FolderViewTransport, BothTransportsWriteAndReadTheSameFiles) {
    for (const bool folderFirst : {true, false}) {
        SCOPED_TRACE(folderFirst ? "saved through the folder view" : "saved through the list view");
        NewSession();
        const Hwnd lv = Windows10();
        session->SetWindowsVersion(folderFirst ? 10 : 5, 0, 1);
        Start("-s");
        EXPECT_EQ(session->FileBytes(kLayout), kSaved);
        const std::vector<Point> saved = Positions(lv);
        Scramble(lv);
        session->SetWindowsVersion(folderFirst ? 5 : 10, 0, 1);
        session->ClearCalls();
        controls->ComboSelectText("Icon");
        form->cmdLoad_Click();
        EXPECT_EQ(Saw("IFolderView_SelectAndPositionItems"), !folderFirst);
        std::vector<Point> expected = saved;
        expected.back() = {512, 384};
        EXPECT_EQ(Positions(lv), expected);
        ExpectNoComLeft();
    }
}

// Every call of the folder view failing with each error a shell gives: a failure in the chain
// leaves the folder view out (the list view's messages serve the operation); once the view is
// chosen a failed read ends the operation with 4 (a save keeps the old layout, a restore stops),
// and so does a change the server could not take, while a change the view refuses is left at
// that, as the list view's refusals are; nothing the program obtained is left behind.
TEST_F(FolderViewTransport, AFolderViewThatFailsEndsTheOperation) {
    const std::string old = "1,2,Work files\r\n";
    // The view's own refusals, then the server's failures (gone, Wine's "unknown interface").
    const HRESULT errors[] = {com::E_FAIL,
                              com::E_NOTIMPL,
                              com::E_INVALIDARG,
                              com::RPC_E_DISCONNECTED,
                              com::RPC_S_SERVER_UNAVAILABLE,
                              static_cast<HRESULT>(0x800706B5)};
    struct Call {
        const char* method;
        bool inChain;      // chosen before anything changes: the list view takes over
        bool failsRestore; // a restore (the icon view stored) meets it and stops
        bool failsSave;
        bool change = false; // a change: only the server's failures stop the operation
    };
    const Call calls[] = {
        {"IShellWindows_FindWindowSW", true, false, false},
        {"IServiceProvider_QueryService", true, false, false},
        {"IShellBrowser_QueryActiveShellView", true, false, false},
        {"IOleWindow_GetWindow", true, false, false},
        {"IFolderView_ItemCount", false, true, true},
        {"IFolderView_Item", false, true, true},
        {"IFolderView_GetItemPosition", false, false, true},
        {"IFolderView_GetFolder", false, true, true},
        {"IShellFolder_GetDisplayNameOf", false, true, true},
        {"IFolderView_SelectAndPositionItems", false, true, false, true},
        {"IFolderView_SetCurrentViewMode", false, true, false, true},
        // Without the folder flags the list view's style says whether auto-arrange is on.
        {"IFolderView2_GetCurrentFolderFlags", false, false, false},
    };
    for (const Call& call : calls) {
        for (const HRESULT hr : errors) {
            for (const char* command : {"-s", "-r"}) {
                SCOPED_TRACE(std::string(command) + ", " + call.method + " " +
                             std::to_string(static_cast<std::uint32_t>(hr)));
                NewSession();
                const Hwnd lv = Windows10();
                session->WriteFileBytes(kLayout, old);
                session->WriteFileBytes(kIni, "[IconType]\r\nUSER1@DESK1=Icon\r\n");
                session->FailComCall(call.method, hr);
                session->ClearCalls();
                Start(command);
                const bool save = command[1] == 's';
                const bool refused = call.change && hr != com::RPC_E_DISCONNECTED &&
                                     hr != com::RPC_S_SERVER_UNAVAILABLE &&
                                     hr != static_cast<HRESULT>(0x800706B5);
                const bool fails = (save ? call.failsSave : call.failsRestore) && !refused;
                EXPECT_EQ(form->exitStatus(),
                          fails ? ExitStatus::DesktopUnreadable : ExitStatus::Ok);
                EXPECT_EQ(SawListViewMemory(), call.inChain);
                if (save) {
                    EXPECT_EQ(session->FileBytes(kLayout), fails ? old : kSaved);
                } else if (!fails && !(refused && std::string(call.method) ==
                                                      "IFolderView_SelectAndPositionItems")) {
                    EXPECT_EQ(Positions(lv).front(), (Point{1, 2}));
                }
                ExpectNoComLeft();
            }
        }
    }
}

// The server going away, or no longer answering, after each call in turn: in the chain the list
// view takes over (a server gone) or the operation ends (a server that does not answer: the list
// view, in the same process, would not answer either); later on the operation ends with 4, the
// old layout whole, after one time limit at most.
TEST_F(FolderViewTransport, AServerThatGoesAwayOrHangsPartWay) {
    const std::string old = "1,2,Work files\r\n";
    for (const bool hangs : {false, true}) {
        for (const char* command : {"-s", "-r"}) {
            for (int after = 0; after < 40; ++after) {
                SCOPED_TRACE(std::string(command) + (hangs ? ", hangs" : ", gone") + " after " +
                             std::to_string(after) + " calls");
                NewSession();
                const Hwnd lv = Windows10();
                session->WriteFileBytes(kLayout, old);
                hangs ? session->HangComServerAfter(after) : session->LoseComServerAfter(after);
                session->ClearCalls();
                Start(command);
                // The list view served: the server went away before the folder view was chosen.
                const bool inChain = SawListViewMemory();
                const bool finished = form->exitStatus() == ExitStatus::Ok;
                if (command[1] == 's') {
                    EXPECT_EQ(session->FileBytes(kLayout), finished ? kSaved : old);
                }
                if (!finished) {
                    EXPECT_EQ(form->exitStatus(), ExitStatus::DesktopUnreadable);
                    EXPECT_FALSE(inChain) << "a failure once chosen never goes to the list view";
                }
                EXPECT_FALSE(inChain && hangs) << "no list view after a server that hangs";
                EXPECT_EQ(session->NowMs(), hangs && !finished ? kAnswerLimitMs : 0u);
                (void)lv;
                ExpectNoComLeft();
                if (finished && !inChain)
                    break; // the server outlived the whole operation
            }
        }
    }
}
