// The desktop through Explorer's own interface: the folder view of the desktop's shell view
// (IFolderView, IFolderView2 where it answers), reached through IShellWindows. Positions read
// and set this way are the ones Explorer keeps (a list-view message behind its back is lost at
// its next refresh on Windows 10 1809 and later); COM carries every call across processes and
// bitness, so no memory of the shell's process and no record of its bitness is involved.
//
// Item ids are opaque: each one the view hands out is only passed back to it and freed once
// (CoTaskMemFree) when the operation ends. Once the view has been chosen, a read that fails (the
// count, an item, a name, a position) ends the operation (Failure errors::kAutomation, or
// errors::kNoAnswer for a server that did not answer in time), and so does a change the server
// could not take (it went away or did not answer): nothing goes on through the other transport. A
// change the view refuses (the moves in the details or list view, where icons have no places) is
// left at that, as the list view's own refusals are by the other transport.
#pragma once

#include "DesktopAccess.h"
#include "platform/WindowsApi.h"

#include <memory>
#include <string>
#include <vector>

namespace pindrel {

class FolderViewDesktop final : public DesktopAccess {
  public:
    // The desktop's folder view when its shell view's window is `shellView` (the
    // "SHELLDLL_DefView" the window lookup found); nullptr, with everything obtained released,
    // when any step of the chain fails or finds another view. Throws Failure errors::kNoAnswer
    // when the shell does not answer: the list view, in the same process, would not either.
    static std::unique_ptr<FolderViewDesktop> Connect(WindowsApi& api, Hwnd listView,
                                                      Hwnd shellView);
    ~FolderViewDesktop() override;
    FolderViewDesktop(const FolderViewDesktop&) = delete;
    FolderViewDesktop& operator=(const FolderViewDesktop&) = delete;

    const char* Transport() const override { return "folder view"; }
    Hwnd ListView() const override { return listView_; }
    // FWF_AUTOARRANGE of IFolderView2's folder flags where they answer, else the list view's
    // style.
    bool IsAutoArrangeOn() override;
    void ToggleAutoArrange() override;
    std::int32_t GetItemCount() override;
    Reach ReadItemPositions(std::int32_t count, std::vector<Point>& table) override;
    ItemNames ReadItemNames(std::int32_t count) override;
    // Every move in one SelectAndPositionItems call.
    void MoveItems(const std::vector<ItemMove>& moves) override;
    // FVM_ICON, FVM_DETAILS, FVM_SMALLICON or FVM_LIST.
    void SetViewMode(DWORD viewCode) override;

  private:
    FolderViewDesktop(WindowsApi& api, Hwnd listView, ComObject view, ComObject view2);
    // Throws the failure of a call that did not succeed.
    void Check(HRESULT hr, const char* call);
    // The same for a change, except that one the view refuses is not a failure.
    void CheckChange(HRESULT hr, const char* call);
    // The id of item `index`, asked for once.
    ComItemId Id(std::int32_t index);

    WindowsApi& api_;
    Hwnd listView_;
    ComObject view_;  // IFolderView
    ComObject view2_; // IFolderView2, or 0
    ComObject folder_{};
    std::vector<ComItemId> ids_;
};

} // namespace pindrel
