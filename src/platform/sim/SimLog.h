// The session's record of what the program did: every platform call in order, and the faults the
// simulated Windows detected (what would have crashed the program or the shell on a real one).
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pindrel::sim {

// One recorded platform call. `function` is the Windows name ("SendMessageTimeoutA", "OpenProcess",
// ...); for SendMessageTimeoutA the window, message and parameters are filled in (for
// InvalidateRect the window, and `erase` as lParam); for other calls `window` and `message` are 0
// and the parameters hold the call's most telling arguments (size, address, ...), 64 bits wide
// whatever the host.
struct SimCall {
    std::string function;
    Hwnd window{};
    UINT message = 0;
    std::uint64_t wParam = 0;
    std::int64_t lParam = 0;
    // A text argument, when the call has one: the class name asked for by FindWindowA and
    // FindWindowExA, the file of the profile functions.
    std::string detail;
};

class SimLog {
  public:
    void Call(const char* function, std::uint64_t wParam = 0, std::int64_t lParam = 0,
              std::string detail = {});
    void Call(SimCall call);
    void Fault(std::string text);

    const std::vector<SimCall>& Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }
    int CountMessages(UINT message) const;
    int CountCalls(const std::string& function) const;
    const std::vector<std::string>& Faults() const { return faults_; }

  private:
    std::vector<SimCall> calls_;
    std::vector<std::string> faults_;
};

// "0x0001F000" : an address or handle as the faults show it, at least eight digits.
std::string Hex(std::uint64_t value);

} // namespace pindrel::sim
