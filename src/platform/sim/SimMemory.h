// The processes of the session, with their bitness and address spaces, and the kernel functions
// that reach another process's memory through a process handle.
//
// Windows is 32- or 64-bit; on 32-bit Windows the program and every process are 32-bit, on
// 64-bit Windows a 32-bit process runs under WOW64. This program's own process has the program's
// bitness.
#pragma once

#include "platform/sim/SimAddressSpace.h"
#include "platform/sim/SimHandles.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimMappings.h"
#include "platform/sim/SimSystem.h"

#include <cstdint>
#include <map>

namespace pindrel::sim {

// The widest program this build can play: its own pointer width (a 32-bit build holds a 64-bit
// program's addresses in no LPARAM).
constexpr int kMostProgramBits = sizeof(void*) == 8 ? 64 : 32;

class SimMemory {
  public:
    SimMemory(const SimSystem& system, SimHandles& handles, SimMappings& mappings, SimLog& log,
              int programBits);

    static constexpr Pid kSelf{0x04D0};

    // ---- processes and bitness (misuse by a test throws std::invalid_argument)
    Pid CreateProcess(int bits); // 0: the bitness of Windows
    void SetWindowsBits(int bits);
    void SetProgramBits(int bits);
    int WindowsBits() const { return windowsBits_; }
    int ProgramBits() const { return programBits_; }
    bool Program32() const { return programBits_ == 32; }
    bool Exists(Pid pid) const { return processes_.count(raw(pid)) != 0; }
    int Bits(Pid pid) const { return processes_.at(raw(pid)).Bits(); }

    // The bytes [address, address + length) as process `pid` reaches them: inside one of its own
    // allocations, or (when `shared`) inside one live view of the shared arena. nullptr otherwise.
    std::uint8_t* ProcessBytes(Pid pid, std::uint64_t address, std::uint64_t length, bool shared);
    // A 32-bit program cannot hold a value beyond 32 bits: one that reaches the platform from it
    // means the core computed it wrongly (a real 32-bit build would have cut it). Recorded as a
    // fault.
    void CheckProgramValue(const char* function, std::uint64_t value);

    // ---- the kernel functions
    Handle OpenProcess(DWORD desiredAccess, Pid processId);
    RemoteAddr VirtualAllocEx(Handle process, RemoteAddr address, DWORD size, DWORD allocationType,
                              DWORD protect);
    BOOL VirtualFreeEx(Handle process, RemoteAddr address, DWORD size, DWORD freeType);
    BOOL WriteProcessMemory(Handle process, RemoteAddr baseAddress, const void* buffer, DWORD size,
                            DWORD* bytesWritten);
    BOOL ReadProcessMemory(Handle process, RemoteAddr baseAddress, void* buffer, DWORD size,
                           DWORD* bytesRead);
    BOOL IsWow64Process(Handle process, BOOL* wow64) const;

    // ---- fault injection and counts
    bool openRefused = false;  // OpenProcess for memory access is refused
    bool queryRefused = false; // OpenProcess with PROCESS_QUERY_LIMITED_INFORMATION is refused
    bool wow64Missing = false; // IsWow64Process does not exist: every call fails
    int failAllocations = 0;   // the next this many VirtualAllocEx calls fail
    int LiveAllocations() const;

  private:
    const SimKernelObject* ProcessHandle(Handle handle, DWORD access) const;

    const SimSystem& system_;
    SimHandles& handles_;
    SimMappings& mappings_;
    SimLog& log_;
    int windowsBits_ = 64;
    int programBits_;
    std::map<std::uint32_t, SimAddressSpace> processes_;
    std::uint32_t nextPid_ = 0x0600;
};

} // namespace pindrel::sim
