// The shell's window list, the desktop's window in it and the desktop's browser: the first links
// of the chain that leads a client to the desktop's folder view (HostComView.cpp).
#include "HostComObject.h"
#include "HostComObjects.h"
#include "HostDesktop.h"

#include <shlguid.h>
#include <shlobj.h>

#include <new>

namespace desktophost {

namespace {

// IDispatch methods for objects whose properties nobody asks by name.
#define DESKTOPHOST_NO_AUTOMATION                                                                  \
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {                             \
        Call call(server_);                                                                        \
        if (!count)                                                                                \
            return E_POINTER;                                                                      \
        *count = 0;                                                                                \
        return S_OK;                                                                               \
    }                                                                                              \
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {                      \
        return NotImplemented();                                                                   \
    }                                                                                              \
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {     \
        return NotImplemented();                                                                   \
    }                                                                                              \
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,            \
                                     EXCEPINFO*, UINT*) override {                                 \
        return NotImplemented();                                                                   \
    }

class ShellWindows final : public ComObject, public IShellWindows {
  public:
    explicit ShellWindows(ComServer& server) : ComObject(server) {}
    IUnknown* Identity() override { return static_cast<IShellWindows*>(this); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return Query(riid, ppv,
                     {{IID_IUnknown, Identity()},
                      {IID_IDispatch, Identity()},
                      {IID_IShellWindows, Identity()}});
    }
    DESKTOPHOST_REFCOUNT
    DESKTOPHOST_NO_AUTOMATION

    HRESULT STDMETHODCALLTYPE get_Count(LONG*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE Item(VARIANT, IDispatch**) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown**) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE Register(IDispatch*, LONG, int, LONG*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE RegisterPending(LONG, VARIANT*, VARIANT*, int, LONG*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE Revoke(LONG) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE OnNavigate(LONG, VARIANT*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE OnActivated(LONG, VARIANT_BOOL) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE OnCreated(LONG, IUnknown*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE ProcessAttachDetach(VARIANT_BOOL) override {
        return NotImplemented();
    }

    // Only the desktop is found: the location CSIDL_DESKTOP (as VT_I4) in the class SWC_DESKTOP
    // gives the desktop's top window (Progman, or the top-level shell view when there is none;
    // a hollow one gives Windows' desktop window, as Wine's explorer does) and, asked with
    // SWFO_NEEDDISPATCH, its window object. Anything else is not found: S_FALSE.
    HRESULT STDMETHODCALLTYPE FindWindowSW(VARIANT* location, VARIANT*, int windowClass,
                                           LONG* window, int options,
                                           IDispatch** dispatch) override {
        Call call(server_);
        if (window)
            *window = 0;
        if (dispatch)
            *dispatch = nullptr;
        if (!location || V_VT(location) != VT_I4 || V_I4(location) != CSIDL_DESKTOP ||
            windowClass != SWC_DESKTOP)
            return S_FALSE;
        if (!window || ((options & SWFO_NEEDDISPATCH) && !dispatch))
            return E_POINTER;
        *window = HandleToLong(server_.hollow() ? GetDesktopWindow() : server_.host().top);
        if (options & SWFO_NEEDDISPATCH) {
            *dispatch = NewDesktopWindow(server_);
            if (!*dispatch)
                return E_OUTOFMEMORY;
        }
        return S_OK;
    }
};

// The desktop's entry in the window list: an automation object whose services lead to the
// desktop's browser.
class DesktopWindow final : public ComObject, public IDispatch, public IServiceProvider {
  public:
    explicit DesktopWindow(ComServer& server) : ComObject(server) {}
    IUnknown* Identity() override { return static_cast<IDispatch*>(this); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return Query(riid, ppv,
                     {{IID_IUnknown, Identity()},
                      {IID_IDispatch, Identity()},
                      {IID_IServiceProvider, static_cast<IServiceProvider*>(this)}});
    }
    DESKTOPHOST_REFCOUNT
    DESKTOPHOST_NO_AUTOMATION

    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** ppv) override {
        Call call(server_);
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualGUID(service, SID_STopLevelBrowser))
            return E_NOINTERFACE;
        IShellBrowser* browser = NewBrowser(server_);
        if (!browser)
            return E_OUTOFMEMORY;
        const HRESULT hr = browser->QueryInterface(riid, ppv);
        browser->Release();
        return hr;
    }
};

class Browser final : public ComObject, public IShellBrowser, public IServiceProvider {
  public:
    explicit Browser(ComServer& server) : ComObject(server) {}
    IUnknown* Identity() override { return static_cast<IShellBrowser*>(this); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return Query(riid, ppv,
                     {{IID_IUnknown, Identity()},
                      {IID_IOleWindow, Identity()},
                      {IID_IShellBrowser, Identity()},
                      {IID_IServiceProvider, static_cast<IServiceProvider*>(this)}});
    }
    DESKTOPHOST_REFCOUNT

    // IOleWindow: the browser's window is the desktop's top window; a hollow browser has none
    // (E_NOTIMPL, as Wine's).
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        Call call(server_);
        if (server_.hollow())
            return E_NOTIMPL;
        if (!window)
            return E_POINTER;
        *window = server_.host().top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return NotImplemented(); }

    HRESULT STDMETHODCALLTYPE InsertMenusSB(HMENU, LPOLEMENUGROUPWIDTHS) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE SetMenuSB(HMENU, HOLEMENU, HWND) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE RemoveMenusSB(HMENU) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE SetStatusTextSB(LPCWSTR) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE EnableModelessSB(BOOL) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE TranslateAcceleratorSB(MSG*, WORD) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE BrowseObject(PCUIDLIST_RELATIVE, UINT) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE GetViewStateStream(DWORD, IStream**) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE GetControlWindow(UINT, HWND*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE SendControlMsg(UINT, UINT, WPARAM, LPARAM, LRESULT*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE OnViewWindowActive(IShellView*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE SetToolbarItems(LPTBBUTTONSB, UINT, UINT) override {
        return NotImplemented();
    }

    HRESULT STDMETHODCALLTYPE QueryActiveShellView(IShellView** view) override {
        Call call(server_);
        if (!view)
            return E_POINTER;
        *view = NewView(server_);
        return *view ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** ppv) override {
        Call call(server_);
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualGUID(service, SID_STopLevelBrowser))
            return E_NOINTERFACE;
        return QueryInterface(riid, ppv);
    }
};

} // namespace

IShellWindows* NewShellWindows(ComServer& server) {
    return new (std::nothrow) ShellWindows(server);
}

IDispatch* NewDesktopWindow(ComServer& server) {
    return new (std::nothrow) DesktopWindow(server);
}

IShellBrowser* NewBrowser(ComServer& server) {
    return new (std::nothrow) Browser(server);
}

} // namespace desktophost
