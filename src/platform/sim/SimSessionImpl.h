// The parts of a simulated session, wired together: shared by the three files of SimSession.
#pragma once

#include "platform/sim/SimClock.h"
#include "platform/sim/SimFiles.h"
#include "platform/sim/SimHandles.h"
#include "platform/sim/SimListView.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimMappings.h"
#include "platform/sim/SimMemory.h"
#include "platform/sim/SimMessages.h"
#include "platform/sim/SimMutexes.h"
#include "platform/sim/SimSession.h"
#include "platform/sim/SimShellCom.h"
#include "platform/sim/SimSystem.h"
#include "platform/sim/SimWindows.h"

#include "DesktopRequest.h"

#include <functional>

namespace pindrel::sim {

struct SimSession::Impl {
    explicit Impl(std::filesystem::path root, int programBits)
        : files(std::move(root)), memory{system, handles, mappings, log, programBits} {}

    SimLog log;
    SimSystem system;
    SimClock clock;
    SimHandles handles;
    SimMappings mappings{handles, log};
    SimFiles files;
    SimMemory memory;
    SimMutexes mutexes{handles, clock};
    SimWindows windows;
    SimMessages messages;
    SimListView shell{windows, memory, system, log};
    SimShellCom com{windows, shell, clock, log, kAnswerLimitMs};
    std::function<void(const SimCall&)> hook;
    DWORD lastError = 0;
};

} // namespace pindrel::sim
