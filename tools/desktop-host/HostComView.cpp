// The desktop's folder view and its folder: IShellView and IFolderView2 on one object, and
// IShellFolder, served from the real desktop list view (lists[0]) through its own messages. The
// item ids are those of HostComIds.h. A call that needs the list view when there is none (a
// desktop without one, or one that has vanished) fails with ERROR_INVALID_WINDOW_HANDLE.
//
// A hollow view (com=hollow) answers as Wine 8's own desktop does when the chain reaches its
// explorer.exe (measured here): the view's window is S_OK and 0, ItemCount is S_OK and 0, Item
// refuses every index (E_INVALIDARG), the view mode is S_OK and only kept (starting at 0), and
// GetItemPosition, SelectAndPositionItems, GetAutoArrange and the folder flags answer E_NOTIMPL.
// It touches the list view in nothing: a folder view that answers but is not the desktop shown.
#include "HostComIds.h"
#include "HostComObject.h"
#include "HostComObjects.h"
#include "HostDesktop.h"

#include <commctrl.h>

#include <cstring>
#include <new>
#include <vector>

namespace desktophost {

namespace {

const HRESULT kNoListView = HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE);

// The desktop list view, or nullptr when there is none now.
HWND DesktopList(const ComServer& server) {
    const Host& host = server.host();
    return host.listCount > 0 && !host.lists[0].vanished ? host.lists[0].hwnd : nullptr;
}

// The list-view index a received id names: S_OK only for an id the host handed out whose item
// is still there.
HRESULT IndexOf(const ComServer& server, HWND list, LPCITEMIDLIST id, int& index) {
    if (!ItemOfId(id, index) || !server.HandedOut(index) || index >= ItemCount(list))
        return E_INVALIDARG;
    return S_OK;
}

// FOLDERVIEWMODE against the list view's own views.
constexpr struct {
    UINT mode;
    int view;
} kViewModes[] = {{FVM_ICON, LV_VIEW_ICON},
                  {FVM_SMALLICON, LV_VIEW_SMALLICON},
                  {FVM_LIST, LV_VIEW_LIST},
                  {FVM_DETAILS, LV_VIEW_DETAILS}};

class Folder final : public ComObject, public IShellFolder {
  public:
    explicit Folder(ComServer& server) : ComObject(server) {}
    IUnknown* Identity() override { return static_cast<IShellFolder*>(this); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return Query(riid, ppv, {{IID_IUnknown, Identity()}, {IID_IShellFolder, Identity()}});
    }
    DESKTOPHOST_REFCOUNT

    HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, PIDLIST_RELATIVE*,
                                               ULONG*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE EnumObjects(HWND, SHCONTF, IEnumIDList**) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void**) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID,
                                            void**) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM, PCUIDLIST_RELATIVE, PCUIDLIST_RELATIVE) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE CreateViewObject(HWND, REFIID, void**) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT, PCUITEMID_CHILD_ARRAY, SFGAOF*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND, UINT, PCUITEMID_CHILD_ARRAY, REFIID, UINT*,
                                            void**) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF,
                                        PITEMID_CHILD*) override {
        return NotImplemented();
    }

    // The name shown under the icon (SHGDN_NORMAL, SHGDN_INFOLDER, either also SHGDN_FOREDITING):
    // the list-view item's whole text, as STRRET_WSTR. The desktop's items have no parsing names
    // here: E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD id, SHGDNF flags,
                                               STRRET* name) override {
        Call call(server_);
        if (!name)
            return E_POINTER;
        name->uType = STRRET_WSTR;
        name->pOleStr = nullptr;
        if ((flags & ~static_cast<SHGDNF>(SHGDN_INFOLDER | SHGDN_FOREDITING)) != 0)
            return E_NOTIMPL;
        HWND list = DesktopList(server_);
        if (!list)
            return kNoListView;
        int index = 0;
        if (HRESULT hr = IndexOf(server_, list, id, index); FAILED(hr))
            return hr;
        const std::wstring text = GetWideText(list, index);
        const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
        name->pOleStr = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
        if (!name->pOleStr)
            return E_OUTOFMEMORY;
        std::memcpy(name->pOleStr, text.c_str(), bytes);
        return S_OK;
    }
};

