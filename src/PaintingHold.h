// Holding a window's painting while many changes are made to it, so that it paints once at the
// end instead of after each change.
#pragma once

#include "DesktopRequest.h"
#include "platform/WindowsApi.h"

namespace pindrel {

// WM_SETREDRAW FALSE on Engage(); when the hold ends, WM_SETREDRAW TRUE and one invalidation of
// the whole window, which turning painting on does not bring about by itself. Nothing is sent
// unless Engage() was called. No memory of either process is involved, so it is the same on every
// transport and bitness. A window that did not answer (PostOnly(), or the request to turn painting
// on going unanswered) gets WM_SETREDRAW TRUE posted, so that it paints again once it takes its
// messages again (twice TRUE does no harm).
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
            if (!postOnly_) {
                DesktopRequest(api_, window_, win::WM_SETREDRAW, 1, 0);
            }
        } catch (...) {
            postOnly_ = true; // it did not answer, or the request failed on its way
        }
        try {
            if (postOnly_) {
                api_.PostMessageA(window_, win::WM_SETREDRAW, 1, 0);
            }
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
    // The window did not answer: painting is turned on again by a posted message.
    void PostOnly() { postOnly_ = true; }

  private:
    WindowsApi& api_;
    Hwnd window_;
    bool engaged_ = false;
    bool postOnly_ = false;
};

} // namespace pindrel
