// desktop-host's COM server: the class object registered under the host's own CLSID, the
// registry of the objects other programs hold, what the state file shows of them, and the server
// going away (comvanish=). Everything runs on the host's main thread, a single-threaded apartment
// whose message loop carries the calls in.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace desktophost {

struct Host;
class ComObject;

// Posted to the control window once the server is to go away (comvanish=).
constexpr UINT kComVanishMessage = WM_APP + 2;

class ComServer {
  public:
    explicit ComServer(Host& host) : host_(host) {}
    ComServer(const ComServer&) = delete;
    ComServer& operator=(const ComServer&) = delete;

    // Joins the apartment and registers the class object, as the scenario says (com=, comvanish=).
    // False, after saying why on stderr, when that fails.
    bool Start();
    // Revokes the class object, disconnects what is still held and leaves the apartment.
    void Stop();
    // Disconnects every object and revokes the class object: later calls of other programs fail
    // (comvanish=). The list views stay.
    void Vanish();

    Host& host() const { return host_; }
    // com=hollow: the chain answers as Wine's own desktop does (HostComView.cpp).
    bool hollow() const;
    // The view mode a hollow view keeps for itself.
    UINT hollowMode() const { return hollowMode_; }
    void SetHollowMode(UINT mode) { hollowMode_ = mode; }

    // The COM part's lines of the state file.
    std::string StateLines() const;

    // A method call of another program on one of the objects (ComObject::Call).
    void BeginCall();
    void EndCall();
    void CountMoves(int n) { moves_ += n; }
    void CountViewSwitch() { ++viewSwitches_; }
    // Item ids: which items were handed out, so that an id the host never gave is refused.
    void HandOut(int k);
    bool HandedOut(int k) const;

    void Add(ComObject* object) { objects_.push_back(object); }
    void Remove(ComObject* object);

  private:
    Host& host_;
    bool initialized_ = false;
    bool registered_ = false;
    DWORD cookie_ = 0;
    bool vanished_ = false;
    int calls_ = 0;
    int depth_ = 0;
    int moves_ = 0;
    int viewSwitches_ = 0;
    UINT hollowMode_ = 0;
    std::vector<bool> handedOut_;
    std::vector<ComObject*> objects_;
};

} // namespace desktophost
