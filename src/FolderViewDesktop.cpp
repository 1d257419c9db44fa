#include "FolderViewDesktop.h"

#include "AnsiText.h"
#include "DesktopRequest.h"
#include "ListViewDesktop.h"

#include <algorithm>
#include <cstdio>

namespace pindrel {

namespace {

using namespace pindrel::com;

// The view-mode codes and the folder view's modes for them.
constexpr UINT kModes[] = {FVM_ICON, FVM_DETAILS, FVM_SMALLICON, FVM_LIST};

// The names the list view gives are cut at 40 UTF-16 units; the folder view's are cut alike, so
// that both transports write the same layout.
constexpr std::size_t kNameUnits = 40;

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

Failure NoAnswer() {
    return Failure(errors::kNoAnswer,
                   "The desktop did not answer within " + std::to_string(kAnswerLimitMs / 1000) +
                       " seconds",
                   kDesktopWindows);
}

// What the chain to the desktop's view obtained so far; each is released when it goes.
class Chain {
  public:
    explicit Chain(WindowsApi& api) : api_(api) {}
    ~Chain() {
        for (auto it = held_.rbegin(); it != held_.rend(); ++it) {
            api_.IUnknown_Release(*it);
        }
    }
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;

    // Whether the step succeeded with an object; throws at once for a server that does not
    // answer. (`object` by reference: it is read once the call that fills it has been made.)
    bool Got(HRESULT hr, const ComObject& object) {
        if (object != ComObject{0}) {
            held_.push_back(object);
        }
        if (hr == RPC_E_TIMEOUT) {
            throw NoAnswer();
        }
        return hr == S_OK && object != ComObject{0};
    }
    // Takes `object` out of the chain: its caller releases it.
    ComObject Keep(ComObject object) {
        held_.erase(std::remove(held_.begin(), held_.end(), object), held_.end());
        return object;
    }

