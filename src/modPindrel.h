// The desktop list view and the layout store: finding the list view, every request made of it
// across the process boundary, the capture of all item positions, and the restore.
#pragma once

#include "DesktopRequest.h"
#include "LayoutLines.h"
#include "ProgramState.h"
#include "Records.h"
#include "platform/Runtime.h"
#include "platform/WindowsApi.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pindrel::modPindrel {

// ---- finding the list view and the transport ---------------------------------------------------

// "Progman" -> "SHELLDLL_defVIEW" -> "SysListView32". When "Progman" holds no shell view (or is
// missing and no top-level one exists), the view is the one under the first top-level "WorkerW"
// window that holds one, in the order the platform lists them (Windows 7 to 11 put the desktop
// there for a wallpaper slideshow, Win+Tab and live wallpapers, and leave "Progman" empty). No
// other step tests its result: a missing window becomes parent 0 of the next lookup, which then
// searches the top-level windows.
Hwnd FindDesktopListView(WindowsApi& api);
// The form of LVITEM that the list view's process reads: that of its own bitness. A 64-bit program
// takes the 32-bit form for a shell under WOW64; a 32-bit program under WOW64 (so on 64-bit
// Windows) takes the 64-bit form for a shell that is not. Where the question cannot be answered
// (no IsWow64Process, the process cannot be opened for it) the program's own form is taken.
records::RecordForm ListViewRecordForm(WindowsApi& api, Pid processId);
// True when the version query succeeds and reports the NT platform (id 2).
bool IsWindowsNT(WindowsApi& api);

// Memory inside the list view's process (NT): opens the process with VM access and commits
// `size` bytes there. The process handle goes to `process`; the result is 0 when either failed.
RemoteAddr AllocRemoteBuffer(WindowsApi& api, Pid processId, DWORD size, Handle& process);
void FreeRemoteBuffer(WindowsApi& api, Handle process, RemoteAddr address, DWORD size);
// An unnamed page-file mapping and a view of it (other platforms).
RemoteAddr MapSharedBuffer(WindowsApi& api, DWORD size, Handle& mapping);
void UnmapSharedBuffer(WindowsApi& api, Handle mapping, RemoteAddr view);

// ---- requests --------------------------------------------------------------------------------

// Whether a request that needs memory the list view can reach could be made at all.
enum class Reach {
    Reached,          // the buffers were obtained and the request was sent
    ProcessNotOpened, // the list view's process could not be opened
    NoBuffer,         // no memory could be had in that process, or no shared mapping
};
// What failed, for a message: "the process of the desktop window could not be opened", ...
std::string DescribeReach(Reach reach);

// The item's text in the system code page; "" when nothing could be read. On NT the text comes
// back as its first 40 UTF-16 code units at most, elsewhere as its first 79 bytes. `reach`, when
// given, tells whether the request could be made.
std::string GetItemText(WindowsApi& api, Hwnd listView, std::int32_t index, Reach* reach = nullptr);
// The part of `text` before its first NUL character.
std::string TrimAtNul(const std::string& text);
std::u16string TrimAtNul(const std::u16string& text);

// The most items a desktop holds. A list view that reports more, or a negative count, is not
// answering as a desktop does: the count is refused rather than memory and time spent on it.
constexpr std::int32_t kMostItems = 1000000;

// The item count; 0 for window 0. Throws Failure naming the desktop window when the count is
// negative or above kMostItems.
std::int32_t GetItemCount(WindowsApi& api, Hwnd listView);
// Fills table[0..count-1] with the items' positions through one 8-byte buffer. An entry whose
// position the list view does not report receives what the buffer held (the previous item's
// position, or table[0] for the first). Returns whether the requests could be made.
Reach ReadItemPositions(WindowsApi& api, Hwnd listView, Pid processId, std::int32_t count,
                        std::vector<Point>& table);
// Moves an item. Throws Failure 6 "Overflow" (and sends nothing) when x + 65536 * y leaves the
// signed 32-bit range.
void SetItemPosition(WindowsApi& api, Hwnd listView, std::int32_t index, std::int32_t x,
                     std::int32_t y);
bool IsAutoArrangeOn(WindowsApi& api, Hwnd listView);
// Sends the shell view the auto-arrange command, which flips the desktop's auto-arrange.
void ToggleAutoArrange(WindowsApi& api, Hwnd listView);

// ---- capture and restore ---------------------------------------------------------------------

// Switches auto-arrange off when it is on (and sets the auto-arrange flag), then reads every
// item's position into the position table. Returns the number of items captured: 0 when there is
// no list view or no item, in which case the table keeps its previous content. `reach`, when
// given, tells whether the positions could be requested (Reached when there was nothing to read).
std::int32_t CapturePositions(WindowsApi& api, ProgramState& state, Reach* reach = nullptr);

struct RestoreReport {
    bool listViewFound = false;
    std::int32_t items = 0;       // items visited
    std::int32_t fromFile = 0;    // moved to their saved positions
    std::int32_t fromCursor = 0;  // placed at the placement cursor
    std::int32_t linesParsed = 0; // layout lines parsed (each at most once)
    // The list view's item count was refused: nothing was moved.
    std::optional<Failure> countRefused;
    // The layout could not be read to its end: the items placed before stay placed, the others
    // stay where they are.
    std::optional<Failure> layoutUnreadable;
    // The desktop did not answer a request within its time limit: the restore stopped there.
    std::optional<Failure> unanswered;
};

// Puts the items back where the layout's lines say, and lays out the others from (startX, startY)
// in steps of (deltaX, deltaY). No failure leaves it: a step that fails is abandoned and the next
// one runs, and the failures that stop the restore are in the report. The lines are read as the
// search needs them. The list view's painting is off while its items move (WM_SETREDRAW) and on
// again after the last move, however the moves ended, and the list view is then repainted once;
// auto-arrange is switched on again when it was on, on every path.
RestoreReport RestoreLayout(WindowsApi& api, ProgramState& state, LayoutLines& lines);
RestoreReport RestoreLayout(WindowsApi& api, ProgramState& state, std::string_view layoutText);
// The same with the layout file for this user, computer and screen size. A file that exists but
// cannot be opened throws, before anything has been moved.
RestoreReport RestoreLayout(WindowsApi& api, Runtime& runtime, ProgramState& state);

} // namespace pindrel::modPindrel
