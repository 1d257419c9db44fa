// hostctl's walk through the shell's chain to the desktop's folder view, and what it does there.
#include "HostComClient.h"

#include "HostComIds.h"

#include <windows.h>

#include <exdisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <memory>
#include <string>

namespace hostcom {

namespace {

// An interface pointer released when it goes out of scope (unless leaked).
template <typename T> class Ref {
  public:
    Ref() = default;
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() {
        if (p_ && !leaked_)
            p_->Release();
    }
    T** put() { return &p_; }
    void** putVoid() { return reinterpret_cast<void**>(&p_); }
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    void Leak() { leaked_ = true; }

  private:
    T* p_ = nullptr;
    bool leaked_ = false;
};

// The apartment of this thread, left at the end of the command (after every Ref of it), unless
// it is kept: leaving it would release what a leaking client keeps.
struct Apartment {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool keep = false;
    ~Apartment() {
        if (SUCCEEDED(hr) && !keep)
            CoUninitialize();
    }
};

// Says which step failed; true when it did. S_FALSE is a failure where the step must find
// something.
bool Failed(const char* step, HRESULT hr, bool falseFails = false) {
    if (SUCCEEDED(hr) && !(falseFails && hr == S_FALSE))
        return false;
    std::fprintf(stderr, "hostctl: %s failed: 0x%08lX\n", step, static_cast<unsigned long>(hr));
    return true;
}

struct Chain {
    Ref<IShellWindows> windows;
    Ref<IDispatch> dispatch;
    Ref<IServiceProvider> services;
    Ref<IShellBrowser> browser;
    Ref<IShellView> view;
    Ref<IFolderView2> folderView;
    LONG window = 0;
    HWND viewWindow = nullptr;
};

// The chain as Pindrel walks it, up to the folder view.
bool Walk(Chain& c) {
    if (Failed("CoCreateInstance(CLSID_ShellWindows)",
               CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows,
                                c.windows.putVoid())))
        return false;
    VARIANT location, root;
    VariantInit(&location);
    VariantInit(&root);
    V_VT(&location) = VT_I4;
    V_I4(&location) = CSIDL_DESKTOP;
    if (Failed("IShellWindows::FindWindowSW",
               c.windows->FindWindowSW(&location, &root, SWC_DESKTOP, &c.window, SWFO_NEEDDISPATCH,
                                       c.dispatch.put()),
               true))
        return false;
    if (!c.dispatch.get()) {
        std::fprintf(stderr, "hostctl: IShellWindows::FindWindowSW gave no window object\n");
        return false;
    }
    if (Failed("IDispatch::QueryInterface(IID_IServiceProvider)",
               c.dispatch->QueryInterface(IID_IServiceProvider, c.services.putVoid())) ||
        Failed("IServiceProvider::QueryService(SID_STopLevelBrowser)",
               c.services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                        c.browser.putVoid())) ||
        Failed("IShellBrowser::QueryActiveShellView",
               c.browser->QueryActiveShellView(c.view.put())) ||
        Failed("IShellView::GetWindow", c.view->GetWindow(&c.viewWindow)) ||
        Failed("IShellView::QueryInterface(IID_IFolderView2)",
               c.view->QueryInterface(IID_IFolderView2, c.folderView.putVoid())))
        return false;
    return true;
}

std::string Narrow(const wchar_t* wide) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(n > 0 ? static_cast<size_t>(n) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], n, nullptr, nullptr);
    utf8.pop_back(); // its NUL
    return utf8;
}

std::string Hex(UINT_PTR value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

// One item's line, "<x>,<y>,<name>" and CR LF; false after saying which step failed.
bool ItemLine(IFolderView2* view, IShellFolder* folder, int index, std::string& out) {
    PITEMID_CHILD id = nullptr;
    if (Failed("IFolderView::Item", view->Item(index, &id)))
        return false;
    POINT pt{};
    STRRET name{};
    bool ok = !Failed("IFolderView::GetItemPosition", view->GetItemPosition(id, &pt)) &&
              !Failed("IShellFolder::GetDisplayNameOf",
                      folder->GetDisplayNameOf(id, SHGDN_INFOLDER, &name));
    CoTaskMemFree(id);
    if (ok && name.uType != STRRET_WSTR) {
        std::fprintf(stderr, "hostctl: IShellFolder::GetDisplayNameOf gave STRRET type %u\n",
                     name.uType);
        ok = false;
    }
    if (ok)
        out += std::to_string(pt.x) + "," + std::to_string(pt.y) + "," +
               Narrow(name.pOleStr ? name.pOleStr : L"") + "\r\n";
    if (name.uType == STRRET_WSTR)
        CoTaskMemFree(name.pOleStr);
    return ok;
}

// A page in the process of the desktop's list view, freed when this goes out of scope.
class HostPage {
  public:
    HostPage() {
        DWORD pid = 0;
        GetWindowThreadProcessId(FindWindowExA(FindWindowExA(FindWindowA("Progman", nullptr),
                                                             nullptr, "SHELLDLL_DefView", nullptr),
                                               nullptr, "SysListView32", nullptr),
                                 &pid);
        process_ = pid ? OpenProcess(PROCESS_VM_OPERATION, FALSE, pid) : nullptr;
        page_ = process_ ? VirtualAllocEx(process_, nullptr, 4096, MEM_COMMIT | MEM_RESERVE,
                                          PAGE_READWRITE)
                         : nullptr;
        if (!page_)
            std::fprintf(stderr, "hostctl: no page in the desktop's process (error %lu)\n",
                         static_cast<unsigned long>(GetLastError()));
    }
    HostPage(const HostPage&) = delete;
    HostPage& operator=(const HostPage&) = delete;
    ~HostPage() {
        if (page_)
            VirtualFreeEx(process_, page_, 0, MEM_RELEASE);
        if (process_)
            CloseHandle(process_);
    }
    bool valid() const { return page_ != nullptr; }

  private:
    HANDLE process_ = nullptr;
    void* page_ = nullptr;
};

bool WriteText(const char* path, const std::string& text) {
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size();
    return CloseHandle(file) && ok;
}

} // namespace

