// The desktop through the list view's own messages: the transport for Windows before Vista, and
// wherever Explorer's folder view cannot be had. Every request is a message to the list view in
// the shell's process; those that point at a record find it in memory that process can reach
// (ListViewMemory), set up once for the whole operation.
#pragma once

#include "DesktopAccess.h"
#include "ListViewMemory.h"
#include "platform/WindowsApi.h"

#include <cstdint>
#include <string>

namespace pindrel::modPindrel {

// "Progman" -> "SHELLDLL_defVIEW" -> "SysListView32". When "Progman" holds no shell view (or is
// missing and no top-level one exists), the view is the one under the first top-level "WorkerW"
// window that holds one, in the order the platform lists them (Windows 7 to 11 put the desktop
// there for a wallpaper slideshow, Win+Tab and live wallpapers, and leave "Progman" empty). No
// other step tests its result: a missing window becomes parent 0 of the next lookup, which then
// searches the top-level windows.
Hwnd FindDesktopListView(WindowsApi& api);

// The part of `text` before its first NUL character.
std::string TrimAtNul(const std::string& text);
std::u16string TrimAtNul(const std::u16string& text);

// The item count. Throws Failure naming the desktop window when the count is negative or above
// kMostItems, and DesktopRequest's failures (no answer; a window that is gone, window 0 too).
std::int32_t GetItemCount(WindowsApi& api, Hwnd listView);
// Moves an item. Throws Failure 6 "Overflow" (and sends nothing) when x + 65536 * y leaves the
// signed 32-bit range.
void SetItemPosition(WindowsApi& api, Hwnd listView, std::int32_t index, std::int32_t x,
                     std::int32_t y);
bool IsAutoArrangeOn(WindowsApi& api, Hwnd listView);
// Sends the shell view the auto-arrange command, which flips the desktop's auto-arrange.
void ToggleAutoArrange(WindowsApi& api, Hwnd listView);

class ListViewDesktop final : public DesktopAccess {
  public:
    // The items a batch of requests covers: one write of their records, one read of their
    // results. A batch's buffers are a few pages.
    static constexpr std::int32_t kBatch = 256;

    ListViewDesktop(WindowsApi& api, Hwnd listView);

    const char* Transport() const override { return "list view"; }
    Hwnd ListView() const override { return listView_; }
    bool IsAutoArrangeOn() override;
    void ToggleAutoArrange() override;
    std::int32_t GetItemCount() override;
    // Through one buffer: each item's position is asked for into a slot of its own, and the slots
    // of a batch are read back at once. An item whose position the list view does not report
    // (its request answered FALSE) takes the one before it, item 0 (0, 0).
    Reach ReadItemPositions(std::int32_t count, std::vector<Point>& table) override;
    // LVM_GETITEMW on NT (40 UTF-16 units come back at most), LVM_GETITEMTEXTA elsewhere (79
    // bytes): each item's record and text buffer are a slot of the two buffers, written and read
    // a batch at a time; each text buffer is filled with zeros before its request.
    ItemNames ReadItemNames(std::int32_t count) override;
    void MoveItems(const std::vector<ItemMove>& moves) override;
    void SetViewMode(DWORD viewCode) override;

  private:
    // Runs one of the requests; one that goes unanswered marks the operation so, and when it
    // points into the buffers, leaves them to the list view.
    template <typename Request> auto Guarded(bool pointsIntoBuffers, Request request);

    WindowsApi& api_;
    Hwnd listView_;
    ListViewMemory memory_;
};

} // namespace pindrel::modPindrel
