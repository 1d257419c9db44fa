// Where a restore puts each desktop item: on the position of a layout line of its name, or on the
// placement cursor.
//
// Each item, in index order, takes the first line with its name that no earlier item has taken
// (so lines of one name go to the items of that name in file order), whatever the order of the
// other items: a new icon, or one renamed, takes a cursor position and leaves every other icon its
// own line. An item with an empty name, or whose name no line left has, takes the cursor. The
// file is read once; of its lines only those an item can take are kept, as many per name as the
// desktop has items of that name, so the memory is bounded by the desktop, not by the file.
//
// Wherever the search of earlier releases (each item's search going on forward from where the
// previous one stopped) found a line for every named item, and none of the lines it passed over
// carries the name of an item after it, both give every item the same line. (Where a line it
// passed over does carry such a name, two items of that name now take their lines in file order,
// where the forward search gave the later line to the earlier item.)
#pragma once

#include "DesktopAccess.h"
#include "LayoutLines.h"
#include "ProgramState.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pindrel {

struct MatchCounts {
    std::int32_t fromFile = 0;    // moved to their saved positions
    std::int32_t fromCursor = 0;  // placed at the placement cursor
    std::int32_t linesParsed = 0; // layout lines read (each once at most)
};

// The moves for items 0..names.size()-1 (their names as the desktop gives them; they are trimmed
// of spaces here), appended to `moves`. A line whose position does not convert, or does not pack
// into a list-view request, leaves its item where it is, and the cursor where it is; the cursor
// advances after each item placed there (a coordinate that would leave the 32-bit range keeps its
// value), even when its position does not pack and the item stays. The lines are read until each
// item that can have one has its line. Throws the source's Failure when the layout cannot be read
// to that point: the moves found by then are in `moves`, and no item has been put on the cursor
// that a line not yet read could have placed.
void MatchItems(const ProgramState& state, const std::vector<std::string>& names,
                LayoutLines& lines, std::vector<ItemMove>& moves, MatchCounts& counts);

} // namespace pindrel
