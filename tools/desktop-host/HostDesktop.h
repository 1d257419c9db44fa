// desktop-host's windows: the "Progman" > "SHELLDLL_DefView" > list view tree that plays the
// shell's desktop (or the view under a top-level "WorkerW" beside an empty "Progman"), in the
// shape the scenario asks for, and the message-only window that takes hostctl's requests.
#pragma once

#include "HostListView.h"
#include "HostScenario.h"

#include <windows.h>

namespace desktophost {

class AllocWatch;
class ComServer;

struct Host {
    Scenario scenario;
    HWND top = nullptr; // Progman, or SHELLDLL_DefView when there is no Progman
    HWND defView = nullptr;
    HWND workers[3] = {}; // workerw: the "WorkerW" windows, the second listed holding the view
    HWND control = nullptr;
    ListView lists[2];
    int listCount = 0;
    ComServer* com = nullptr;     // the COM part, once it has started
    AllocWatch* allocs = nullptr; // the watch for other programs' allocations, once ready
};

// Builds the desktop and fills it. Gives Fill::Closed when the desktop was closed meanwhile. The
// windows keep a pointer to `host`, which must outlive them.
Fill BuildDesktop(Host& host);

} // namespace desktophost
