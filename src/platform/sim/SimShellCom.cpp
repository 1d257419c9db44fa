#include "platform/sim/SimShellCom.h"

#include "platform/WindowsApi.h"

#include <algorithm>

namespace pindrel::sim {

using namespace pindrel::com;

namespace {

constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0);

// The list view's view and the folder view's mode for it.
constexpr std::pair<UINT, DWORD> kModes[] = {
    {FVM_ICON, 0}, {FVM_DETAILS, 1}, {FVM_SMALLICON, 2}, {FVM_LIST, 3}};

} // namespace

void SimShellCom::FailCall(const std::string& method, HRESULT hr, int after) {
    failures_[method] = {hr, after};
}

void SimShellCom::LoseServerAfter(int calls, HRESULT hr) {
    lost_ = std::make_pair(calls, hr);
}

void SimShellCom::HangAfter(int calls) {
    hangAfter_ = calls;
}

HRESULT SimShellCom::Enter(const char* method) {
    if (initialized_ == 0) {
        log_.Fault(std::string(method) + " before CoInitializeEx");
        return CO_E_NOTINITIALIZED;
    }
    if (hung_)
        return RPC_E_TIMEOUT;
    if (hangAfter_ && (*hangAfter_)-- <= 0) {
        hung_ = true;
        clock_.Advance(answerLimitMs_);
        return RPC_E_TIMEOUT;
    }
    if (lost_) {
        if (lost_->first <= 0)
            return lost_->second;
        --lost_->first;
    }
    const auto failure = failures_.find(method);
    if (failure != failures_.end()) {
        if (failure->second.second <= 0)
            return failure->second.first;
        --failure->second.second;
    }
    return S_OK;
}

HRESULT SimShellCom::EnterOn(ComObject object, std::initializer_list<ComInterface> interfaces,
                             const char* method) {
    const HRESULT entered = Enter(method);
    if (entered != S_OK)
        return entered;
    return objects_.Use(object, interfaces, method) ? S_OK : E_FAIL;
}

SimWindow* SimShellCom::ListView() {
    return windows_.desktop ? windows_.Find(windows_.desktop->listView) : nullptr;
}

SimItem* SimShellCom::ItemOf(ComItemId id, const char* method) {
    const std::uint64_t* serial = objects_.Item(id, method);
    SimWindow* lv = ListView();
    if (!serial || !lv)
        return nullptr;
    const auto found = std::find_if(lv->items.begin(), lv->items.end(),
                                    [&](const SimItem& item) { return item.serial == *serial; });
    return found == lv->items.end() ? nullptr : &*found;
}

HRESULT SimShellCom::CoInitializeEx(DWORD coInit) {
    (void)coInit;
    return initialized_++ == 0 ? S_OK : S_FALSE;
}

void SimShellCom::CoUninitialize() {
    if (initialized_ == 0) {
        log_.Fault("CoUninitialize without CoInitializeEx");
        return;
    }
    --initialized_;
}

HRESULT SimShellCom::CoCreateInstance(ComClass clsid, ComInterface iid, ComObject* object) {
    *object = ComObject{0};
    if (initialized_ == 0) {
        log_.Fault("CoCreateInstance before CoInitializeEx");
        return CO_E_NOTINITIALIZED;
    }
    if (clsid != ComClass::ShellWindows || desktop == SimComDesktop::Unregistered)
        return REGDB_E_CLASSNOTREG;
    if (iid != ComInterface::ShellWindows && iid != ComInterface::Unknown)
        return E_NOINTERFACE;
    *object = objects_.Create(SimComKind::ShellWindows, iid);
    return S_OK;
}

HRESULT SimShellCom::QueryInterface(ComObject object, ComInterface iid, ComObject* other) {
    *other = ComObject{0};
    const HRESULT entered = Enter("IUnknown_QueryInterface");
    if (entered != S_OK)
        return entered;
    using I = ComInterface;
    const SimComKind* kind =
        objects_.Use(object,
                     {I::Unknown, I::ShellWindows, I::Dispatch, I::ServiceProvider, I::ShellBrowser,
                      I::ShellView, I::FolderView, I::FolderView2, I::ShellFolder},
                     "IUnknown_QueryInterface");
    if (!kind)
        return E_FAIL;
    bool supported = iid == I::Unknown;
    switch (*kind) {
    case SimComKind::ShellWindows:
        supported = supported || iid == I::ShellWindows || iid == I::Dispatch;
        break;
    case SimComKind::DesktopDispatch:
        supported = supported || iid == I::Dispatch || iid == I::ServiceProvider;
        break;
    case SimComKind::Browser:
        supported = supported || iid == I::ShellBrowser;
        break;
    case SimComKind::View:
        supported =
            supported || iid == I::ShellView || iid == I::FolderView || iid == I::FolderView2;
        break;
    case SimComKind::Folder:
        supported = supported || iid == I::ShellFolder;
        break;
    }
    if (!supported)
        return E_NOINTERFACE;
    *other = objects_.Another(object, iid);
    return S_OK;
}

