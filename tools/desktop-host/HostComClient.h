// hostctl's COM client: it walks the shell's chain to the desktop's folder view as Pindrel does
// (IShellWindows::FindWindowSW → IServiceProvider::QueryService(SID_STopLevelBrowser) →
// IShellBrowser::QueryActiveShellView → IFolderView2) and reads or moves the items through it.
// Each command prints the step that failed and its HRESULT when the chain cannot be walked, and
// releases everything it obtained on every path. Exit codes: 0 done, 3 a step failed.
#pragma once

namespace hostcom {

// What a dump does besides: nothing, keep the view, the folder and the apartment (a client that
// forgets them), or hold a page allocated in the host's process (VirtualAllocEx) from before the
// walk to its end (a folder-view client that also takes the host's memory).
enum class DumpExtra { None, Leak, Alloc };
// Writes what the folder view shows to `file` (UTF-8, CR LF): the windows the chain gave and those
// a window lookup finds, count=, viewmode=, folderflags=, then per item "<x>,<y>,<name>".
int Dump(const char* file, DumpExtra extra);
// Moves item `index` to (x, y) with SelectAndPositionItems(SVSI_POSITIONITEM). With `forged`, the
// id is not asked of the view but made here, as the host makes its ids, which the host must refuse
// unless it handed out that id.
int Move(int index, int x, int y, bool forged);
// IFolderView::SetCurrentViewMode(mode) (FVM_ICON 1, FVM_SMALLICON 2, FVM_LIST 3, FVM_DETAILS 4).
int SetViewMode(unsigned mode);
// IFolderView2::SetCurrentFolderFlags(FWF_AUTOARRANGE, on ? FWF_AUTOARRANGE : 0).
int SetAutoArrange(bool on);
// Walks the chain once and times `n` IFolderView::ItemCount calls: prints items= and mean_us=.
int RoundTrip(int n);

} // namespace hostcom
