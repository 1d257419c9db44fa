// Runs that cannot do their job fail and say so: a save that could read none of the desktop's
// icons, or could not replace the layout file, keeps the old layout whole; a restore whose layout
// file exists but cannot be read moves nothing. And settings files that are odd or cannot be
// written.
#include "DesktopRequest.h"
#include "SimFixture.h"
#include "modPindrel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace pindrel;
using namespace pindrel::testing;
using S = sim::SimSession;

namespace {

const char* const kOld = "1,2,One\r\n3,4,Two\r\n";
// The icons where they are, and where the switch to the stored view arranges them when none moves
// afterwards.
const std::vector<Point> kKept = {{700, 500}, {710, 510}}, kArranged = {{10, 10}, {10, 85}};

// One silent run of "-s" or "-r" on the desktop One (700, 500), Two (710, 510) with the layout
// kOld and, for a restore, the report view stored, `fault` injected first; "(non-NT)" in the name
// runs it on Windows 98.
struct Scene {
    const char* what;
    const char* command;
    Fault fault;
    ExitStatus status;
    // When set the same scene is also run from the window's button, which shows one message
    // holding this and works again.
    const char* message = nullptr;
    const char* saved = nullptr;      // a save's file afterwards; nullptr: the old layout, whole
    std::vector<Point> after = kKept; // a restore's positions afterwards
    int views = 0;                    // a restore's view changes: 1 when it goes on
    bool hangs = false;               // the desktop stops answering: the run waits one time limit
};

// A call of one of the session's fault settings, with these arguments; On() passes the desktop
// list view first.
template <typename... Params, typename... Args> Fault Set(void (S::*set)(Params...), Args... args) {
    return [=](S& s, Hwnd) { (s.*set)(args...); };
}
template <typename... Params, typename... Args>
Fault On(void (S::*set)(Hwnd, Params...), Args... args) {
    return [=](S& s, Hwnd lv) { (s.*set)(lv, args...); };
}
// `fault` once the second (last) icon's position has been asked for: the names' requests meet
// it, the positions' did not.
Fault OnceThePositionsAreRead(Fault fault) {
    return [=](S& s, Hwnd lv) {
        s.OnSendMessage([&s, lv, fault](const sim::SimCall& call) {
            if (call.message == win::LVM_GETITEMPOSITION && call.wParam == 1)
                fault(s, lv);
        });
    };
}

} // namespace

class SaveFailure : public FormTest {
  protected:
    void Run(const Scene& scene, bool fromTheWindow) {
        const bool save = scene.command == std::string("-s");
        NewSession();
        if (std::string(scene.what).find("(non-NT)") != std::string::npos)
            session->SetPlatformId(win::VER_PLATFORM_WIN32_WINDOWS);
        const Hwnd lv = Desktop({{"One", {700, 500}}, {"Two", {710, 510}}}).listView;
        session->WriteFileBytes(kLayout, kOld);
        if (!save)
            session->WriteFileBytes(kIni, "[IconType]\r\nUSER1@DESK1=Report\r\n");
        scene.fault(*session, lv);
        if (fromTheWindow) {
            Start();
            form->ButtonClicked(save ? Button::Save : Button::Load);
            ASSERT_EQ(controls->errors.size(), 1u);
            EXPECT_NE(controls->errors[0].find(scene.message), std::string::npos);
            EXPECT_TRUE(controls->IsEnabled(save ? Button::Save : Button::Load));
        } else {
            Start(scene.command);
            EXPECT_EQ(form->exitStatus(), scene.status);
            EXPECT_TRUE(controls->errors.empty());
        }
        // A folder taken away comes back with what it held.
        if (!std::filesystem::exists(session->HostPath("C:\\Tools")))
            std::filesystem::rename(session->HostPath("C:\\Away"), session->HostPath("C:\\Tools"));
        if (save) {
            EXPECT_EQ(session->FileBytes(kLayout), scene.saved ? scene.saved : kOld);
            ExpectOnlyTheLayoutFile();
        } else if (session->IsWindow(lv)) {
            EXPECT_EQ(Positions(lv), scene.after);
            EXPECT_EQ(session->ViewChanges(lv), scene.views);
        }
        // A desktop that stops answering costs one time limit, whatever follows (every later
        // request gives up at once on a thread known to be hung). Once it answers again it takes
        // what was left for it: painting comes back on, and a request still pointing into the
        // shell's memory finds that memory there (it was left to the shell, not freed). No other
        // run waits at all.
        EXPECT_EQ(session->NowMs(), scene.hangs ? kAnswerLimitMs : 0u);
        if (scene.hangs && session->IsWindow(lv))
            session->EndHang(lv);
        EXPECT_TRUE(!session->IsWindow(lv) || session->PaintingOn(lv));
        session->OnSendMessage(nullptr);
        ExpectNothingLeaked(true, scene.hangs);
    }
};