  private:
    WindowsApi& api_;
    std::vector<ComObject> held_;
};

} // namespace

std::unique_ptr<FolderViewDesktop> FolderViewDesktop::Connect(WindowsApi& api, Hwnd listView,
                                                              Hwnd shellView) {
    const HRESULT init = api.CoInitializeEx(COINIT_MULTITHREADED);
    if (!Succeeded(init)) {
        return nullptr;
    }
    try {
        Chain chain(api);
        ComObject windows{}, dispatch{}, provider{}, browser{}, view{}, folderView{}, view2{};
        Hwnd desktop{}, window{};
        if (chain.Got(api.CoCreateInstance(ComClass::ShellWindows, CLSCTX_ALL,
                                           ComInterface::ShellWindows, &windows),
                      windows) &&
            chain.Got(api.IShellWindows_FindWindowSW(windows, CSIDL_DESKTOP, SWC_DESKTOP,
                                                     SWFO_NEEDDISPATCH, &desktop, &dispatch),
                      dispatch) &&
            chain.Got(
                api.IUnknown_QueryInterface(dispatch, ComInterface::ServiceProvider, &provider),
                provider) &&
            chain.Got(api.IServiceProvider_QueryService(provider, ComService::TopLevelBrowser,
                                                        ComInterface::ShellBrowser, &browser),
                      browser) &&
            chain.Got(api.IShellBrowser_QueryActiveShellView(browser, &view), view)) {
            // A view that answers but is not the desktop the user sees (Wine's own, with no
            // window and no items, while a stand-in shell runs) is not taken for an empty one.
            const HRESULT hr = api.IOleWindow_GetWindow(view, &window);
            chain.Got(hr, ComObject{0});
            if (hr == S_OK && window == shellView && shellView != Hwnd{0} &&
                chain.Got(api.IUnknown_QueryInterface(view, ComInterface::FolderView, &folderView),
                          folderView)) {
                if (!chain.Got(api.IUnknown_QueryInterface(view, ComInterface::FolderView2, &view2),
                               view2)) {
                    view2 = ComObject{0}; // before Vista's IFolderView2: the list view's style
                }
                return std::unique_ptr<FolderViewDesktop>(new FolderViewDesktop(
                    api, listView, chain.Keep(folderView),
                    view2 != ComObject{0} ? chain.Keep(view2) : ComObject{0}));
            }
        }
    } catch (...) {
        api.CoUninitialize();
        throw;
    }
    api.CoUninitialize();
    return nullptr;
}

FolderViewDesktop::FolderViewDesktop(WindowsApi& api, Hwnd listView, ComObject view,
                                     ComObject view2)
    : api_(api), listView_(listView), view_(view), view2_(view2) {}

FolderViewDesktop::~FolderViewDesktop() {
    for (const ComItemId id : ids_) {
        api_.CoTaskMemFree(id);
    }
    for (const ComObject object : {folder_, view2_, view_}) {
        if (object != ComObject{0}) {
            api_.IUnknown_Release(object);
        }
    }
    api_.CoUninitialize();
}

void FolderViewDesktop::Check(HRESULT hr, const char* call) {
    if (hr == RPC_E_TIMEOUT) {
        NotAnswering();
        throw NoAnswer();
    }
    if (!Succeeded(hr)) {
        throw Failure(errors::kAutomation,
                      std::string("The desktop's folder view failed (") + call + ": " + Hex(hr) +
                          ")",
                      kDesktopWindows);
    }
}

// The errors of COM's transport (FACILITY_RPC, and RPC_S_* as Win32 errors: the server is gone or
// unknown) as opposed to an answer of the view's own.
bool ServerFailed(HRESULT hr) {
    const auto value = static_cast<std::uint32_t>(hr);
    const std::uint32_t code = value & 0xFFFF;
    return (value & 0xFFFF0000u) == 0x80010000u ||
           ((value & 0xFFFF0000u) == 0x80070000u && code >= 1700 && code < 2000);
}

void FolderViewDesktop::CheckChange(HRESULT hr, const char* call) {
    if (Succeeded(hr) || !ServerFailed(hr)) {
        return;
    }
    Check(hr, call);
}

ComItemId FolderViewDesktop::Id(std::int32_t index) {
    const auto at = static_cast<std::size_t>(index);
    if (ids_.size() <= at) {
        ids_.resize(at + 1, ComItemId{0});
    }
    if (ids_[at] == ComItemId{0}) {
        Check(api_.IFolderView_Item(view_, index, &ids_[at]), "IFolderView::Item");
    }
    return ids_[at];
}

bool FolderViewDesktop::IsAutoArrangeOn() {
    DWORD flags = 0;
    if (view2_ != ComObject{0}) {
        const HRESULT hr = api_.IFolderView2_GetCurrentFolderFlags(view2_, &flags);
        if (hr == RPC_E_TIMEOUT) {
            Check(hr, "IFolderView2::GetCurrentFolderFlags");
        }
        if (Succeeded(hr)) {
            return (flags & FWF_AUTOARRANGE) != 0;
        }
    }
    return modPindrel::IsAutoArrangeOn(api_, listView_);
}

// Explorer's own command, which it handles itself, so that it knows of the change; posted for it
// to take in turn when it did not answer.
void FolderViewDesktop::ToggleAutoArrange() {
    if (!Answering()) {
        api_.PostMessageA(api_.GetParent(listView_), win::WM_COMMAND, win::kShellAutoArrangeCommand,
                          0);
        return;
    }
    try {
        modPindrel::ToggleAutoArrange(api_, listView_);
    } catch (const Failure& failure) {
        if (IsNoAnswer(failure)) {
            NotAnswering();
        }
        throw;
    }
}

std::int32_t FolderViewDesktop::GetItemCount() {
    std::int32_t count = 0;
    Check(api_.IFolderView_ItemCount(view_, SVGIO_ALLVIEW, &count), "IFolderView::ItemCount");
    if (count < 0 || count > kMostItems) {
        throw CountRefused(count);
    }
    return count;
}

Reach FolderViewDesktop::ReadItemPositions(std::int32_t count, std::vector<Point>& table) {
    for (std::int32_t i = 0; i < count; ++i) {
        Point point;
        Check(api_.IFolderView_GetItemPosition(view_, Id(i), &point),
              "IFolderView::GetItemPosition");
        table[static_cast<std::size_t>(i)] = point;
    }
    return Reach::Reached;
}

ItemNames FolderViewDesktop::ReadItemNames(std::int32_t count) {
    ItemNames result;
    if (count <= 0) {
        return result;
    }
    if (folder_ == ComObject{0}) {
        Check(api_.IFolderView_GetFolder(view_, ComInterface::ShellFolder, &folder_),
              "IFolderView::GetFolder");
    }
    for (std::int32_t i = 0; i < count; ++i) {
        std::u16string name;
        Check(api_.IShellFolder_GetDisplayNameOf(folder_, Id(i), SHGDN_INFOLDER, &name),
              "IShellFolder::GetDisplayNameOf");
        name = modPindrel::TrimAtNul(name).substr(0, kNameUnits);
        result.names.push_back(WideToAnsi(api_, name));
    }
    return result;
}

void FolderViewDesktop::MoveItems(const std::vector<ItemMove>& moves) {
    if (moves.empty()) {
        return;
    }
    std::vector<ComItemId> ids;
    std::vector<Point> points;
    for (const ItemMove& move : moves) {
        ids.push_back(Id(move.index));
        points.push_back(move.to);
    }
    CheckChange(api_.IFolderView_SelectAndPositionItems(view_, static_cast<UINT>(ids.size()),
                                                        ids.data(), points.data(),
                                                        SVSI_POSITIONITEM),
                "IFolderView::SelectAndPositionItems");
}

void FolderViewDesktop::SetViewMode(DWORD viewCode) {
    CheckChange(api_.IFolderView_SetCurrentViewMode(view_, kModes[viewCode & 3]),
                "IFolderView::SetCurrentViewMode");
}

} // namespace pindrel
