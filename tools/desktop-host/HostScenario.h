// desktop-host's scenario: what the stand-in desktop looks like and which icons it holds, read from
// the scenario file (its format is described in desktop-host.cpp).
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace desktophost {

enum class Shape { Standard, NoProgman, NoListView, TwoListViews, WorkerW };

// The COM part: not registered, the shell's chain over the real list view, or a hollow one.
enum class ComMode { Off, On, Hollow };

struct Icon {
    int x = 0;
    int y = 0;
    std::string name; // UTF-8
};

struct Scenario {
    bool autoArrange = false;
    int view = LV_VIEW_ICON;
    Shape shape = Shape::Standard;
    int vanishAfter = -1; // requests of other programs the desktop list view answers; -1: all
    int hangAfter = -1;   // requests of other programs answered before the host hangs; -1: never
    int hangMs = 30000;   // how long it hangs then
    ComMode com = ComMode::On;
    bool allocWatch = true;  // the watch for other programs' allocations (HostAllocWatch.h)
    int comVanishAfter = -1; // calls of other programs the COM server answers; -1: all
    std::string shapeName = "standard";
    std::vector<Icon> icons[2];
};

// Reads the scenario file's text into `s`. False, after saying on stderr which line it could not
// take, when the text is not a scenario.
bool ParseScenario(const std::string& text, Scenario& s);

} // namespace desktophost
