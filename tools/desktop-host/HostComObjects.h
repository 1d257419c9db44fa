// desktop-host's COM objects, the shell's chain from its window list to the desktop's folder view:
//   ShellWindows (IShellWindows)          FindWindowSW(CSIDL_DESKTOP, SWC_DESKTOP) → the window
//   DesktopWindow (IDispatch,             QueryService(SID_STopLevelBrowser) → the browser
//                  IServiceProvider)
//   Browser (IShellBrowser)               QueryActiveShellView → the view
//   View (IShellView, IFolderView2)       the desktop list view (lists[0]), through its messages
//   Folder (IShellFolder)                 GetDisplayNameOf → an item's text
// Each is made anew when a client asks for it, and the host keeps no reference to it; what the host
// does not serve answers E_NOTIMPL.
#pragma once

#include "HostComServer.h"

#include <windows.h>

#include <exdisp.h>
#include <shobjidl.h>

namespace desktophost {

// Each gives one reference to the caller, or nullptr when no memory could be had.
IShellWindows* NewShellWindows(ComServer& server);
IDispatch* NewDesktopWindow(ComServer& server);
IShellBrowser* NewBrowser(ComServer& server);
IShellView* NewView(ComServer& server);
IShellFolder* NewFolder(ComServer& server);

} // namespace desktophost