class View final : public ComObject, public IShellView, public IFolderView2 {
  public:
    explicit View(ComServer& server) : ComObject(server) {}
    IUnknown* Identity() override { return static_cast<IShellView*>(this); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return Query(riid, ppv,
                     {{IID_IUnknown, Identity()},
                      {IID_IOleWindow, Identity()},
                      {IID_IShellView, Identity()},
                      {IID_IFolderView, static_cast<IFolderView*>(this)},
                      {IID_IFolderView2, static_cast<IFolderView2*>(this)}});
    }
    DESKTOPHOST_REFCOUNT

    // IOleWindow: the view's window is "SHELLDLL_DefView".
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        Call call(server_);
        if (!window)
            return E_POINTER;
        *window = server_.hollow() ? nullptr : server_.host().defView;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return NotImplemented(); }

    // IShellView: nothing but the window.
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE UIActivate(UINT) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE Refresh() override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE CreateViewWindow(IShellView*, LPCFOLDERSETTINGS, IShellBrowser*,
                                               RECT*, HWND*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE DestroyViewWindow() override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE GetCurrentInfo(LPFOLDERSETTINGS) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE AddPropertySheetPages(DWORD, LPFNSVADDPROPSHEETPAGE,
                                                    LPARAM) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE SaveViewState() override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE SelectItem(PCUITEMID_CHILD, SVSIF) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE GetItemObject(UINT, REFIID, void**) override {
        return NotImplemented();
    }

    // IFolderView.
    HRESULT STDMETHODCALLTYPE GetCurrentViewMode(UINT* mode) override {
        Call call(server_);
        if (!mode)
            return E_POINTER;
        if (server_.hollow()) {
            *mode = server_.hollowMode();
            return S_OK;
        }
        HWND list = DesktopList(server_);
        if (!list)
            return kNoListView;
        const auto view = static_cast<int>(SendMessageW(list, LVM_GETVIEW, 0, 0));
        for (const auto& entry : kViewModes) {
            if (entry.view == view) {
                *mode = entry.mode;
                return S_OK;
            }
        }
        return E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE SetCurrentViewMode(UINT mode) override {
        Call call(server_);
        server_.CountViewSwitch();
        if (server_.hollow()) {
            server_.SetHollowMode(mode);
            return S_OK;
        }
        HWND list = DesktopList(server_);
        if (!list)
            return kNoListView;
        for (const auto& entry : kViewModes) {
            if (entry.mode == mode) {
                SetView(list, entry.view);
                return S_OK;
            }
        }
        return E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE GetFolder(REFIID riid, void** ppv) override {
        Call call(server_);
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        IShellFolder* folder = NewFolder(server_);
        if (!folder)
            return E_OUTOFMEMORY;
        const HRESULT hr = folder->QueryInterface(riid, ppv);
        folder->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Item(int index, PITEMID_CHILD* id) override {
        Call call(server_);
        if (!id)
            return E_POINTER;
        *id = nullptr;
        if (server_.hollow())
            return E_INVALIDARG;
        HWND list = DesktopList(server_);
        if (!list)
            return kNoListView;
        if (index < 0 || index >= desktophost::ItemCount(list) || index >= kMostItemIds)
            return E_INVALIDARG;
        *id = NewItemId(index);
        if (!*id)
            return E_OUTOFMEMORY;
        server_.HandOut(index);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ItemCount(UINT flags, int* count) override {
        Call call(server_);
        if (!count)
            return E_POINTER;
        *count = 0;
        if (server_.hollow())
            return S_OK;
        HWND list = DesktopList(server_);
        if (!list)
            return kNoListView;
        switch (flags & SVGIO_TYPE_MASK) {
        case SVGIO_ALLVIEW:
            *count = desktophost::ItemCount(list);
            return S_OK;
        case SVGIO_SELECTION:
            *count = static_cast<int>(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0));
            return S_OK;
        default:
            return E_INVALIDARG;
        }
    }
    HRESULT STDMETHODCALLTYPE Items(UINT, REFIID, void**) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE GetSelectionMarkedItem(int*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE GetFocusedItem(int*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE GetItemPosition(PCUITEMID_CHILD id, POINT* point) override {
        Call call(server_);
        if (server_.hollow())
            return E_NOTIMPL;
        if (!point)
            return E_POINTER;
        HWND list = DesktopList(server_);
        if (!list)
            return kNoListView;
        int index = 0;
        if (HRESULT hr = IndexOf(server_, list, id, index); FAILED(hr))
            return hr;
        *point = GetPosition(list, index);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSpacing(POINT*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE GetDefaultSpacing(POINT*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE GetAutoArrange() override {
        Call call(server_);
        if (server_.hollow())
            return E_NOTIMPL;
        HWND list = DesktopList(server_);
        if (!list)
            return kNoListView;
        return (GetWindowLongW(list, GWL_STYLE) & LVS_AUTOARRANGE) ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE SelectItem(int, DWORD) override { return NotImplemented(); }
    // With SVSI_POSITIONITEM, moves each item to its point. Every id is checked before anything
    // moves: one the host did not hand out, or whose item is gone, refuses the whole call.
    HRESULT STDMETHODCALLTYPE SelectAndPositionItems(UINT count, PCUITEMID_CHILD_ARRAY ids,
                                                     POINT* points, DWORD flags) override {
        Call call(server_);
        if (server_.hollow())
            return E_NOTIMPL;
        HWND list = DesktopList(server_);
        if (!list)
            return kNoListView;
        if (count > 0 && !ids)
            return E_INVALIDARG;
        std::vector<int> indexes(count);
        for (UINT i = 0; i < count; ++i) {
            if (HRESULT hr = IndexOf(server_, list, ids[i], indexes[i]); FAILED(hr))
                return hr;
        }
        if (!(flags & SVSI_POSITIONITEM))
            return S_OK;
        if (count > 0 && !points)
            return E_INVALIDARG;
        for (UINT i = 0; i < count; ++i) {
            if (!SetPosition(server_.host().lists[0], indexes[i], points[i].x, points[i].y))
                return E_FAIL;
            server_.CountMoves(1);
        }
        return S_OK;
    }

    // IFolderView2: the folder flags (FWF_DESKTOP always, FWF_AUTOARRANGE from the list view's
    // LVS_AUTOARRANGE, which is the only flag that can be set); the rest is not served.
    HRESULT STDMETHODCALLTYPE SetCurrentFolderFlags(DWORD mask, DWORD flags) override {
        Call call(server_);
        if (server_.hollow())
            return E_NOTIMPL;
        HWND list = DesktopList(server_);
        if (!list)
            return kNoListView;
        if (mask & FWF_AUTOARRANGE)
            SetAutoArrange(list, (flags & FWF_AUTOARRANGE) != 0);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCurrentFolderFlags(DWORD* flags) override {
        Call call(server_);
        if (server_.hollow())
            return E_NOTIMPL;
        if (!flags)
            return E_POINTER;
        HWND list = DesktopList(server_);
        if (!list)
            return kNoListView;
        *flags = FWF_DESKTOP;
        if (GetWindowLongW(list, GWL_STYLE) & LVS_AUTOARRANGE)
            *flags |= FWF_AUTOARRANGE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetGroupBy(REFPROPERTYKEY, BOOL) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE GetGroupBy(PROPERTYKEY*, BOOL*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE SetViewProperty(PCUITEMID_CHILD, REFPROPERTYKEY,
                                              REFPROPVARIANT) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE GetViewProperty(PCUITEMID_CHILD, REFPROPERTYKEY,
                                              PROPVARIANT*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE SetTileViewProperties(PCUITEMID_CHILD, LPCWSTR) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE SetExtendedTileViewProperties(PCUITEMID_CHILD, LPCWSTR) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE SetText(FVTEXTTYPE, LPCWSTR) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE GetSortColumnCount(int*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE SetSortColumns(const SORTCOLUMN*, int) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE GetSortColumns(SORTCOLUMN*, int) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE GetItem(int, REFIID, void**) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE GetVisibleItem(int, BOOL, int*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE GetSelectedItem(int, int*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE GetSelection(BOOL, IShellItemArray**) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE GetSelectionState(PCUITEMID_CHILD, DWORD*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE InvokeVerbOnSelection(LPCSTR) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE SetViewModeAndIconSize(FOLDERVIEWMODE, int) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE GetViewModeAndIconSize(FOLDERVIEWMODE*, int*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE SetGroupSubsetCount(UINT) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE GetGroupSubsetCount(UINT*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE SetRedraw(BOOL) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE IsMoveInSameFolder() override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE DoRename() override { return NotImplemented(); }
};

} // namespace

IShellView* NewView(ComServer& server) {
    return new (std::nothrow) View(server);
}

IShellFolder* NewFolder(ComServer& server) {
    return new (std::nothrow) Folder(server);
}

} // namespace desktophost
