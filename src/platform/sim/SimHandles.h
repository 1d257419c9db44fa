// Kernel handles: each names a process (with the access it was opened with) or a page-file
// mapping. Handle values are never reused, so a closed handle stays invalid for good.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <map>
#include <optional>

namespace pindrel::sim {

struct SimKernelObject {
    enum class Kind { Process, Mapping };
    Kind kind = Kind::Process;
    Pid pid{};                 // process handles
    DWORD access = 0;          // process handles
    std::uint32_t mapping = 0; // mapping handles
};

class SimHandles {
  public:
    Handle Open(const SimKernelObject& object);
    // The open process handle, when it grants all of `access` (any of `anyOf`, when given).
    const SimKernelObject* Process(Handle handle, DWORD access, DWORD anyOf = 0) const;
    const SimKernelObject* Mapping(Handle handle) const;
    // What the handle named; nothing when it was not open.
    std::optional<SimKernelObject> Close(Handle handle);
    int Open() const { return static_cast<int>(objects_.size()); }

  private:
    std::map<std::uint64_t, SimKernelObject> objects_;
    std::uint64_t next_ = 0x44;
};

} // namespace pindrel::sim
