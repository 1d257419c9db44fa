// The shell's COM chain over the simulated desktop: IShellWindows finds the desktop, whose
// browser's active shell view is an IShellView + IFolderView2 over the desktop's list view (the
// same items, names and positions as the list view's messages give), with an IShellFolder that
// names the items. Bookkeeping (pointers, item ids) is SimComObjects'.
//
// As on Windows the calls need COM initialised on the calling thread (CO_E_NOTINITIALIZED and a
// fault otherwise). A test chooses the desktop the chain finds, makes any method fail with an
// HRESULT of its choice, makes the server go away after n calls (every later call fails, Release
// still drops the pointer on the program's side, as proxies do), or stop answering after n calls
// (the call waits the time limit on the session's clock and fails with RPC_E_TIMEOUT, every later
// one at once: what the native side's worker thread gives).
#pragma once

#include "platform/ShellComApi.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimComObjects.h"
#include "platform/sim/SimListView.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimWindows.h"

#include <initializer_list>
#include <map>
#include <optional>
#include <string>

namespace pindrel::sim {

// What the chain finds as the desktop.
enum class SimComDesktop {
    Shown,        // the desktop the windows show: its list view, through the folder view
    Missing,      // no desktop: FindWindowSW answers S_FALSE
    Hollow,       // Wine's own: S_OK up to the folder view, a view with no window, no items,
                  // E_NOTIMPL for positions and folder flags
    Unregistered, // no ShellWindows class at all: CoCreateInstance fails
};

class SimShellCom {
  public:
    SimShellCom(SimWindows& windows, const SimListView& listViews, SimClock& clock, SimLog& log,
                std::uint64_t answerLimitMs)
        : windows_(windows), listViews_(listViews), clock_(clock), log_(log), objects_(log),
          answerLimitMs_(answerLimitMs) {}

    SimComDesktop desktop = SimComDesktop::Shown;
    // From the (after + 1)-th call of `method` on, it fails with `hr`.
    void FailCall(const std::string& method, HRESULT hr, int after = 0);
    void LoseServerAfter(int calls, HRESULT hr);
    void HangAfter(int calls);

    int LivePointers() const { return objects_.LivePointers(); }
    int LiveItemIds() const { return objects_.LiveItemIds(); }
    int Initialized() const { return initialized_; }

    HRESULT CoInitializeEx(DWORD coInit);
    void CoUninitialize();
    HRESULT CoCreateInstance(ComClass clsid, ComInterface iid, ComObject* object);
    HRESULT QueryInterface(ComObject object, ComInterface iid, ComObject* other);
    std::uint32_t Release(ComObject object);
    void CoTaskMemFree(ComItemId id);
    HRESULT FindWindowSW(ComObject shellWindows, std::int32_t csidl, std::int32_t swClass,
                         DWORD options, Hwnd* window, ComObject* dispatch);
    HRESULT QueryService(ComObject provider, ComService service, ComInterface iid,
                         ComObject* object);
    HRESULT QueryActiveShellView(ComObject browser, ComObject* view);
    HRESULT GetWindow(ComObject oleWindow, Hwnd* window);
    HRESULT ItemCount(ComObject view, UINT flags, std::int32_t* count);
    HRESULT Item(ComObject view, std::int32_t index, ComItemId* id);
    HRESULT GetFolder(ComObject view, ComInterface iid, ComObject* folder);
    HRESULT GetItemPosition(ComObject view, ComItemId id, Point* point);
    HRESULT SelectAndPositionItems(ComObject view, UINT count, const ComItemId* ids,
                                   const Point* points, DWORD flags);
    HRESULT GetCurrentViewMode(ComObject view, UINT* mode);
    HRESULT SetCurrentViewMode(ComObject view, UINT mode);
    HRESULT GetCurrentFolderFlags(ComObject view, DWORD* flags);
    HRESULT SetCurrentFolderFlags(ComObject view, DWORD mask, DWORD flags);
    HRESULT GetDisplayNameOf(ComObject folder, ComItemId id, DWORD flags, std::u16string* name);

  private:
    // What stops a call before it reaches the object: COM not initialised, a failure the test
    // chose, a server gone or hung. S_OK when the call goes on.
    HRESULT Enter(const char* method);
    // Enter, then the object must be alive and one of `interfaces` (a fault and E_FAIL if not).
    HRESULT EnterOn(ComObject object, std::initializer_list<ComInterface> interfaces,
                    const char* method);
    // The list view the folder view shows; nullptr once it is gone.
    SimWindow* ListView();
    // The item an id names, in the desktop's list view; nullptr when it is gone.
    SimItem* ItemOf(ComItemId id, const char* method);

    SimWindows& windows_;
    const SimListView& listViews_;
    SimClock& clock_;
    SimLog& log_;
    SimComObjects objects_;
    std::uint64_t answerLimitMs_;
    int initialized_ = 0;
    std::map<std::string, std::pair<HRESULT, int>> failures_; // method -> (hr, calls before)
    std::optional<std::pair<int, HRESULT>> lost_;             // calls before, then the error
    std::optional<int> hangAfter_;
    bool hung_ = false;
};

} // namespace pindrel::sim
