// The layout store: the capture of every icon's position, the save of the layout file, and the
// restore that puts the icons back, all over the desktop's interface (DesktopAccess), whichever
// transport serves it. The window's procedures gather the settings and call these.
#pragma once

#include "DesktopAccess.h"
#include "LayoutLines.h"
#include "ProgramState.h"
#include "RunStatus.h"
#include "platform/Runtime.h"
#include "platform/WindowsApi.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace pindrel::modPindrel {

// Switches auto-arrange off when it is on (and sets the auto-arrange flag), then, with
// `readPositions`, reads every item's position into the position table. Returns the number of
// items: 0 when there is none, in which case the table keeps its previous content. `reach`, when
// given, tells whether the positions could be requested (Reached when there was nothing to read).
// Throws the desktop's Failure (a refused count, no answer, a folder view that fails).
std::int32_t CapturePositions(DesktopAccess& desktop, ProgramState& state, Reach* reach = nullptr,
                              bool readPositions = true);

// Saves the layout of the desktop for this user, computer and screen size: every name is read
// before the file is touched, the new layout goes to a temporary file of this run's own beside
// the old one and replaces it only when complete. Throws RunFailure with the status a silent run
// ends with: 1 no desktop, 2 the file could not be written (or another run kept it busy), 4 the
// icons could not be read; the old layout is then as it was.
void SaveLayout(WindowsApi& api, Runtime& runtime, ProgramState& state);

struct RestoreReport {
    const char* transport = "";   // the desktop's transport that served the restore
    std::int32_t items = 0;       // items visited
    std::int32_t fromFile = 0;    // moved to their saved positions
    std::int32_t fromCursor = 0;  // placed at the placement cursor
    std::int32_t linesParsed = 0; // layout lines parsed (each at most once)
    // The desktop's item count was refused: nothing changed.
    std::optional<Failure> countRefused;
    // No name could be asked for (the shell's process not opened, no memory in it): nothing
    // changed.
    std::optional<Reach> namesUnreached;
    // The layout could not be read to its end: the items placed before stay placed, the others
    // stay where they are.
    std::optional<Failure> layoutUnreadable;
    // The desktop did not answer or went away, or its folder view failed: the restore stopped
    // there.
    std::optional<Failure> stopped;
};

// What the restore calls to switch the view mode, through the desktop it has opened.
using ViewSwitch = std::function<void(DesktopAccess&)>;

// Puts the items back where the layout's lines say (MatchItems), and lays out the others from
// (startX, startY) in steps of (deltaX, deltaY). The count and the names are read first, before
// anything changes; then the view mode is switched, auto-arrange goes off, and the items move. No
// failure leaves it: a step that fails is abandoned and the next one runs, and the failures that
// stop the restore are in the report. The list view's painting is
// off while its items move (WM_SETREDRAW) and on again after the last move, however the moves
// ended, and the list view is then repainted once; auto-arrange is switched on again when a
// capture switched it off, on every path.
RestoreReport RestoreLayout(WindowsApi& api, DesktopAccess& desktop, ProgramState& state,
                            LayoutLines& lines, const ViewSwitch& applyViewMode = {});
// The same with the layout in memory, on the desktop the window lookup finds (for tests and
// tools); a report with no transport when there is no desktop.
RestoreReport RestoreLayout(WindowsApi& api, ProgramState& state, std::string_view layoutText);
// The restore of the layout file for this user, computer and screen size. Throws RunFailure: 5
// when the file exists but cannot be read (or another run kept it busy), before anything has
// changed, or when it could not be read to its end; 1 when there is no desktop; 4 when the
// desktop's count was refused, no name could be read, or it stopped answering or went away.
RestoreReport RestoreLayout(WindowsApi& api, Runtime& runtime, ProgramState& state,
                            const ViewSwitch& applyViewMode = {});

} // namespace pindrel::modPindrel
