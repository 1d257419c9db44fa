// The base of desktop-host's COM objects: the reference count, the place in the server's registry
// of live objects, QueryInterface over a table, and the scope each method other programs call
// opens. The host itself keeps no reference to these objects, so every live one is held by another
// program (through Wine's stub for it).
#pragma once

#include "HostComServer.h"

#include <windows.h>

#include <unknwn.h>

#include <initializer_list>

namespace desktophost {

class ComObject {
  public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    // The object's IUnknown, which names it to COM (CoDisconnectObject).
    virtual IUnknown* Identity() = 0;

  protected:
    explicit ComObject(ComServer& server) : server_(server) { server_.Add(this); }
    virtual ~ComObject() { server_.Remove(this); }

    ULONG AddRefImpl() { return static_cast<ULONG>(++refs_); }
    ULONG ReleaseImpl() {
        const ULONG left = static_cast<ULONG>(--refs_);
        if (left == 0)
            delete this;
        return left;
    }

    struct Interface {
        const IID& iid;
        IUnknown* pointer;
    };
    // The first entry is the object's identity (IUnknown).
    static HRESULT Query(REFIID riid, void** ppv, std::initializer_list<Interface> table) {
        if (!ppv)
            return E_POINTER;
        for (const Interface& entry : table) {
            if (IsEqualIID(riid, entry.iid)) {
                entry.pointer->AddRef();
                *ppv = entry.pointer;
                return S_OK;
            }
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

    // Opened at the start of every method other than IUnknown's: the call is counted, the host's
    // own requests to its list views while it lasts are not taken for another program's, and
    // the server may go away once it has been answered.
    class Call {
      public:
        explicit Call(ComServer& server) : server_(server) { server_.BeginCall(); }
        ~Call() { server_.EndCall(); }
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

      private:
        ComServer& server_;
    };
    HRESULT NotImplemented() {
        Call call(server_);
        return E_NOTIMPL;
    }

    ComServer& server_;

  private:
    long refs_ = 1; // the creator's; one thread only, the apartment's
};

#define DESKTOPHOST_REFCOUNT                                                                       \
    ULONG STDMETHODCALLTYPE AddRef() override {                                                    \
        return AddRefImpl();                                                                       \
    }                                                                                              \
    ULONG STDMETHODCALLTYPE Release() override {                                                   \
        return ReleaseImpl();                                                                      \
    }

} // namespace desktophost
