// NativeWindowsApi's COM calls. Each is a thin pass-through to the shell's interface, made on a
// worker thread (a multithreaded apartment of its own) and waited for at most kAnswerLimitMs: a
// shell that does not answer cannot hold the program. Once a call has not ended in time the
// worker is abandoned where it waits, and every later call fails at once with RPC_E_TIMEOUT
// (Release and CoTaskMemFree then do nothing: their objects belong to the abandoned apartment).
// The calls' results live in memory the worker shares with its caller, so that an abandoned call
// that ends after all writes nowhere it should not.
#include "platform/native/NativeWindowsApi.h"

#include "DesktopRequest.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// <windows.h> and the shell's headers come after the seam headers: they define macros with the
// names of its constants.
#include <windows.h>

#include <exdisp.h>
#include <servprov.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>

namespace pindrel {

namespace {

// The worker thread and its one call in flight.
class ComWorker {
  public:
    static ComWorker& Instance() {
        static ComWorker worker;
        return worker;
    }

    // Runs `work` on the worker; false when it did not end within the limit (or the worker was
    // abandoned before), in which case `work` may still run, later, on its own.
    bool Run(std::function<void()> work) {
        if (abandoned_ || !Start()) {
            return false;
        }
        job_ = std::move(work);
        ::ResetEvent(done_);
        ::SetEvent(request_);
        if (::WaitForSingleObject(done_, kAnswerLimitMs) != WAIT_OBJECT_0) {
            abandoned_ = true;
            return false;
        }
        return true;
    }

  private:
    bool Start() {
        if (thread_ == nullptr) {
            request_ = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
            done_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
            if (request_ && done_) {
                thread_ = ::CreateThread(nullptr, 0, Main, this, 0, nullptr);
            }
        }
        return thread_ != nullptr;
    }

    static ::DWORD WINAPI Main(LPVOID parameter) {
        auto* self = static_cast<ComWorker*>(parameter);
        for (;;) {
            ::WaitForSingleObject(self->request_, INFINITE);
            std::function<void()> job = std::move(self->job_);
            job();
            ::SetEvent(self->done_);
        }
    }

    HANDLE thread_ = nullptr;
    HANDLE request_ = nullptr;
    HANDLE done_ = nullptr;
    std::function<void()> job_;
    bool abandoned_ = false;
};

// Runs `call` on the worker with a result of its own: call(result) gives the HRESULT and fills
// the result, which is copied to `out` only when the call ended in time.
template <typename Result, typename Call> HRESULT OnWorker(Result* out, Call call) {
    auto state = std::make_shared<std::pair<::HRESULT, Result>>(E_FAIL, Result{});
    if (!ComWorker::Instance().Run([state, call] { state->first = call(state->second); })) {
        return static_cast<HRESULT>(RPC_E_TIMEOUT); // the same as com::RPC_E_TIMEOUT
    }
    if (out != nullptr) {
        *out = state->second;
    }
    return static_cast<HRESULT>(state->first);
}

template <typename Interface> Interface* As(ComObject object) {
    return reinterpret_cast<Interface*>(
        static_cast<std::uintptr_t>(static_cast<std::uint64_t>(object)));
}

ComObject FromPointer(void* pointer) {
    return ComObject{static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(pointer))};
}

PCUITEMID_CHILD AsId(ComItemId id) {
    return reinterpret_cast<PCUITEMID_CHILD>(
        static_cast<std::uintptr_t>(static_cast<std::uint64_t>(id)));
}

ComItemId FromId(PITEMID_CHILD id) {
    return ComItemId{static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(id))};
}

const IID& IidOf(ComInterface iid) {
    switch (iid) {
    case ComInterface::ShellWindows:
        return IID_IShellWindows;
    case ComInterface::Dispatch:
        return IID_IDispatch;
    case ComInterface::ServiceProvider:
        return IID_IServiceProvider;
    case ComInterface::ShellBrowser:
        return IID_IShellBrowser;
    case ComInterface::ShellView:
        return IID_IShellView;
    case ComInterface::FolderView:
        return IID_IFolderView;
    case ComInterface::FolderView2:
        return IID_IFolderView2;
    case ComInterface::ShellFolder:
        return IID_IShellFolder;
    case ComInterface::Unknown:
        break;
    }
    return IID_IUnknown;
}

// A window handle carries 32 bits of meaning (a 64-bit process sees it sign-extended).
Hwnd ToWindow(std::intptr_t value) {
    return Hwnd{static_cast<std::uint32_t>(value)};
}

} // namespace

