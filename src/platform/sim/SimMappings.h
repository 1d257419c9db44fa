// Unnamed page-file mappings and their views. Views live in one shared arena above 2 GiB: on the
// non-NT Windows every process reaches them at the same address (on NT only the process that
// mapped them). A mapping lives while a handle to it or a view of it remains.
#pragma once

#include "platform/sim/SimAddressSpace.h"
#include "platform/sim/SimHandles.h"
#include "platform/sim/SimLog.h"

#include <cstdint>
#include <map>
#include <vector>

namespace pindrel::sim {

class SimMappings {
  public:
    SimMappings(SimHandles& handles, SimLog& log) : handles_(handles), log_(log) {}

    Handle CreateFileMappingA(Handle file, DWORD protect, DWORD maximumSizeHigh,
                              DWORD maximumSizeLow, const char* name);
    RemoteAddr MapViewOfFile(Handle mapping, DWORD desiredAccess, DWORD fileOffsetHigh,
                             DWORD fileOffsetLow, DWORD numberOfBytesToMap);
    BOOL UnmapViewOfFile(RemoteAddr baseAddress);
    // RtlMoveMemory cannot fail: outside a live view the program would crash, which is recorded as
    // a fault, and nothing is copied.
    void MoveInto(RemoteAddr destination, const void* source, DWORD length);
    void MoveOut(void* destination, RemoteAddr source, DWORD length);
    // A mapping handle was closed.
    void HandleClosed(std::uint32_t mapping);

    // The bytes [address, address + length) inside one live view; else nullptr.
    std::uint8_t* ViewBytes(std::uint64_t address, std::uint64_t length);
    void FailNext(int count) { fail_ = count; }
    // The next `count` MapViewOfFile calls on a live mapping fail; the mapping stays.
    void FailViewsNext(int count) { failViews_ = count; }
    int LiveMappings() const { return static_cast<int>(mappings_.size()); }
    int LiveViews() const { return static_cast<int>(views_.size()); }

  private:
    struct Mapping {
        std::vector<std::uint8_t> bytes;
        int handles = 0;
        int views = 0;
    };
    struct View {
        std::uint32_t mapping = 0;
        std::uint64_t offset = 0;
        std::uint64_t size = 0;
    };
    void ReleaseIfUnused(std::uint32_t id);

    SimHandles& handles_;
    SimLog& log_;
    std::map<std::uint32_t, Mapping> mappings_;
    std::uint32_t next_ = 1;
    std::map<std::uint64_t, View> views_; // by base address in the shared arena
    SimAddressRange arena_{kSharedLow, kSharedHigh};
    int fail_ = 0;
    int failViews_ = 0;
};

} // namespace pindrel::sim
