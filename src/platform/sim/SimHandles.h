// Kernel handles: each names a process (with the access it was opened with), a page-file mapping
// or a mutex, and belongs to the process that opened it. Handle values are never reused, so a
// closed handle stays invalid for good.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace pindrel::sim {

struct SimKernelObject {
    enum class Kind { Process, Mapping, Mutex };
    Kind kind = Kind::Process;
    Pid pid{};                 // process handles
    DWORD access = 0;          // process handles
    std::uint32_t mapping = 0; // mapping handles
    std::uint32_t mutex = 0;   // mutex handles
    Pid holder{};              // the process the handle belongs to (set by Open)
};

class SimHandles {
  public:
    // Opens a handle for the process that runs now (`current`).
    Handle Open(SimKernelObject object);
    // The open process handle, when it grants all of `access` (any of `anyOf`, when given).
    const SimKernelObject* Process(Handle handle, DWORD access, DWORD anyOf = 0) const;
    const SimKernelObject* Mapping(Handle handle) const;
    const SimKernelObject* Mutex(Handle handle) const;
    // The handles of a process that ends, closed.
    std::vector<SimKernelObject> CloseAllOf(Pid process);
    // What the handle named; nothing when it was not open.
    std::optional<SimKernelObject> Close(Handle handle);
    int Open() const { return static_cast<int>(objects_.size()); }

    // The process whose calls are being made: this program's, or another run of it in a test.
    Pid current{0x04D0};

  private:
    std::map<std::uint64_t, SimKernelObject> objects_;
    std::uint64_t next_ = 0x44;
};

} // namespace pindrel::sim