// A proxy drops its reference on the program's side even when the server is gone or hung.
std::uint32_t SimShellCom::Release(ComObject object) {
    return objects_.Release(object);
}

void SimShellCom::CoTaskMemFree(ComItemId id) {
    objects_.Free(id);
}

HRESULT SimShellCom::FindWindowSW(ComObject shellWindows, std::int32_t csidl, std::int32_t swClass,
                                  DWORD options, Hwnd* window, ComObject* dispatch) {
    *window = Hwnd{0};
    *dispatch = ComObject{0};
    if (const HRESULT entered =
            EnterOn(shellWindows, {ComInterface::ShellWindows}, "IShellWindows_FindWindowSW");
        entered != S_OK)
        return entered;
    const bool shown = desktop == SimComDesktop::Shown && windows_.desktop &&
                       windows_.Find(windows_.desktop->defView);
    if (csidl != CSIDL_DESKTOP || swClass != SWC_DESKTOP ||
        !(shown || desktop == SimComDesktop::Hollow))
        return S_FALSE;
    if (shown)
        *window = windows_.desktop->progman != Hwnd{0} ? windows_.desktop->progman
                                                       : windows_.desktop->defView;
    if (options & SWFO_NEEDDISPATCH)
        *dispatch = objects_.Create(SimComKind::DesktopDispatch, ComInterface::Dispatch);
    return S_OK;
}

HRESULT SimShellCom::QueryService(ComObject provider, ComService service, ComInterface iid,
                                  ComObject* object) {
    *object = ComObject{0};
    if (const HRESULT entered =
            EnterOn(provider, {ComInterface::ServiceProvider}, "IServiceProvider_QueryService");
        entered != S_OK)
        return entered;
    if (service != ComService::TopLevelBrowser || iid != ComInterface::ShellBrowser)
        return E_NOINTERFACE;
    *object = objects_.Create(SimComKind::Browser, iid);
    return S_OK;
}

HRESULT SimShellCom::QueryActiveShellView(ComObject browser, ComObject* view) {
    *view = ComObject{0};
    if (const HRESULT entered =
            EnterOn(browser, {ComInterface::ShellBrowser}, "IShellBrowser_QueryActiveShellView");
        entered != S_OK)
        return entered;
    *view = objects_.Create(SimComKind::View, ComInterface::ShellView);
    return S_OK;
}

HRESULT SimShellCom::GetWindow(ComObject oleWindow, Hwnd* window) {
    *window = Hwnd{0};
    if (const HRESULT entered =
            EnterOn(oleWindow, {ComInterface::ShellView, ComInterface::ShellBrowser},
                    "IOleWindow_GetWindow");
        entered != S_OK)
        return entered;
    if (desktop == SimComDesktop::Hollow)
        return S_OK; // a view with no window of its own
    if (!windows_.desktop || !windows_.Find(windows_.desktop->defView))
        return RPC_E_DISCONNECTED;
    *window = windows_.desktop->defView;
    return S_OK;
}

HRESULT SimShellCom::ItemCount(ComObject view, UINT flags, std::int32_t* count) {
    *count = 0;
    if (const HRESULT entered = EnterOn(view, {ComInterface::FolderView, ComInterface::FolderView2},
                                        "IFolderView_ItemCount");
        entered != S_OK)
        return entered;
    if (desktop == SimComDesktop::Hollow)
        return S_OK;
    SimWindow* lv = ListView();
    if (!lv)
        return RPC_E_DISCONNECTED;
    if (flags != SVGIO_ALLVIEW)
        return E_INVALIDARG;
    *count = static_cast<std::int32_t>(lv->reportedCount ? *lv->reportedCount
                                                         : static_cast<LRESULT>(lv->items.size()));
    return S_OK;
}

HRESULT SimShellCom::Item(ComObject view, std::int32_t index, ComItemId* id) {
    *id = ComItemId{0};
    if (const HRESULT entered = EnterOn(view, {ComInterface::FolderView, ComInterface::FolderView2},
                                        "IFolderView_Item");
        entered != S_OK)
        return entered;
    SimWindow* lv = ListView();
    if (desktop == SimComDesktop::Hollow || !lv)
        return lv ? E_INVALIDARG : RPC_E_DISCONNECTED;
    if (index < 0 || index >= static_cast<std::int32_t>(lv->items.size()))
        return E_INVALIDARG;
    *id = objects_.NewId(lv->items[static_cast<std::size_t>(index)].serial);
    return S_OK;
}

HRESULT SimShellCom::GetFolder(ComObject view, ComInterface iid, ComObject* folder) {
    *folder = ComObject{0};
    if (const HRESULT entered = EnterOn(view, {ComInterface::FolderView, ComInterface::FolderView2},
                                        "IFolderView_GetFolder");
        entered != S_OK)
        return entered;
    if (iid != ComInterface::ShellFolder)
        return E_NOINTERFACE;
    *folder = objects_.Create(SimComKind::Folder, iid);
    return S_OK;
}