TEST_F(SaveFailure, ARunThatCannotDoItsJobKeepsTheOldLayoutMovesNothingAndSaysSo) {
    // The names are the buffer's first 80 bytes and nothing past them: 40 UTF-16 units on NT, 80
    // bytes elsewhere, each the item's text and then 'x's.
    auto filled = [](std::size_t units) {
        const std::string x(units - 3, 'x');
        return "700,500,One" + x + "\r\n710,510,Two" + x + "\r\n";
    };
    const std::string filledNt = filled(40), filled98 = filled(80);
    const std::string filler(70000, 'f'); // more than the first block of 64 KiB
    const std::string binary = std::string("\0\xff,\r\x01\n\r\n1,2,One\r\n\0,\0,Zero\r\n", 24) +
                               filler + "\r\n3,4,Two\r\n\r\r";
    const std::vector<Point> restored = {{1, 2}, {3, 4}};
    constexpr ExitStatus ok = ExitStatus::Ok, noIcons = ExitStatus::DesktopUnreadable,
                         noLayout = ExitStatus::LayoutUnreadable, none = ExitStatus::NoDesktop,
                         unwritten = ExitStatus::WriteFailed;
    // Both places the desktop is looked for are named.
    const char* const nowhere = "Progman (or WorkerW) > SHELLDLL_DefView > SysListView32";
    const Fault gone = On(&S::DestroyWindow);
    const Fault locked = Set(&S::SetLocked, kLayout, true);
    const Scene scenes[] = {
        {"the process cannot be opened", "-s", Set(&S::SetOpenProcessRefused, true), noIcons,
         "could not be opened"},
        {"no buffer for the positions", "-s", Set(&S::FailAllocations, 1), noIcons},
        {"no buffer for any name", "-s", OnceThePositionsAreRead(Set(&S::FailAllocations, 1000)),
         noIcons},
        {"no shared mapping for the positions (non-NT)", "-s", Set(&S::FailMappings, 1), noIcons},
        {"no shared mapping for any name (non-NT)", "-s",
         OnceThePositionsAreRead(Set(&S::FailMappings, 1000)), noIcons},
        // A mapping whose view cannot be mapped is closed again.
        {"no view for the positions (non-NT)", "-s", Set(&S::FailViews, 1), noIcons},
        {"no desktop list view", "-s", gone, none, nowhere},
        {"no desktop list view", "-r", gone, none, nowhere},
        // An icon without a name: names may be empty, the save goes on.
        {"an icon that has lost its name", "-s",
         OnceThePositionsAreRead([](S& s, Hwnd lv) { s.Items(lv)[0].text.clear(); }), ok,
         nullptr, "700,500,\r\n710,510,Two\r\n"},
        // A desktop that truly has no icons gives the empty layout.
        // A desktop that shows no icons (Explorer filling it at log-on, emptying it at log-off),
        // or none with a name, keeps a layout that names icons; a first save writes the empty
        // layout.
        {"no icons", "-s", [](S& s, Hwnd lv) { s.Items(lv).clear(); }, noIcons,
         "the desktop shows no icons"},
        {"no icons, and no layout yet", "-s",
         [](S& s, Hwnd lv) {
             s.Items(lv).clear();
             std::filesystem::remove(s.HostPath(kLayout));
         },
         ok, nullptr, ""},
        {"no icon with a name", "-s",
         [](S& s, Hwnd lv) {
             for (sim::SimItem& item : s.Items(lv))
                 item.text = u"  ";
         },
         noIcons, "no icon on the desktop has a name"},
        // Fewer icons than the positions were read for would pair names with the wrong places.
        {"an icon deleted after the positions", "-s",
         OnceThePositionsAreRead([](S& s, Hwnd lv) { s.Items(lv).pop_back(); }), noIcons},
        // count, two positions, count, the first name: gone while the names are read, or before
        // the count that follows the positions.
        {"the list view gone while the names are read", "-s",
         On(&S::DestroyWindowAfterRequests, 5), noIcons},
        {"the list view gone after the positions", "-s", On(&S::DestroyWindowAfterRequests, 3),
         noIcons},
        {"a count of 2147483647", "-s", On(&S::SetReportedItemCount, 2147483647), noIcons},
        {"a count of -1", "-s", On(&S::SetReportedItemCount, -1), noIcons},
        {"texts that fill the buffer without a NUL", "-s", On(&S::SetTextsWithoutNul, true), ok,
         nullptr, filledNt.c_str()},
        {"texts that fill the buffer without a NUL (non-NT)", "-s",
         On(&S::SetTextsWithoutNul, true), ok, nullptr, filled98.c_str()},
        {"positions at the 16-bit limits", "-s",
         [](S& s, Hwnd lv) {
             s.Items(lv)[0].position = {-32768, 32767};
             s.Items(lv)[1].position = {32767, -32768};
         },
         ok, nullptr, "-32768,32767,One\r\n32767,-32768,Two\r\n"},
        // The layout cannot be replaced: the old file stays whole and no temporary file is left.
        {"disk full in the second line", "-s", Set(&S::SetDiskSpace, 20), unwritten, kLayout},
        {"a locked layout", "-s", locked, unwritten, kLayout},
        {"a read-only layout", "-s", Set(&S::SetReadOnly, kLayout, true), unwritten, kLayout},
        {"a read-only folder", "-s", Set(&S::SetReadOnly, "C:\\Tools", true), unwritten, kLayout},
        // The folder taken away: a drive gone, say.
        {"the folder gone", "-s",
         [](S& s, Hwnd) {
             std::filesystem::rename(s.HostPath("C:\\Tools"), s.HostPath("C:\\Away"));
         },
         unwritten, kLayout},
        // The restores: the stored view is applied only by one that goes on.
        {"a locked layout", "-r", locked, noLayout, kLayout},
        {"a read error", "-r", Set(&S::SetReadError, kLayout, true, 0), noLayout},
        // A read that fails past the first block stops the search where it is.
        {"a read error after 64 KiB", "-r",
         [&](S& s, Hwnd) {
             s.WriteFileBytes(kLayout, filler + "\r\n1,2,One\r\n3,4,Two\r\n");
             s.SetReadError(kLayout, true, 65536);
         },
         noLayout, nullptr, nullptr, kArranged, 1},
        // A missing file is a first run: every icon is laid out from the start point.
        {"a missing layout", "-r", [](S& s, Hwnd) { std::filesystem::remove(s.HostPath(kLayout)); }, ok, nullptr, nullptr,
         {{512, 384}, {512, 404}}, 1},
        // Binary bytes, NULs, lone CRs and LFs are parts of lines like any other.
        {"binary lines around the icons'", "-r", Set(&S::WriteFileBytes, kLayout, binary), ok,
         nullptr, nullptr, restored, 1},
        // A count no desktop has, or names that cannot be asked for at all, change nothing: no
        // view switch, no auto-arrange, no move.
        {"a count of -1", "-r", On(&S::SetReportedItemCount, -1), noIcons},
        {"a count of 2147483647", "-r", On(&S::SetReportedItemCount, 2147483647), noIcons},
        {"the process cannot be opened", "-r", Set(&S::SetOpenProcessRefused, true), noIcons,
         "could not be opened"},
        {"no buffer for the names", "-r", Set(&S::FailAllocations, 1), noIcons},
        // A desktop that goes away in the middle ends the restore with 4; what was moved stays.
        {"the list view gone in the moves", "-r", On(&S::DestroyWindowAfterRequests, 8),
         noIcons},
        // A desktop that stops answering, at each stage: a save keeps the old layout, a restore
        // stops where it is (a save's requests: the count, two positions, the count, two names,
        // the count; a restore's: the count, two names, the view, the switch, the count,
        // painting off, two moves, painting on).
        {"a desktop that does not answer at all", "-s", On(&S::HangAfterRequests, 0), noIcons,
         "did not answer within 5 seconds", nullptr, kKept, 0, true},
        {"a desktop that stops answering in the positions", "-s", On(&S::HangAfterRequests, 2),
         noIcons, nullptr, nullptr, kKept, 0, true},
        {"a desktop that stops answering in the names", "-s", On(&S::HangAfterRequests, 4),
         noIcons, nullptr, nullptr, kKept, 0, true},
        {"a desktop that does not answer at all", "-r", On(&S::HangAfterRequests, 0), noIcons,
         "did not answer within 5 seconds", nullptr, kKept, 0, true},
        {"a desktop that stops answering in the names", "-r", On(&S::HangAfterRequests, 2),
         noIcons, nullptr, nullptr, kKept, 0, true},
        {"a desktop that stops answering after the switch", "-r", On(&S::HangAfterRequests, 5),
         noIcons, nullptr, nullptr, kArranged, 1, true},
        {"a desktop that stops answering in the moves", "-r", On(&S::HangAfterRequests, 8),
         noIcons, nullptr, nullptr, {{1, 2}, kArranged[1]}, 1, true}};
    std::vector<Scene> all(std::begin(scenes), std::end(scenes));
    // A folder that cannot be reached is not a missing file, whatever Windows says of it: a save
    // ends with 2 and leaves nothing, a restore ends with 5 and changes nothing.
    for (const DWORD error :
         {win::ERROR_BAD_NETPATH, win::ERROR_BAD_NET_NAME, win::ERROR_INVALID_DRIVE,
          win::ERROR_NOT_READY, win::ERROR_NETNAME_DELETED, win::ERROR_DEV_NOT_EXIST,
          win::ERROR_UNEXP_NET_ERR, win::ERROR_NETWORK_UNREACHABLE}) {
        for (const char* command : {"-s", "-r"}) {
            all.push_back({"a folder that cannot be reached", command,
                           Set(&S::SetUnreachable, "C:\\Tools", error),
                           command[1] == 's' ? unwritten : noLayout, "Device unavailable"});
        }
    }
    for (const Scene& scene : all) {
        SCOPED_TRACE(std::string(scene.command) + ", " + scene.what);
        Run(scene, false);
        if (scene.message != nullptr) {
            SCOPED_TRACE("from the window");
            Run(scene, true);
        }
    }
}