HRESULT NativeWindowsApi::CoInitializeEx(DWORD coInit) {
    return OnWorker(static_cast<int*>(nullptr),
                    [coInit](int&) { return ::CoInitializeEx(nullptr, coInit); });
}

void NativeWindowsApi::CoUninitialize() {
    OnWorker(static_cast<int*>(nullptr), [](int&) {
        ::CoUninitialize();
        return S_OK;
    });
}

HRESULT NativeWindowsApi::CoCreateInstance(ComClass clsid, DWORD clsContext, ComInterface iid,
                                           ComObject* object) {
    (void)clsid; // the one class the program creates
    return OnWorker(object, [clsContext, iid](ComObject& result) {
        void* pointer = nullptr;
        const ::HRESULT hr =
            ::CoCreateInstance(CLSID_ShellWindows, nullptr, clsContext, IidOf(iid), &pointer);
        result = FromPointer(pointer);
        return hr;
    });
}

HRESULT NativeWindowsApi::IUnknown_QueryInterface(ComObject object, ComInterface iid,
                                                  ComObject* other) {
    return OnWorker(other, [object, iid](ComObject& result) {
        void* pointer = nullptr;
        const ::HRESULT hr = As<IUnknown>(object)->QueryInterface(IidOf(iid), &pointer);
        result = FromPointer(pointer);
        return hr;
    });
}

std::uint32_t NativeWindowsApi::IUnknown_Release(ComObject object) {
    ULONG left = 0;
    OnWorker(&left, [object](ULONG& result) {
        result = As<IUnknown>(object)->Release();
        return S_OK;
    });
    return static_cast<std::uint32_t>(left);
}

void NativeWindowsApi::CoTaskMemFree(ComItemId id) {
    OnWorker(static_cast<int*>(nullptr), [id](int&) {
        ::CoTaskMemFree(const_cast<void*>(static_cast<const void*>(AsId(id))));
        return S_OK;
    });
}

HRESULT NativeWindowsApi::IShellWindows_FindWindowSW(ComObject shellWindows, std::int32_t csidl,
                                                     std::int32_t swClass, DWORD options,
                                                     Hwnd* window, ComObject* dispatch) {
    std::pair<Hwnd, ComObject> found{};
    const HRESULT hr = OnWorker(&found, [=](std::pair<Hwnd, ComObject>& result) {
        VARIANT location;
        ::VariantInit(&location);
        location.vt = VT_I4;
        location.lVal = csidl;
        VARIANT root;
        ::VariantInit(&root);
        long hwnd = 0;
        IDispatch* object = nullptr;
        const ::HRESULT answer = As<IShellWindows>(shellWindows)
                                     ->FindWindowSW(&location, &root, swClass, &hwnd,
                                                    static_cast<int>(options), &object);
        result = {ToWindow(hwnd), FromPointer(object)};
        return answer;
    });
    *window = found.first;
    *dispatch = found.second;
    return hr;
}

HRESULT NativeWindowsApi::IServiceProvider_QueryService(ComObject provider, ComService service,
                                                        ComInterface iid, ComObject* object) {
    (void)service; // the one service the program asks for
    return OnWorker(object, [provider, iid](ComObject& result) {
        void* pointer = nullptr;
        const ::HRESULT hr = As<IServiceProvider>(provider)->QueryService(SID_STopLevelBrowser,
                                                                          IidOf(iid), &pointer);
        result = FromPointer(pointer);
        return hr;
    });
}

HRESULT NativeWindowsApi::IShellBrowser_QueryActiveShellView(ComObject browser, ComObject* view) {
    return OnWorker(view, [browser](ComObject& result) {
        IShellView* pointer = nullptr;
        const ::HRESULT hr = As<IShellBrowser>(browser)->QueryActiveShellView(&pointer);
        result = FromPointer(pointer);
        return hr;
    });
}

HRESULT NativeWindowsApi::IOleWindow_GetWindow(ComObject oleWindow, Hwnd* window) {
    return OnWorker(window, [oleWindow](Hwnd& result) {
        HWND hwnd = nullptr;
        const ::HRESULT hr = As<IOleWindow>(oleWindow)->GetWindow(&hwnd);
        result = ToWindow(reinterpret_cast<std::intptr_t>(hwnd));
        return hr;
    });
}

