// desktop-host's COM server: its apartment, the class object under the host's own CLSID
// (HostComIds.h), the counts the state file shows, and the server going away.
#include "HostComServer.h"

#include "HostAllocWatch.h"
#include "HostComIds.h"
#include "HostComObject.h"
#include "HostComObjects.h"
#include "HostDesktop.h"

#include <algorithm>
#include <cstdio>

namespace desktophost {

namespace {

// The class object: it lives as long as the host and is held by COM's registration, so it is no
// object that another program holds. CreateInstance is a call like any other.
class ClassFactory final : public IClassFactory {
  public:
    explicit ClassFactory(ComServer& server) : server_(server) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        server_.BeginCall();
        HRESULT hr = E_OUTOFMEMORY;
        if (!ppv) {
            hr = E_POINTER;
        } else if (*ppv = nullptr; outer) {
            hr = CLASS_E_NOAGGREGATION;
        } else if (IShellWindows* windows = NewShellWindows(server_)) {
            hr = windows->QueryInterface(riid, ppv);
            windows->Release();
        }
        server_.EndCall();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  private:
    ComServer& server_;
};

// One class object per process, as there is one host.
ClassFactory* TheFactory(ComServer& server) {
    static ClassFactory factory(server);
    return &factory;
}

const char* Hex(HRESULT hr) {
    static char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

} // namespace

bool ComServer::hollow() const {
    return host_.scenario.com == ComMode::Hollow;
}

bool ComServer::Start() {
    if (host_.scenario.com == ComMode::Off)
        return true;
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(hr)) {
        std::fprintf(stderr, "desktop-host: CoInitializeEx failed: %s\n", Hex(hr));
        return false;
    }
    initialized_ = true;
    hr = CoRegisterClassObject(kHostShellWindowsClsid, TheFactory(*this), CLSCTX_LOCAL_SERVER,
                               REGCLS_MULTIPLEUSE, &cookie_);
    if (FAILED(hr)) {
        std::fprintf(stderr, "desktop-host: CoRegisterClassObject failed: %s\n", Hex(hr));
        return false;
    }
    registered_ = true;
    return true;
}

void ComServer::Vanish() {
    if (vanished_)
        return;
    vanished_ = true;
    // Disconnecting an object has Wine's stub let go of it, which may end it: each is held
    // until all are done.
    std::vector<IUnknown*> held;
    for (ComObject* object : objects_) {
        held.push_back(object->Identity());
        held.back()->AddRef();
    }
    for (IUnknown* object : held)
        CoDisconnectObject(object, 0);
    CoDisconnectObject(TheFactory(*this), 0);
    if (registered_)
        CoRevokeClassObject(cookie_);
    registered_ = false;
    for (IUnknown* object : held)
        object->Release();
}

void ComServer::Stop() {
    Vanish();
    if (initialized_)
        CoUninitialize();
    initialized_ = false;
}

void ComServer::BeginCall() {
    ++calls_;
    if (host_.allocs)
        host_.allocs->ForeignCall();
    if (depth_++ == 0)
        host_.lists[0].hostBusy = host_.lists[1].hostBusy = true;
}

void ComServer::EndCall() {
    if (--depth_ == 0)
        host_.lists[0].hostBusy = host_.lists[1].hostBusy = false;
    // The reply goes out once this call returns; the message posted now is taken from the queue
    // before any later call, which Wine's apartment also receives as a posted message.
    if (calls_ == host_.scenario.comVanishAfter && !vanished_)
        PostMessageW(host_.control, kComVanishMessage, 0, 0);
}

void ComServer::HandOut(int k) {
    if (static_cast<size_t>(k) >= handedOut_.size())
        handedOut_.resize(static_cast<size_t>(k) + 1, false);
    handedOut_[static_cast<size_t>(k)] = true;
}

bool ComServer::HandedOut(int k) const {
    return k >= 0 && static_cast<size_t>(k) < handedOut_.size() &&
           handedOut_[static_cast<size_t>(k)];
}

void ComServer::Remove(ComObject* object) {
    objects_.erase(std::remove(objects_.begin(), objects_.end(), object), objects_.end());
}

std::string ComServer::StateLines() const {
    std::string out;
    const char* mode = host_.scenario.com == ComMode::Off      ? "0"
                       : host_.scenario.com == ComMode::Hollow ? "hollow"
                                                               : "1";
    out += std::string("com=") + mode + "\r\n";
    out += "comcalls=" + std::to_string(calls_) + "\r\n";
    out += std::string("comvanished=") + (vanished_ ? "1" : "0") + "\r\n";
    out += "comobjects=" + std::to_string(objects_.size()) + "\r\n";
    out += "commoves=" + std::to_string(moves_) + "\r\n";
    out += "comviews=" + std::to_string(viewSwitches_) + "\r\n";
    return out;
}

} // namespace desktophost
