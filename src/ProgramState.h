// The state that lives for a whole run of the program. It is owned by the window (frmMain) and
// handed to the procedures that need it; there are no globals.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <vector>

namespace pindrel {

struct ProgramState {
    // One record per desktop item, written by every capture that finds at least one item.
    std::vector<Point> positions;
    // Set by a capture that switches the desktop's auto-arrange off; never cleared, so a restore
    // later in the same run switches auto-arrange on again.
    bool autoArrangeFlag = false;
    // Where the restore places the items the layout file does not name, and the steps between
    // them. Written from the settings file just before each restore.
    std::int32_t startX = 0;
    std::int32_t startY = 0;
    std::int32_t deltaX = 0;
    std::int32_t deltaY = 0;
};

} // namespace pindrel
