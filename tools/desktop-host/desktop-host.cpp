// desktop-host.exe: a stand-in for the Windows shell's desktop, so that pindrel.exe can be run and
// tested under Wine, where no shell desktop exists.
//
// It plays the shell in a process of its own: a top-level window of class "Progman" (or, as on
// Windows 7 to 11 with a wallpaper slideshow, a top-level "WorkerW") holding a
// "SHELLDLL_DefView" holding a real comctl32 list view ("SysListView32", icon view, with image
// lists so that icons have a size), filled from a scenario file. The "SHELLDLL_DefView" window
// answers WM_COMMAND 0x7041 by flipping the list view's LVS_AUTOARRANGE with SetWindowLong, as the
// shell does. A hidden message-only window (HostProtocol.h) takes requests from hostctl.exe: write
// the state to a file, move an item, scramble the items, hang, stop.
//
// It also plays the shell's COM part, as Windows 10 1809 and later must be driven:
// CLSID_ShellWindows leads to the desktop's folder view (IShellWindows → IServiceProvider →
// IShellBrowser → IShellView + IFolderView2, IShellFolder), served on the main thread (a
// single-threaded apartment whose calls arrive through the message loop) from the real desktop list
// view through its own messages. The test prefix routes CLSID_ShellWindows to the host's own CLSID
// (HostComIds.h, scripts/wine-env.sh); HostComObjects.h lists the objects and what they answer.
//
// Usage: desktop-host.exe <scenario file> <ready file>
//
// When the desktop is in place the host reserves the free address space below 4 GiB, so that what
// other programs allocate in it lies above (a 64-bit address cut to 32 bits points nowhere), and
// writes the ready file ("pid=<process id>" and CR LF; it is written under another name and
// renamed, so it is complete once it exists). Closing the "Progman" window (or the top-level
// "SHELLDLL_DefView") ends the host with exit code 0, also while it is still setting up, in which
// case no ready file is written.
//
// Scenario file: UTF-8 text (a BOM is allowed), one entry a line, LF or CR LF line ends.
//   # text                 a comment; comments and empty lines are ignored
//   autoarrange=0|1        LVS_AUTOARRANGE of the desktop list view once the icons are placed
//                          (default 0)
//   view=icon|report|smallicon|list
//                          the view the desktop list view is switched to once the icons are placed
//                          (default icon: no switch)
//   shape=standard|noprogman|nolistview|twolistviews|workerw
//                          standard:     Progman > SHELLDLL_DefView > SysListView32
//                          noprogman:    SHELLDLL_DefView (top-level) > SysListView32
//                          nolistview:   Progman > SHELLDLL_DefView, and no list view at all
//                          twolistviews: Progman > SHELLDLL_DefView > two SysListView32; the first
//                                        created is the desktop (FindWindowEx finds it first)
//                          workerw:      Progman (empty) and three top-level WorkerW, the second
//                                        of which (in FindWindowEx's order) holds
//                                        SHELLDLL_DefView > SysListView32
//   vanish=<n>             (n >= 1) the desktop list view is destroyed right after it has
//                          answered n list-view requests (LVM_* and WM_SETREDRAW) of other
//                          programs: a desktop that goes away in the middle of an operation. The
//                          state then shows it as it was at that moment (vanished=1). COM calls
//                          that need it then fail with ERROR_INVALID_WINDOW_HANDLE (0x80070578).
//   hangafter=<n>          (n >= 1) right after the desktop list view has answered n list-view
//                          requests of other programs (counted as for vanish=), the host's main
//                          thread stops answering anything (list views and COM alike) for
//                          hangms= milliseconds: a hung shell
//   hangms=<ms>            how long hangafter= hangs (default 30000)
//   com=1|0|hollow         1 (default): the COM part is registered, as a Windows desktop always
//                          has it; 0: nothing is registered, so a client's CoCreateInstance of
//                          CLSID_ShellWindows fails at once with REGDB_E_CLASSNOTREG (0x80040154);
//                          hollow: the chain answers as Wine's own desktop does (measured: the
//                          view has no window, no items, no positions; HostComView.cpp), a folder
//                          view that answers but is not the desktop shown
//   comvanish=<n>          (n >= 1) the COM server goes away once it has answered n calls of
//                          other programs (any method but IUnknown's, the class factory's
//                          CreateInstance included): every object is disconnected
//                          (CoDisconnectObject) and the class object revoked. Under Wine 8 a later
//                          call through a proxy fails with RPC_S_UNKNOWN_IF (0x800706B5), a
//                          QueryInterface with E_NOINTERFACE (0x80004002), and a new
//                          CoCreateInstance with REGDB_E_CLASSNOTREG (0x80040154). The list views
//                          stay.
//   allocwatch=0|1         the watch for other programs' allocations (HostAllocWatch.h; default
//                          1). It costs about 100-250 us per COM call; timing runs turn it off.
//   x,y,name               one icon: its position in list-view pixels (signed decimal) and its
//                          name, which is the whole rest of the line, kept byte for byte (commas,
//                          spaces at either end, any length, any UTF-8 text)
//   [second]               with shape=twolistviews, the icon lines after it fill the second list
//                          view
// A line that is none of these is refused: the host reports it on stderr and exits with code 3.
//
// Wine's list view arranges all icons at the first paint that finds items in it, so the icons are
// inserted, the list view is painted, and only then are they moved to their positions. Then
// auto-arrange is applied, then the view.
//
// State file (UTF-8, CR LF), written on a dump request:
//   desktop-host state
//   shape=<shape>
//   viewparent=<parent>       the shell view's parent: Progman, "WorkerW <k> of <n>" (the k-th of
//                             the n WorkerW windows FindWindowEx lists now), none (top-level)
//   com=0|1|hollow            the COM part as the scenario set it
//   comcalls=<n>              COM calls of other programs answered (as comvanish= counts them)
//   comvanished=0|1           whether the COM server went away (comvanish=)
//   comobjects=<n>            the host's COM objects alive, all held by other programs (the host
//                             keeps none; the class object is not counted). Under Wine 8 a client
//                             that ends without CoUninitialize leaves what it held counted here
//                             for good; CoUninitialize releases what it forgot.
//   commoves=<n>              items moved through SelectAndPositionItems
//   comviews=<n>              SetCurrentViewMode calls
//   foreignallocs=<n>|off     blocks other programs allocated in the host's process
//                             (VirtualAllocEx), a lower bound (HostAllocWatch.h); off with
//                             allocwatch=0
//   listviews=<n>
//   [listview <k>]            for each list view, the desktop's first
//   vanished=0|1              whether it destroyed itself (vanish=); if so, what follows is as it
//                             was at that moment
//   style=0x<window style, hex>
//   autoarrange=0|1           the LVS_AUTOARRANGE bit of the style
//   view=<n>                  LVM_GETVIEW: 0 icon, 1 details, 2 small icons, 3 list
//   painted=<n>               paints of the list view while it held items
//   moves=<n>                 LVM_SETITEMPOSITION and LVM_SETITEMPOSITION32 requests that other
//                             programs made (the host's own placing, move and scramble excluded)
//   arrangedmoves=<n>         those of them that arrived while LVS_AUTOARRANGE was set (Wine's
//                             list view moves the item all the same, so only this count shows it)
//   redraw=0|1                whether the list view's painting is on, after the WM_SETREDRAW
//                             requests it was sent (1 when it was sent none)
//   redrawoff=<n>             WM_SETREDRAW requests that turned painting off (wParam FALSE)
//   redrawon=<n>              and that turned it on (wParam TRUE)
//   heldmoves=<n>             the moves (as counted in moves=) that arrived with painting off
//   getitems=<n>              LVM_GETITEMA/W and LVM_GETITEMTEXTA/W requests of other programs
//   getpositions=<n>          LVM_GETITEMPOSITION requests of other programs
//   count=<n>                 LVM_GETITEMCOUNT
//   <index>,<x>,<y>,<text>    per item in index order: LVM_GETITEMPOSITION and LVM_GETITEMTEXTW
//
// The program is in parts: HostScenario reads the scenario, HostListView makes and fills the list
// views, HostDesktop builds the windows around them, HostRequests carries out hostctl's
// requests, HostComServer, HostComBrowser and HostComView are the COM part and HostAllocWatch
// watches for other programs' allocations; this file starts it all and runs the message loop.
#include "HostAllocWatch.h"
#include "HostComServer.h"
#include "HostDesktop.h"
#include "HostFiles.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>