HRESULT NativeWindowsApi::IFolderView_ItemCount(ComObject view, UINT flags, std::int32_t* count) {
    return OnWorker(count, [view, flags](std::int32_t& result) {
        int items = 0;
        const ::HRESULT hr = As<IFolderView>(view)->ItemCount(flags, &items);
        result = items;
        return hr;
    });
}

HRESULT NativeWindowsApi::IFolderView_Item(ComObject view, std::int32_t index, ComItemId* id) {
    return OnWorker(id, [view, index](ComItemId& result) {
        PITEMID_CHILD child = nullptr;
        const ::HRESULT hr = As<IFolderView>(view)->Item(index, &child);
        result = FromId(child);
        return hr;
    });
}

HRESULT NativeWindowsApi::IFolderView_GetFolder(ComObject view, ComInterface iid,
                                                ComObject* folder) {
    return OnWorker(folder, [view, iid](ComObject& result) {
        void* pointer = nullptr;
        const ::HRESULT hr = As<IFolderView>(view)->GetFolder(IidOf(iid), &pointer);
        result = FromPointer(pointer);
        return hr;
    });
}

HRESULT NativeWindowsApi::IFolderView_GetItemPosition(ComObject view, ComItemId id, Point* point) {
    return OnWorker(point, [view, id](Point& result) {
        POINT position{};
        const ::HRESULT hr = As<IFolderView>(view)->GetItemPosition(AsId(id), &position);
        result =
            Point{static_cast<std::int32_t>(position.x), static_cast<std::int32_t>(position.y)};
        return hr;
    });
}

HRESULT NativeWindowsApi::IFolderView_SelectAndPositionItems(ComObject view, UINT count,
                                                             const ComItemId* ids,
                                                             const Point* points, DWORD flags) {
    // The worker's own copies: the caller's arrays are gone if it stops waiting.
    std::vector<PCUITEMID_CHILD> children;
    std::vector<POINT> positions;
    for (UINT i = 0; i < count; ++i) {
        children.push_back(AsId(ids[i]));
        positions.push_back(POINT{points[i].x, points[i].y});
    }
    return OnWorker(static_cast<int*>(nullptr), [=](int&) {
        std::vector<POINT> at = positions;
        std::vector<PCUITEMID_CHILD> items = children;
        return As<IFolderView>(view)->SelectAndPositionItems(count, items.data(), at.data(), flags);
    });
}

HRESULT NativeWindowsApi::IFolderView_GetCurrentViewMode(ComObject view, UINT* mode) {
    return OnWorker(mode, [view](UINT& result) {
        ::UINT current = 0;
        const ::HRESULT hr = As<IFolderView>(view)->GetCurrentViewMode(&current);
        result = current;
        return hr;
    });
}

HRESULT NativeWindowsApi::IFolderView_SetCurrentViewMode(ComObject view, UINT mode) {
    return OnWorker(static_cast<int*>(nullptr),
                    [view, mode](int&) { return As<IFolderView>(view)->SetCurrentViewMode(mode); });
}

HRESULT NativeWindowsApi::IFolderView2_GetCurrentFolderFlags(ComObject view, DWORD* flags) {
    return OnWorker(flags, [view](DWORD& result) {
        ::DWORD current = 0;
        const ::HRESULT hr = As<IFolderView2>(view)->GetCurrentFolderFlags(&current);
        result = static_cast<DWORD>(current);
        return hr;
    });
}

HRESULT NativeWindowsApi::IFolderView2_SetCurrentFolderFlags(ComObject view, DWORD mask,
                                                             DWORD flags) {
    return OnWorker(static_cast<int*>(nullptr), [view, mask, flags](int&) {
        return As<IFolderView2>(view)->SetCurrentFolderFlags(mask, flags);
    });
}

HRESULT NativeWindowsApi::IShellFolder_GetDisplayNameOf(ComObject folder, ComItemId id, DWORD flags,
                                                        std::u16string* name) {
    return OnWorker(name, [folder, id, flags](std::u16string& result) {
        STRRET text{};
        ::HRESULT hr = As<IShellFolder>(folder)->GetDisplayNameOf(AsId(id), flags, &text);
        if (SUCCEEDED(hr)) {
            // The item id is passed on as it came (STRRET_OFFSET points into it), never read here.
            LPWSTR wide = nullptr;
            hr = ::StrRetToStrW(&text, AsId(id), &wide);
            if (SUCCEEDED(hr) && wide != nullptr) {
                result.assign(reinterpret_cast<const char16_t*>(wide));
                ::CoTaskMemFree(wide);
            }
        }
        return hr;
    });
}

} // namespace pindrel
