// The simulated session's ShellComApi: each call is logged under its Windows name and handled by
// the shell's COM chain (SimShellCom).
#include "platform/sim/SimSessionImpl.h"

namespace pindrel::sim {

void SimSession::SetWindowsVersion(DWORD major, DWORD minor, DWORD build) {
    impl_->system.major = major;
    impl_->system.minor = minor;
    impl_->system.build = build;
}
void SimSession::SetComDesktop(SimComDesktop desktop) {
    impl_->com.desktop = desktop;
}
void SimSession::FailComCall(const std::string& method, HRESULT hr, int after) {
    impl_->com.FailCall(method, hr, after);
}
void SimSession::LoseComServerAfter(int calls, HRESULT hr) {
    impl_->com.LoseServerAfter(calls, hr);
}
void SimSession::HangComServerAfter(int calls) {
    impl_->com.HangAfter(calls);
}
int SimSession::LiveComPointers() const {
    return impl_->com.LivePointers();
}
int SimSession::LiveComItemIds() const {
    return impl_->com.LiveItemIds();
}
int SimSession::ComInitialized() const {
    return impl_->com.Initialized();
}

HRESULT SimSession::CoInitializeEx(DWORD coInit) {
    impl_->log.Call("CoInitializeEx", coInit);
    return impl_->com.CoInitializeEx(coInit);
}
void SimSession::CoUninitialize() {
    impl_->log.Call("CoUninitialize");
    impl_->com.CoUninitialize();
}
HRESULT SimSession::CoCreateInstance(ComClass clsid, DWORD clsContext, ComInterface iid,
                                     ComObject* object) {
    impl_->log.Call("CoCreateInstance", clsContext);
    return impl_->com.CoCreateInstance(clsid, iid, object);
}
HRESULT SimSession::IUnknown_QueryInterface(ComObject object, ComInterface iid, ComObject* other) {
    impl_->log.Call("IUnknown_QueryInterface", static_cast<std::uint64_t>(object),
                    static_cast<std::int64_t>(iid));
    return impl_->com.QueryInterface(object, iid, other);
}
std::uint32_t SimSession::IUnknown_Release(ComObject object) {
    impl_->log.Call("IUnknown_Release", static_cast<std::uint64_t>(object));
    return impl_->com.Release(object);
}
void SimSession::CoTaskMemFree(ComItemId id) {
    impl_->log.Call("CoTaskMemFree", static_cast<std::uint64_t>(id));
    impl_->com.CoTaskMemFree(id);
}
HRESULT SimSession::IShellWindows_FindWindowSW(ComObject shellWindows, std::int32_t csidl,
                                               std::int32_t swClass, DWORD options, Hwnd* window,
                                               ComObject* dispatch) {
    impl_->log.Call("IShellWindows_FindWindowSW", static_cast<std::uint64_t>(csidl), swClass);
    return impl_->com.FindWindowSW(shellWindows, csidl, swClass, options, window, dispatch);
}
HRESULT SimSession::IServiceProvider_QueryService(ComObject provider, ComService service,
                                                  ComInterface iid, ComObject* object) {
    impl_->log.Call("IServiceProvider_QueryService");
    return impl_->com.QueryService(provider, service, iid, object);
}
HRESULT SimSession::IShellBrowser_QueryActiveShellView(ComObject browser, ComObject* view) {
    impl_->log.Call("IShellBrowser_QueryActiveShellView");
    return impl_->com.QueryActiveShellView(browser, view);
}
HRESULT SimSession::IOleWindow_GetWindow(ComObject oleWindow, Hwnd* window) {
    impl_->log.Call("IOleWindow_GetWindow");
    return impl_->com.GetWindow(oleWindow, window);
}
HRESULT SimSession::IFolderView_ItemCount(ComObject view, UINT flags, std::int32_t* count) {
    impl_->log.Call("IFolderView_ItemCount", flags);
    return impl_->com.ItemCount(view, flags, count);
}
HRESULT SimSession::IFolderView_Item(ComObject view, std::int32_t index, ComItemId* id) {
    impl_->log.Call("IFolderView_Item", static_cast<std::uint64_t>(index));
    return impl_->com.Item(view, index, id);
}
HRESULT SimSession::IFolderView_GetFolder(ComObject view, ComInterface iid, ComObject* folder) {
    impl_->log.Call("IFolderView_GetFolder");
    return impl_->com.GetFolder(view, iid, folder);
}
HRESULT SimSession::IFolderView_GetItemPosition(ComObject view, ComItemId id, Point* point) {
    impl_->log.Call("IFolderView_GetItemPosition", static_cast<std::uint64_t>(id));
    return impl_->com.GetItemPosition(view, id, point);
}
HRESULT SimSession::IFolderView_SelectAndPositionItems(ComObject view, UINT count,
                                                       const ComItemId* ids, const Point* points,
                                                       DWORD flags) {
    impl_->log.Call("IFolderView_SelectAndPositionItems", count, flags);
    return impl_->com.SelectAndPositionItems(view, count, ids, points, flags);
}
HRESULT SimSession::IFolderView_GetCurrentViewMode(ComObject view, UINT* mode) {
    impl_->log.Call("IFolderView_GetCurrentViewMode");
    return impl_->com.GetCurrentViewMode(view, mode);
}
HRESULT SimSession::IFolderView_SetCurrentViewMode(ComObject view, UINT mode) {
    impl_->log.Call("IFolderView_SetCurrentViewMode", mode);
    return impl_->com.SetCurrentViewMode(view, mode);
}
HRESULT SimSession::IFolderView2_GetCurrentFolderFlags(ComObject view, DWORD* flags) {
    impl_->log.Call("IFolderView2_GetCurrentFolderFlags");
    return impl_->com.GetCurrentFolderFlags(view, flags);
}
HRESULT SimSession::IFolderView2_SetCurrentFolderFlags(ComObject view, DWORD mask, DWORD flags) {
    impl_->log.Call("IFolderView2_SetCurrentFolderFlags", mask, flags);
    return impl_->com.SetCurrentFolderFlags(view, mask, flags);
}
HRESULT SimSession::IShellFolder_GetDisplayNameOf(ComObject folder, ComItemId id, DWORD flags,
                                                  std::u16string* name) {
    impl_->log.Call("IShellFolder_GetDisplayNameOf", static_cast<std::uint64_t>(id), flags);
    return impl_->com.GetDisplayNameOf(folder, id, flags, name);
}

} // namespace pindrel::sim
