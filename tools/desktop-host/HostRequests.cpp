// Carries out hostctl's requests on desktop-host's desktop, and writes the state text that a dump
// request asks for (its format is described in desktop-host.cpp).
#include "HostRequests.h"

#include "HostAllocWatch.h"
#include "HostComServer.h"
#include "HostFiles.h"
#include "HostProtocol.h"

#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace desktophost {

namespace {

// The shell view's parent as the state names it: "none" for a top-level view, "WorkerW <k> of
// <n>" for one under the k-th of the n "WorkerW" windows in the order FindWindowEx lists them now,
// else the parent's class.
std::string ViewParent(HWND view) {
    HWND parent = GetAncestor(view, GA_PARENT);
    if (!parent || parent == GetDesktopWindow())
        return "none";
    wchar_t name[64] = L"";
    GetClassNameW(parent, name, 64);
    if (std::wstring(name) != L"WorkerW")
        return std::string(name, name + std::wcslen(name));
    int position = 0, count = 0;
    for (HWND w = FindWindowExW(nullptr, nullptr, L"WorkerW", nullptr); w;
         w = FindWindowExW(nullptr, w, L"WorkerW", nullptr)) {
        ++count;
        if (w == parent)
            position = count;
    }
    return "WorkerW " + std::to_string(position) + " of " + std::to_string(count);
}

std::string StateText(const Host& host) {
    std::string out = "desktop-host state\r\n";
    out += "shape=" + host.scenario.shapeName + "\r\n";
    out += "viewparent=" + ViewParent(host.defView) + "\r\n";
    if (host.com)
        out += host.com->StateLines();
    out += "foreignallocs=" + (host.allocs ? std::to_string(host.allocs->count()) : "off") + "\r\n";
    out += "listviews=" + std::to_string(host.listCount) + "\r\n";
    for (int k = 0; k < host.listCount; ++k) {
        const ListView& lv = host.lists[k];
        // A list view that vanished shows the style, view and items it had then.
        const DWORD style =
            lv.vanished ? lv.lastStyle : static_cast<DWORD>(GetWindowLongW(lv.hwnd, GWL_STYLE));
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(style));
        const std::vector<std::string> items = lv.vanished ? lv.items : ItemLines(lv.hwnd);
        out += "[listview " + std::to_string(k) + "]\r\n";
        out += std::string("vanished=") + (lv.vanished ? "1" : "0") + "\r\n";
        out += std::string("style=") + hex + "\r\n";
        out += std::string("autoarrange=") + ((style & LVS_AUTOARRANGE) ? "1" : "0") + "\r\n";
        out +=
            "view=" +
            std::to_string(lv.vanished ? lv.lastView : SendMessageW(lv.hwnd, LVM_GETVIEW, 0, 0)) +
            "\r\n";
        out += "painted=" + std::to_string(lv.paintedWithItems) + "\r\n";
        out += "moves=" + std::to_string(lv.moves) + "\r\n";
        out += "arrangedmoves=" + std::to_string(lv.arrangedMoves) + "\r\n";
        out += std::string("redraw=") + (lv.redraw ? "1" : "0") + "\r\n";
        out += "redrawoff=" + std::to_string(lv.redrawOffs) + "\r\n";
        out += "redrawon=" + std::to_string(lv.redrawOns) + "\r\n";
        out += "heldmoves=" + std::to_string(lv.heldMoves) + "\r\n";
        out += "getitems=" + std::to_string(lv.getItems) + "\r\n";
        out += "getpositions=" + std::to_string(lv.getPositions) + "\r\n";
        out += "count=" + std::to_string(items.size()) + "\r\n";
        for (const std::string& line : items)
            out += line;
    }
    return out;
}

// Moves every item of the desktop list view: item i takes the position item i+1 had, shifted a
// little, so that no item stays where it was and the order of positions no longer matches the
// order of items.
void Scramble(ListView& lv) {
    HWND list = lv.hwnd;
    int count = ItemCount(list);
    std::vector<POINT> old(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        old[static_cast<size_t>(i)] = GetPosition(list, i);
    for (int i = 0; i < count; ++i) {
        POINT next = old[static_cast<size_t>((i + 1) % count)];
        POINT to{next.x + 17, next.y + 9};
        if (to.x == old[static_cast<size_t>(i)].x && to.y == old[static_cast<size_t>(i)].y)
            to.x += 50;
        SetPosition(lv, i, to.x, to.y);
    }
}

} // namespace

LRESULT HandleCopyData(Host& host, const COPYDATASTRUCT& cds) {
    // What the host asks its own list views while it carries out the request is no request of
    // another program's.
    struct Busy {
        Host& host;
        explicit Busy(Host& h) : host(h) { host.lists[0].hostBusy = host.lists[1].hostBusy = true; }
        ~Busy() { host.lists[0].hostBusy = host.lists[1].hostBusy = false; }
    } busy(host);
    ListView* desktopList =
        host.listCount > 0 && !host.lists[0].vanished ? &host.lists[0] : nullptr;
    HWND desktop = desktopList ? desktopList->hwnd : nullptr;
    switch (cds.dwData) {
    case kDump: {
        std::string path(static_cast<const char*>(cds.lpData), cds.cbData);
        return hostfiles::WriteWholeFile(path, StateText(host)) ? 1 : 0;
    }
    case kMove: {
        if (!desktop || cds.cbData != sizeof(MoveRequest))
            return 0;
        const auto* move = static_cast<const MoveRequest*>(cds.lpData);
        if (move->index < 0 || move->index >= ItemCount(desktop))
            return 0;
        return SetPosition(*desktopList, move->index, move->x, move->y) ? 1 : 0;
    }
    case kScramble:
        if (!desktop)
            return 0;
        Scramble(*desktopList);
        return 1;
    case kStop:
        PostMessageW(host.control, kStopMessage, 0, 0);
        return 1;
    case kHang: {
        std::uint32_t ms = 0;
        if (cds.cbData != sizeof ms)
            return 0;
        std::memcpy(&ms, cds.lpData, sizeof ms);
        return PostMessageW(host.control, kHangMessage, ms, 0) ? 1 : 0;
    }
    default:
        return 0;
    }
}

} // namespace desktophost
