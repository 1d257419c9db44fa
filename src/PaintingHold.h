// Holding a window's painting while many changes are made to it, so that it paints once at the
// end instead of after each change.
#pragma once

#include "DesktopRequest.h"
#include "platform/WindowsApi.h"

namespace pindrel {

// WM_SETREDRAW FALSE on Engage(); when the hold ends, WM_SETREDRAW TRUE and one invalidation of
// the whole window, which turning painting on does not bring about by itself. Nothing is sent
// unless Engage() was called, and nothing twice. No memory of either process is involved, so it
// is the same on every transport and bitness.
class PaintingHold {
  public:
    PaintingHold(WindowsApi& api, Hwnd window) : api_(api), window_(window) {}
    PaintingHold(const PaintingHold&) = delete;
    PaintingHold& operator=(const PaintingHold&) = delete;
    ~PaintingHold() {
        if (!engaged_) {
            return;
        }
        try {
            DesktopRequest(api_, window_, win::WM_SETREDRAW, 1, 0);
            api_.InvalidateRect(window_, nullptr, 1);
        } catch (...) {
            // Nothing more can be done from here, and a destructor must not throw.
        }
    }

    void Engage() {
        if (engaged_ || window_ == Hwnd{0}) {
            return;
        }
        // Engaged before the request: a request that failed on its way may still have arrived.
        engaged_ = true;
        DesktopRequest(api_, window_, win::WM_SETREDRAW, 0, 0);
    }

  private:
    WindowsApi& api_;
    Hwnd window_;
    bool engaged_ = false;
};

} // namespace pindrel
