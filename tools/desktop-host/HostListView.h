// The desktop's list views in desktop-host: creating them, filling them with the scenario's icons,
// and reading and setting their items, with a count of the moves other programs ask for.
#pragma once

#include "HostScenario.h"

#include <windows.h>

#include <string>
#include <vector>

namespace desktophost {

class AllocWatch;

struct ListView {
    HWND hwnd = nullptr;
    int paintedWithItems = 0;
    bool hostMoving = false; // the host is moving an item itself
    int moves = 0;
    int arrangedMoves = 0;
    // WM_SETREDRAW requests: the painting they leave, how many turned it off and on, and the moves
    // of other programs that arrived while it was off.
    bool redraw = true;
    int redrawOffs = 0;
    int redrawOns = 0;
    int heldMoves = 0;
    // Item and position requests of other programs (LVM_GETITEM*, LVM_GETITEMTEXT*,
    // LVM_GETITEMPOSITION).
    int getItems = 0;
    int getPositions = 0;
    // A list view that vanishes: it destroys itself once it has answered `vanishAfter` requests of
    // other programs (-1: never), keeping its style, view and items as they were then.
    int vanishAfter = -1;
    // A list view whose thread hangs for `hangMs` once it has answered `hangAfter` requests of
    // other programs (-1: never).
    int hangAfter = -1;
    int hangMs = 0;
    bool hostBusy = false; // the host is carrying out a request of hostctl's or a COM call
    int requests = 0;      // list-view requests (LVM_*, WM_SETREDRAW) of other programs
    // Told of the pointers other programs' requests carry, once the host is ready.
    AllocWatch* allocs = nullptr;
    bool vanished = false;
    DWORD lastStyle = 0;
    LRESULT lastView = 0;
    std::vector<std::string> items;
};

// The items in index order as the state lists them: "<index>,<x>,<y>,<text>" and CR LF.
std::vector<std::string> ItemLines(HWND list);

enum class Fill { Done, Failed, Closed };

int ItemCount(HWND list);
// Moves an item as the host itself, which the move counts leave out.
bool SetPosition(ListView& lv, int index, int x, int y);
POINT GetPosition(HWND list, int index);
// The item's text, whole, at any length: in UTF-16 and in UTF-8.
std::wstring GetWideText(HWND list, int index);
std::string GetText(HWND list, int index);

// Handles the messages waiting. A WM_QUIT among them (the desktop was closed while it was being
// set up) is put back for the message loop, and the result is false.
bool PumpPending();

// Creates an icon-view list view filling `parent`, with image lists so that its icons have a size,
// and has it count the moves and the painting requests into `lv`, which must outlive it.
HWND CreateListView(HWND parent, int id, ListView& lv);
// Inserts the icons, has the list view paint them (its first paint arranges them), then places
// them.
Fill FillListView(ListView& lv, const std::vector<Icon>& icons);
// Sets LVS_AUTOARRANGE when asked, then switches to `view` unless it is the icon view.
void ApplyStyle(HWND list, bool autoArrange, int view);
// Switches the list view to `view` (LV_VIEW_*) through its style's view bits, as the scenario's
// view= does.
void SetView(HWND list, int view);
// Sets or clears LVS_AUTOARRANGE, as the shell view's auto-arrange command does.
void SetAutoArrange(HWND list, bool on);

} // namespace desktophost