TEST_F(SaveFailure, SettingsFilesThatAreOddOrCannotBeWritten) {
    // Odd settings files are read as the profile functions read them: binary bytes are text,
    // and of two sections with one name the first counts.
    const std::string files[] = {"\x01\xfe\x80=\x7f\r\n[Default]\r\nDeltaX=7\r\n\xff\xfe",
                                 "[Default]\r\nDeltaX=7\r\n[Default]\r\nDeltaX=9\r\nDeltaY=4\r\n",
                                 std::string(200, '[') +
                                     "\r\n[Default]\r\nDeltaX=" + std::string(200, '0') + "7\r\n"};
    for (const std::string& bytes : files) {
        SCOPED_TRACE(bytes.substr(0, 30));
        NewSession().WriteFileBytes(kIni, bytes);
        Start();
        EXPECT_EQ(controls->GetText(TextBox::DeltaX), "7");
    }
    // A settings file that cannot be written is reported, naming it, and stays as it was; Set
    // IconType still switches the view and puts the icons back, then says the view mode could not
    // be stored (in a read-only folder its save fails first, and it stops there).
    for (const bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "read-only folder" : "read-only file");
        NewSession();
        const auto shell = Desktop({{"One", {700, 500}}});
        session->WriteFileBytes(kIni, "[Default]\r\nDeltaX=7\r\n");
        session->SetReadOnly(folder ? "C:\\Tools" : kIni, true);
        Start();
        controls->SetText(TextBox::DeltaX, "9");
        form->ButtonClicked(Button::SetDefault);
        controls->ComboSelectText("Report");
        form->ButtonClicked(Button::SetIconType);
        ASSERT_EQ(controls->errors.size(), 2u);
        EXPECT_EQ(controls->errors[0], std::string("The settings could not be saved: ") + kIni);
        EXPECT_NE(controls->errors[1].find(folder ? kLayout : kIni), std::string::npos);
        EXPECT_EQ(session->FileBytes(kIni), "[Default]\r\nDeltaX=7\r\n");
        EXPECT_EQ(session->ViewChanges(shell.listView), folder ? 0 : 1);
        EXPECT_EQ(Positions(shell.listView), (std::vector<Point>{{700, 500}}));
        EXPECT_TRUE(session->AutoArrange(shell.listView) == false);
        EXPECT_TRUE(controls->IsEnabled(Button::Load));
        ExpectNothingLeaked();
    }
}