HRESULT SimShellCom::GetItemPosition(ComObject view, ComItemId id, Point* point) {
    *point = Point{};
    if (const HRESULT entered = EnterOn(view, {ComInterface::FolderView, ComInterface::FolderView2},
                                        "IFolderView_GetItemPosition");
        entered != S_OK)
        return entered;
    if (desktop == SimComDesktop::Hollow)
        return E_NOTIMPL;
    const SimItem* item = ItemOf(id, "IFolderView_GetItemPosition");
    if (!item)
        return E_INVALIDARG;
    *point = item->position;
    return S_OK;
}

// With auto-arrange on, the view puts each item straight back into its place, as the list view
// does with a move.
HRESULT SimShellCom::SelectAndPositionItems(ComObject view, UINT count, const ComItemId* ids,
                                            const Point* points, DWORD flags) {
    if (const HRESULT entered = EnterOn(view, {ComInterface::FolderView, ComInterface::FolderView2},
                                        "IFolderView_SelectAndPositionItems");
        entered != S_OK)
        return entered;
    if (desktop == SimComDesktop::Hollow)
        return E_NOTIMPL;
    std::vector<SimItem*> items;
    for (UINT i = 0; i < count; ++i) {
        SimItem* item = ItemOf(ids[i], "IFolderView_SelectAndPositionItems");
        if (!item)
            return E_INVALIDARG;
        items.push_back(item);
    }
    SimWindow* lv = ListView();
    if (!(flags & SVSI_POSITIONITEM) || !lv || (lv->remembered & win::LVS_AUTOARRANGE))
        return S_OK;
    for (UINT i = 0; i < count; ++i) {
        items[i]->position = points[i];
        lv->Changed();
    }
    return S_OK;
}

HRESULT SimShellCom::GetCurrentViewMode(ComObject view, UINT* mode) {
    *mode = 0;
    if (const HRESULT entered = EnterOn(view, {ComInterface::FolderView, ComInterface::FolderView2},
                                        "IFolderView_GetCurrentViewMode");
        entered != S_OK)
        return entered;
    const SimWindow* lv = ListView();
    *mode = FVM_ICON;
    for (const auto& [fvm, code] : kModes) {
        if (lv && lv->view == code && desktop != SimComDesktop::Hollow)
            *mode = fvm;
    }
    return S_OK;
}

HRESULT SimShellCom::SetCurrentViewMode(ComObject view, UINT mode) {
    if (const HRESULT entered = EnterOn(view, {ComInterface::FolderView, ComInterface::FolderView2},
                                        "IFolderView_SetCurrentViewMode");
        entered != S_OK)
        return entered;
    if (desktop == SimComDesktop::Hollow)
        return S_OK;
    SimWindow* lv = ListView();
    if (!lv)
        return RPC_E_DISCONNECTED;
    for (const auto& [fvm, code] : kModes) {
        if (fvm == mode) {
            listViews_.ShowView(*lv, code);
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

HRESULT SimShellCom::GetCurrentFolderFlags(ComObject view, DWORD* flags) {
    *flags = 0;
    if (const HRESULT entered =
            EnterOn(view, {ComInterface::FolderView2}, "IFolderView2_GetCurrentFolderFlags");
        entered != S_OK)
        return entered;
    if (desktop == SimComDesktop::Hollow)
        return E_NOTIMPL;
    const SimWindow* lv = ListView();
    if (!lv)
        return RPC_E_DISCONNECTED;
    *flags = (lv->remembered & win::LVS_AUTOARRANGE) ? FWF_AUTOARRANGE : 0;
    return S_OK;
}

HRESULT SimShellCom::SetCurrentFolderFlags(ComObject view, DWORD mask, DWORD flags) {
    if (const HRESULT entered =
            EnterOn(view, {ComInterface::FolderView2}, "IFolderView2_SetCurrentFolderFlags");
        entered != S_OK)
        return entered;
    if (desktop == SimComDesktop::Hollow)
        return E_NOTIMPL;
    SimWindow* lv = ListView();
    if (!lv)
        return RPC_E_DISCONNECTED;
    if (mask & FWF_AUTOARRANGE) {
        const DWORD bit = (flags & FWF_AUTOARRANGE) ? win::LVS_AUTOARRANGE : 0;
        lv->style = (lv->style & ~win::LVS_AUTOARRANGE) | bit;
        lv->remembered = (lv->remembered & ~win::LVS_AUTOARRANGE) | bit;
    }
    return S_OK;
}

HRESULT SimShellCom::GetDisplayNameOf(ComObject folder, ComItemId id, DWORD flags,
                                      std::u16string* name) {
    name->clear();
    if (const HRESULT entered =
            EnterOn(folder, {ComInterface::ShellFolder}, "IShellFolder_GetDisplayNameOf");
        entered != S_OK)
        return entered;
    (void)flags;
    const SimItem* item = ItemOf(id, "IShellFolder_GetDisplayNameOf");
    if (!item)
        return E_INVALIDARG;
    *name = item->text;
    return S_OK;
}

} // namespace pindrel::sim