using desktophost::BuildDesktop;
using desktophost::Fill;
using desktophost::Host;
using desktophost::ParseScenario;

namespace {

bool WriteReadyFile(const std::string& path) {
    std::string temp = path + ".tmp";
    std::string text = "pid=" + std::to_string(GetCurrentProcessId()) + "\r\n";
    return hostfiles::WriteWholeFile(temp, text) &&
           MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

// Reserves every free range of the host's address space below 4 GiB, so that what other programs
// allocate in it from now on (pindrel.exe's record and text buffers) lies above 4 GiB, as it may
// in the 64-bit shell: an address cut to 32 bits in a record then points nowhere. Gives the MiB
// reserved; a 32-bit host reserves nothing.
unsigned long long ReserveLowMemory() {
    constexpr unsigned long long kLimit = 1ULL << 32, kGranularity = 0x10000;
    unsigned long long reserved = 0;
    MEMORY_BASIC_INFORMATION info;
    for (unsigned long long at = kGranularity; sizeof(void*) == 8 && at < kLimit;
         at += info.RegionSize) {
        if (VirtualQuery(reinterpret_cast<void*>(static_cast<ULONG_PTR>(at)), &info, sizeof info) !=
            sizeof info)
            break;
        // A reservation starts on the allocation granularity; the pieces of a free range before
        // that boundary cannot be allocated by anyone.
        const unsigned long long end =
            at + info.RegionSize < kLimit ? at + info.RegionSize : kLimit;
        const unsigned long long from = (at + kGranularity - 1) & ~(kGranularity - 1);
        if (info.State == MEM_FREE && from < end &&
            VirtualAlloc(reinterpret_cast<void*>(static_cast<ULONG_PTR>(from)),
                         static_cast<SIZE_T>(end - from), MEM_RESERVE, PAGE_NOACCESS))
            reserved += end - from;
    }
    return reserved >> 20;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: desktop-host.exe <scenario file> <ready file>\n");
        return 1;
    }
    std::string text;
    if (!hostfiles::ReadWholeFile(argv[1], text)) {
        std::fprintf(stderr, "desktop-host: cannot read %s\n", argv[1]);
        return 2;
    }
    // The windows keep a pointer to the host; it outlives them.
    Host host;
    if (!ParseScenario(text, host.scenario))
        return 3;

    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    switch (BuildDesktop(host)) {
    case Fill::Failed:
        return 4;
    case Fill::Closed: // closed before it was ready: it ends as a stop would end it
        return 0;
    case Fill::Done:
        break;
    }
    // The COM part runs on this thread, whose message loop below carries the calls in.
    desktophost::ComServer com(host);
    if (!com.Start())
        return 6;
    host.com = &com;
    std::fprintf(stderr, "desktop-host: %llu MiB below 4 GiB reserved\n", ReserveLowMemory());
    // What is in the address space now is the host's own.
    desktophost::AllocWatch allocs;
    if (host.scenario.allocWatch) {
        if (!allocs.Start()) {
            std::fprintf(stderr, "desktop-host: the allocation watch's hooks could not be set\n");
            return 7;
        }
        host.allocs = &allocs;
        for (desktophost::ListView& lv : host.lists)
            lv.allocs = &allocs;
    }
    if (!WriteReadyFile(argv[2])) {
        std::fprintf(stderr, "desktop-host: cannot write %s\n", argv[2]);
        return 5;
    }

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        if (host.allocs)
            allocs.Dispatch(msg);
        else
            DispatchMessageW(&msg);
    }
    for (desktophost::ListView& lv : host.lists)
        lv.allocs = nullptr;
    host.allocs = nullptr;
    if (host.control)
        DestroyWindow(host.control);
    host.com = nullptr;
    com.Stop();
    return static_cast<int>(msg.wParam);
}
