// Named mutexes of the session. A mutex belongs to the process that waited for it until that
// process releases it; a process that ends while it holds one leaves it abandoned, and the next
// wait gets it with WAIT_ABANDONED. The session runs one process at a time, so a wait for a mutex
// that another process holds cannot end with that process letting go: it lasts its whole time
// (the session's clock moves on by it) and times out.
#pragma once

#include "platform/sim/SimClock.h"
#include "platform/sim/SimHandles.h"

#include "platform/Types.h"

#include <map>
#include <string>

namespace pindrel::sim {

class SimMutexes {
  public:
    SimMutexes(SimHandles& handles, SimClock& clock) : handles_(handles), clock_(clock) {}

    // CreateMutexW's result and its last error (ERROR_ALREADY_EXISTS when the name existed).
    Handle Create(BOOL initialOwner, const char16_t* name, DWORD& lastError);
    // OpenMutexW: a handle to the mutex of that name, or 0 (ERROR_FILE_NOT_FOUND) when none exists.
    Handle Open(const char16_t* name, DWORD& lastError);
    DWORD Wait(Handle handle, DWORD milliseconds, DWORD& lastError);
    BOOL Release(Handle handle, DWORD& lastError);
    // A mutex handle was closed; the mutex goes with its last handle.
    void HandleClosed(std::uint32_t mutex);
    // The process ended: the mutexes it held are abandoned.
    void ProcessEnded(Pid process);

    // Names of the mutexes that exist, for tests.
    std::vector<std::u16string> Names() const;

  private:
    struct Mutex {
        std::u16string name;
        Pid owner{}; // 0: nobody
        int count = 0;
        bool abandoned = false;
        int handles = 0;
    };
    SimHandles& handles_;
    SimClock& clock_;
    std::map<std::uint32_t, Mutex> mutexes_;
    std::uint32_t next_ = 1;
};

} // namespace pindrel::sim
