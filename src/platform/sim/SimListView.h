// The shell's windows as the program talks to them: the desktop list view answers the list-view
// messages, and the shell view ("SHELLDLL_DefView") its auto-arrange command. Every window takes
// WM_SETREDRAW, which turns its painting off and on; a list view repaints after each move or
// arrangement while its painting is on.
//
// A list-view request carries an address in the list view's own process, and the list view
// decodes LVITEM in the form of that process: 40 bytes with a 4-byte pszText at 20 (32-bit), or
// 56 bytes with an 8-byte pszText at 24 (64-bit). When a request leads it outside a live
// allocation, real Windows would crash the shell: the simulation records a fault and touches
// nothing.
#pragma once

#include "platform/sim/SimLog.h"
#include "platform/sim/SimMemory.h"
#include "platform/sim/SimSystem.h"
#include "platform/sim/SimWindows.h"

namespace pindrel::sim {

class SimListView {
  public:
    SimListView(SimWindows& windows, SimMemory& memory, const SimSystem& system, SimLog& log)
        : windows_(windows), memory_(memory), system_(system), log_(log) {}

    // A message to a list view or a shell view; other windows answer 0 (and take WM_SETREDRAW).
    LRESULT Handle(Hwnd window, SimWindow& w, UINT message, WPARAM wParam, LPARAM lParam);
    // The list view switches to `view` (0..3) and, when that is a change, re-arranges its items.
    void ShowView(SimWindow& lv, DWORD view) const;

  private:
    LRESULT ListViewMessage(SimWindow& lv, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT GetItemW(SimWindow& lv, std::uint64_t record);
    LRESULT GetItemTextA(SimWindow& lv, std::int32_t index, std::uint64_t record);
    LRESULT StyleChanged(SimWindow& lv, WPARAM wParam, LPARAM lParam);
    LRESULT ShellViewMessage(Hwnd view, UINT message, WPARAM wParam);
    std::uint8_t* Memory(const SimWindow& lv, std::uint64_t address, std::uint64_t length,
                         bool write);
    void Arrange(SimWindow& lv) const;

    SimWindows& windows_;
    SimMemory& memory_;
    const SimSystem& system_;
    SimLog& log_;
    UINT message_ = 0; // the message being handled, for the faults
};

} // namespace pindrel::sim
