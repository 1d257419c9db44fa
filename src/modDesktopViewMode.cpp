#include "modDesktopViewMode.h"

#include "DesktopRequest.h"
#include "ListViewDesktop.h"

namespace pindrel::modDesktopViewMode {

void SetDesktopViewMode(WindowsApi& api, DWORD viewCode) {
    const Hwnd listView = modPindrel::FindDesktopListView(api);
    const auto style = static_cast<DWORD>(api.GetWindowLongA(listView, win::GWL_STYLE));
    // The window's stored style keeps the view it was created with, because the switch never
    // writes it; the list view itself knows the view it shows. A styleOld built from the stored
    // bits would make the list view ignore a switch back to the stored view, so the old view comes
    // from the list view.
    const auto currentView =
        static_cast<DWORD>(DesktopRequest(api, listView, win::LVM_GETVIEW, 0, 0)) &
        win::LVS_TYPEMASK;
    StyleStruct change;
    change.styleOld = (style & ~win::LVS_TYPEMASK) | currentView;
    change.styleNew = (style & ~win::LVS_TYPEMASK) | viewCode;
    // The platform carries this record to the list view's process itself; it stays in our memory.
    DesktopRequest(api, listView, win::WM_STYLECHANGED, static_cast<WPARAM>(win::GWL_STYLE),
                   reinterpret_cast<LPARAM>(&change));
}

} // namespace pindrel::modDesktopViewMode
