// What the save and the restore need of the desktop, behind one interface with two transports:
// Explorer's folder view (the shell view's IFolderView, through COM), and the list view's own
// messages (the requests of the list view in the shell's process, with memory there for the
// records). One transport serves a whole operation; it is chosen once, before anything changes.
#pragma once

#include "platform/WindowsApi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pindrel {

// Whether a request that needs memory the list view can reach could be made at all.
enum class Reach {
    Reached,          // the buffers were obtained and the request was sent
    ProcessNotOpened, // the list view's process could not be opened
    NoBuffer,         // no memory could be had in that process, or no shared mapping
};
// What failed, for a message: "the process of the desktop window could not be opened", ...
std::string DescribeReach(Reach reach);

// The names of the items, in index order: each what the desktop shows for it, cut at 40 UTF-16
// units, in the ANSI code page, "" when nothing could be read for it.
struct ItemNames {
    std::vector<std::string> names;
    Reach reach = Reach::Reached; // whether they could be asked for at all
};

// One item to be moved.
struct ItemMove {
    std::int32_t index = 0;
    Point to;
};

class DesktopAccess {
  public:
    virtual ~DesktopAccess() = default;

    // "folder view" or "list view".
    virtual const char* Transport() const = 0;
    // The desktop list view the window lookup found (both transports have it: the painting
    // hold and the auto-arrange command are window messages).
    virtual Hwnd ListView() const = 0;

    virtual bool IsAutoArrangeOn() = 0;
    // Flips the desktop's auto-arrange by the shell view's own command.
    virtual void ToggleAutoArrange() = 0;
    // Throws Failure naming the desktop when the count is negative or above kMostItems, when the
    // desktop does not answer (errors::kNoAnswer), or when the folder view fails.
    virtual std::int32_t GetItemCount() = 0;
    // Fills table[0..count-1]; an item whose position is not reported takes the one before it
    // (item 0: (0, 0)). Throws as GetItemCount does.
    virtual Reach ReadItemPositions(std::int32_t count, std::vector<Point>& table) = 0;
    virtual ItemNames ReadItemNames(std::int32_t count) = 0;
    // Moves the items (their positions pack into a list-view request: see PacksIntoLParam).
    virtual void MoveItems(const std::vector<ItemMove>& moves) = 0;
    // One of the four view-mode codes (0 icon, 1 details, 2 small icons, 3 list).
    virtual void SetViewMode(DWORD viewCode) = 0;

    // False once a request of this operation went unanswered: the desktop's thread may take its
    // messages again later, so what is to be put back (painting, auto-arrange) is then posted
    // to it rather than sent, and nothing it may still read is freed.
    bool Answering() const { return answering_; }

  protected:
    void NotAnswering() { answering_ = false; }

  private:
    bool answering_ = true;
};

// The most items a desktop holds. A desktop that reports more, or a negative count, is not
// answering as a desktop does: the count is refused rather than memory and time spent on it.
constexpr std::int32_t kMostItems = 1000000;
Failure CountRefused(std::int32_t count);

// Whether (x, y) packs as the 32-bit number x + 65536 * y, as a move by the list view's message
// carries it; the save stores nothing else, so a layout line that does not pack is refused by
// both transports alike.
bool PacksIntoLParam(std::int32_t x, std::int32_t y);

// The desktop for one operation: the folder view on Windows Vista (NT 6.0) and later when its
// shell view is the very "SHELLDLL_DefView" window the window lookup finds (another, such as
// Wine's own desktop while a stand-in shell runs, is never taken for it); the list view's
// messages otherwise. nullptr when the window lookup finds no desktop list view.
std::unique_ptr<DesktopAccess> OpenDesktop(WindowsApi& api);

} // namespace pindrel