int Dump(const char* file, DumpExtra extra) {
    std::unique_ptr<HostPage> page;
    if (extra == DumpExtra::Alloc && !(page = std::make_unique<HostPage>())->valid())
        return 3;
    Apartment apartment;
    if (Failed("CoInitializeEx", apartment.hr))
        return 3;
    Chain c;
    Ref<IShellFolder> folder;
    int count = 0;
    UINT mode = 0;
    DWORD flags = 0;
    if (!Walk(c) ||
        Failed("IFolderView::GetFolder(IID_IShellFolder)",
               c.folderView->GetFolder(IID_IShellFolder, folder.putVoid())) ||
        Failed("IFolderView::ItemCount(SVGIO_ALLVIEW)",
               c.folderView->ItemCount(SVGIO_ALLVIEW, &count)) ||
        Failed("IFolderView::GetCurrentViewMode", c.folderView->GetCurrentViewMode(&mode)) ||
        Failed("IFolderView2::GetCurrentFolderFlags", c.folderView->GetCurrentFolderFlags(&flags)))
        return 3;
    if (extra == DumpExtra::Leak) {
        apartment.keep = true;
        c.view.Leak();
        c.folderView.Leak();
        folder.Leak();
    }
    HWND progman = FindWindowA("Progman", nullptr);
    HWND defView = FindWindowExA(progman, nullptr, "SHELLDLL_DefView", nullptr);
    std::string text = "hostctl comdump\r\n";
    text += "window=" + Hex(static_cast<ULONG>(c.window)) + "\r\n";
    text += "viewwindow=" + Hex(reinterpret_cast<UINT_PTR>(c.viewWindow)) + "\r\n";
    text += "progman=" + Hex(reinterpret_cast<UINT_PTR>(progman)) + "\r\n";
    text += "defview=" + Hex(reinterpret_cast<UINT_PTR>(defView)) + "\r\n";
    text += "count=" + std::to_string(count) + "\r\n";
    text += "viewmode=" + std::to_string(mode) + "\r\n";
    text += "folderflags=" + Hex(flags) + "\r\n";
    for (int i = 0; i < count; ++i) {
        if (!ItemLine(c.folderView.get(), folder.get(), i, text))
            return 3;
    }
    if (!WriteText(file, text)) {
        std::fprintf(stderr, "hostctl: cannot write %s\n", file);
        return 3;
    }
    return 0;
}

int Move(int index, int x, int y, bool forged) {
    Apartment apartment;
    if (Failed("CoInitializeEx", apartment.hr))
        return 3;
    Chain c;
    if (!Walk(c))
        return 3;
    PITEMID_CHILD id = nullptr;
    if (forged) {
        id = desktophost::NewItemId(index);
        if (!id) {
            std::fprintf(stderr, "hostctl: no memory for an item id\n");
            return 3;
        }
    } else if (Failed("IFolderView::Item", c.folderView->Item(index, &id))) {
        return 3;
    }
    POINT pt{x, y};
    PCUITEMID_CHILD ids[] = {id};
    const HRESULT hr = c.folderView->SelectAndPositionItems(1, ids, &pt, SVSI_POSITIONITEM);
    CoTaskMemFree(id);
    return Failed("IFolderView::SelectAndPositionItems", hr) ? 3 : 0;
}

int SetViewMode(unsigned mode) {
    Apartment apartment;
    if (Failed("CoInitializeEx", apartment.hr))
        return 3;
    Chain c;
    if (!Walk(c) ||
        Failed("IFolderView::SetCurrentViewMode", c.folderView->SetCurrentViewMode(mode)))
        return 3;
    return 0;
}

int SetAutoArrange(bool on) {
    Apartment apartment;
    if (Failed("CoInitializeEx", apartment.hr))
        return 3;
    Chain c;
    if (!Walk(c) || Failed("IFolderView2::SetCurrentFolderFlags",
                           c.folderView->SetCurrentFolderFlags(
                               FWF_AUTOARRANGE, on ? DWORD{FWF_AUTOARRANGE} : DWORD{0})))
        return 3;
    return 0;
}

int RoundTrip(int n) {
    Apartment apartment;
    if (Failed("CoInitializeEx", apartment.hr))
        return 3;
    Chain c;
    if (!Walk(c))
        return 3;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    int items = 0;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < n; ++i) {
        if (Failed("IFolderView::ItemCount(SVGIO_ALLVIEW)",
                   c.folderView->ItemCount(SVGIO_ALLVIEW, &items)))
            return 3;
    }
    QueryPerformanceCounter(&end);
    const double micros = static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 /
                          static_cast<double>(frequency.QuadPart);
    std::printf("items=%d\n", items);
    std::printf("mean_us=%.3f\n", n > 0 ? micros / n : 0.0);
    return 0;
}

} // namespace hostcom
