// The shell's COM calls the program makes, under their Windows names (the C binding's
// Interface_Method names), on opaque handles: an interface pointer is a ComObject, a child item id
// a ComItemId. The program never looks inside either: it passes them back to the calls that take
// them, releases each interface it obtained with IUnknown_Release and frees each item id with
// CoTaskMemFree.
//
// The chain to the desktop's shell view: CoCreateInstance(CLSID_ShellWindows) →
// IShellWindows_FindWindowSW(CSIDL_DESKTOP, SWC_DESKTOP, SWFO_NEEDDISPATCH) → the dispatch object's
// IServiceProvider → IServiceProvider_QueryService(SID_STopLevelBrowser, IID_IShellBrowser) →
// IShellBrowser_QueryActiveShellView → the shell view's IFolderView / IFolderView2.
//
// A server that does not answer a call within the time limit of the desktop's requests
// (kAnswerLimitMs) makes the call fail with RPC_E_TIMEOUT, and every later call at once with the
// same error (Release and CoTaskMemFree then do nothing): the native side makes the calls from a
// worker thread and stops waiting for it.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <string>

namespace pindrel {

// An interface pointer; ComObject{0} means none.
enum class ComObject : std::uint64_t {};
// A child item id (PITEMID_CHILD) the folder view handed out; ComItemId{0} means none.
enum class ComItemId : std::uint64_t {};

using HRESULT = std::int32_t;

namespace com {
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
constexpr HRESULT RPC_E_DISCONNECTED = static_cast<HRESULT>(0x80010108);
constexpr HRESULT RPC_E_TIMEOUT = static_cast<HRESULT>(0x8001011F);
constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106);
constexpr HRESULT RPC_S_SERVER_UNAVAILABLE = static_cast<HRESULT>(0x800706BA);

constexpr bool Succeeded(HRESULT hr) {
    return hr >= 0;
}

constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD CLSCTX_ALL = 0x17;
constexpr std::int32_t CSIDL_DESKTOP = 0x0000;
constexpr std::int32_t SWC_DESKTOP = 0x8;
constexpr DWORD SWFO_NEEDDISPATCH = 0x1;
constexpr UINT SVGIO_ALLVIEW = 0x2;
constexpr DWORD SVSI_POSITIONITEM = 0x80;
constexpr DWORD SHGDN_INFOLDER = 0x1;
constexpr UINT FVM_ICON = 1;
constexpr UINT FVM_SMALLICON = 2;
constexpr UINT FVM_LIST = 3;
constexpr UINT FVM_DETAILS = 4;
constexpr DWORD FWF_AUTOARRANGE = 0x1;
} // namespace com

// The classes, services and interfaces the program asks for; the native side maps each onto its
// GUID.
enum class ComClass { ShellWindows };
enum class ComService { TopLevelBrowser };
enum class ComInterface {
    Unknown,
    ShellWindows,
    Dispatch,
    ServiceProvider,
    ShellBrowser,
    ShellView,
    FolderView,
    FolderView2,
    ShellFolder,
};

class ShellComApi {
  public:
    virtual ~ShellComApi() = default;

    virtual HRESULT CoInitializeEx(DWORD coInit) = 0;
    virtual void CoUninitialize() = 0;
    virtual HRESULT CoCreateInstance(ComClass clsid, DWORD clsContext, ComInterface iid,
                                     ComObject* object) = 0;
    virtual HRESULT IUnknown_QueryInterface(ComObject object, ComInterface iid,
                                            ComObject* other) = 0;
    // The reference count left, as Windows gives it (only for telling, never for deciding).
    virtual std::uint32_t IUnknown_Release(ComObject object) = 0;
    virtual void CoTaskMemFree(ComItemId id) = 0;

    // The location is the special folder `csidl` (a VT_I4 VARIANT), the root VT_EMPTY. S_FALSE,
    // with no window and no dispatch object, when no such window exists.
    virtual HRESULT IShellWindows_FindWindowSW(ComObject shellWindows, std::int32_t csidl,
                                               std::int32_t swClass, DWORD options, Hwnd* window,
                                               ComObject* dispatch) = 0;
    virtual HRESULT IServiceProvider_QueryService(ComObject provider, ComService service,
                                                  ComInterface iid, ComObject* object) = 0;
    virtual HRESULT IShellBrowser_QueryActiveShellView(ComObject browser, ComObject* view) = 0;
    // IOleWindow::GetWindow of the shell view: its window ("SHELLDLL_DefView").
    virtual HRESULT IOleWindow_GetWindow(ComObject oleWindow, Hwnd* window) = 0;

    virtual HRESULT IFolderView_ItemCount(ComObject view, UINT flags, std::int32_t* count) = 0;
    virtual HRESULT IFolderView_Item(ComObject view, std::int32_t index, ComItemId* id) = 0;
    virtual HRESULT IFolderView_GetFolder(ComObject view, ComInterface iid, ComObject* folder) = 0;
    virtual HRESULT IFolderView_GetItemPosition(ComObject view, ComItemId id, Point* point) = 0;
    virtual HRESULT IFolderView_SelectAndPositionItems(ComObject view, UINT count,
                                                       const ComItemId* ids, const Point* points,
                                                       DWORD flags) = 0;
    virtual HRESULT IFolderView_GetCurrentViewMode(ComObject view, UINT* mode) = 0;
    virtual HRESULT IFolderView_SetCurrentViewMode(ComObject view, UINT mode) = 0;
    virtual HRESULT IFolderView2_GetCurrentFolderFlags(ComObject view, DWORD* flags) = 0;
    virtual HRESULT IFolderView2_SetCurrentFolderFlags(ComObject view, DWORD mask, DWORD flags) = 0;
    // The item's display name; the STRRET Windows gives is turned into text at the seam.
    virtual HRESULT IShellFolder_GetDisplayNameOf(ComObject folder, ComItemId id, DWORD flags,
                                                  std::u16string* name) = 0;
};

} // namespace pindrel
