#include "platform/sim/SimMemory.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace pindrel::sim {

using namespace pindrel::win;

namespace {
void CheckBits(int bits, const char* what) {
    if (bits != 32 && bits != 64)
        throw std::invalid_argument(std::string("SimSession::") + what + ": 32 or 64");
}
} // namespace

SimMemory::SimMemory(const SimSystem& system, SimHandles& handles, SimMappings& mappings,
                     SimLog& log, int programBits)
    : system_(system), handles_(handles), mappings_(mappings), log_(log),
      programBits_(programBits) {
    processes_.emplace(raw(kSelf), SimAddressSpace(programBits));
}

Pid SimMemory::CreateProcess(int bits) {
    if (bits == 0)
        bits = windowsBits_;
    if ((bits != 32 && bits != 64) || bits > windowsBits_)
        throw std::invalid_argument("SimSession::CreateProcess: no " + std::to_string(bits) +
                                    "-bit process on " + std::to_string(windowsBits_) +
                                    "-bit Windows");
    const std::uint32_t pid = nextPid_;
    nextPid_ += 8; // the process's main thread takes pid + 4
    processes_.emplace(pid, SimAddressSpace(bits));
    return Pid{pid};
}

void SimMemory::SetWindowsBits(int bits) {
    CheckBits(bits, "SetWindowsBits");
    if (bits == 32) {
        for (const auto& [pid, space] : processes_) {
            if (pid != raw(kSelf) && space.Bits() == 64)
                throw std::invalid_argument("SimSession::SetWindowsBits: a 64-bit process exists");
        }
        programBits_ = 32;
    }
    windowsBits_ = bits;
    processes_.at(raw(kSelf)).SetBits(programBits_);
}

void SimMemory::SetProgramBits(int bits) {
    if ((bits != 32 && bits != 64) || bits > windowsBits_)
        throw std::invalid_argument("SimSession::SetProgramBits: no " + std::to_string(bits) +
                                    "-bit program on " + std::to_string(windowsBits_) +
                                    "-bit Windows");
    if (bits > kMostProgramBits)
        throw std::invalid_argument("SimSession::SetProgramBits: this build is a " +
                                    std::to_string(kMostProgramBits) +
                                    "-bit program; its addresses and LPARAMs cannot be 64-bit");
    programBits_ = bits;
    processes_.at(raw(kSelf)).SetBits(bits);
}

std::uint8_t* SimMemory::ProcessBytes(Pid pid, std::uint64_t address, std::uint64_t length,
                                      bool shared) {
    if (address == 0)
        return nullptr;
    auto process = processes_.find(raw(pid));
    if (process != processes_.end()) {
        if (std::uint8_t* bytes = process->second.Bytes(address, length))
            return bytes;
    }
    return shared ? mappings_.ViewBytes(address, length) : nullptr;
}

void SimMemory::CheckProgramValue(const char* function, std::uint64_t value) {
    if (Program32() && value > 0xFFFFFFFFu && value < 0xFFFFFFFF80000000u)
        log_.Fault(std::string(function) + ": a 32-bit program passed " + Hex(value));
}

const SimKernelObject* SimMemory::ProcessHandle(Handle handle, DWORD access) const {
    const SimKernelObject* object = handles_.Process(handle, access);
    return object && Exists(object->pid) ? object : nullptr;
}

Handle SimMemory::OpenProcess(DWORD desiredAccess, Pid processId) {
    // Memory access and the query access are refused separately, as a protected process does: a
    // handle asked for with both is refused when either is.
    const bool query = (desiredAccess & PROCESS_QUERY_LIMITED_INFORMATION) != 0;
    const bool memory =
        (desiredAccess & (PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE)) != 0;
    if ((query && queryRefused) || (memory && openRefused) || !Exists(processId))
        return Handle{};
    return handles_.Open(
        SimKernelObject{SimKernelObject::Kind::Process, processId, desiredAccess, 0});
}

// Only what the program asks for is simulated: a fresh committed read-write block at an address
// of the system's choosing (no preferred address, no reserve-only, no other protection). The
// non-NT Windows have no VirtualAllocEx.
RemoteAddr SimMemory::VirtualAllocEx(Handle process, RemoteAddr address, DWORD size,
                                     DWORD allocationType, DWORD protect) {
    if (failAllocations > 0) {
        --failAllocations;
        return RemoteAddr{};
    }
    const SimKernelObject* object = ProcessHandle(process, PROCESS_VM_OPERATION);
    if (!system_.Nt() || !object || raw(address) != 0 || size == 0 ||
        !(allocationType & MEM_COMMIT) || (allocationType & ~(MEM_COMMIT | MEM_RESERVE)) ||
        protect != PAGE_READWRITE)
        return RemoteAddr{};
    SimAddressSpace& target = processes_.at(raw(object->pid));
    // A 64-bit program gets addresses above 4 GiB in a 64-bit process; everyone else below 2 GiB.
    return RemoteAddr{target.Allocate(size, target.Bits() == 64 && !Program32())};
}

// MEM_RELEASE frees a whole allocation: its exact base, with size 0.
BOOL SimMemory::VirtualFreeEx(Handle process, RemoteAddr address, DWORD size, DWORD freeType) {
    const SimKernelObject* object = ProcessHandle(process, PROCESS_VM_OPERATION);
    if (!object || freeType != MEM_RELEASE || size != 0)
        return 0;
    return processes_.at(raw(object->pid)).Release(raw(address)) ? 1 : 0;
}

// Writing needs PROCESS_VM_OPERATION as well as PROCESS_VM_WRITE. Reads and writes lie inside one
// live allocation (or, off NT, one live shared view); anything else fails and copies nothing.
BOOL SimMemory::WriteProcessMemory(Handle process, RemoteAddr baseAddress, const void* buffer,
                                   DWORD size, DWORD* bytesWritten) {
    CheckProgramValue("WriteProcessMemory", raw(baseAddress));
    if (bytesWritten)
        *bytesWritten = 0;
    const SimKernelObject* object = ProcessHandle(process, PROCESS_VM_WRITE | PROCESS_VM_OPERATION);
    std::uint8_t* target =
        object ? ProcessBytes(object->pid, raw(baseAddress), size, !system_.Nt()) : nullptr;
    if (!target || (size > 0 && !buffer))
        return 0;
    if (size > 0)
        std::memcpy(target, buffer, size);
    if (bytesWritten)
        *bytesWritten = size;
    return 1;
}

BOOL SimMemory::ReadProcessMemory(Handle process, RemoteAddr baseAddress, void* buffer, DWORD size,
                                  DWORD* bytesRead) {
    CheckProgramValue("ReadProcessMemory", raw(baseAddress));
    if (bytesRead)
        *bytesRead = 0;
    const SimKernelObject* object = ProcessHandle(process, PROCESS_VM_READ);
    const std::uint8_t* source =
        object ? ProcessBytes(object->pid, raw(baseAddress), size, !system_.Nt()) : nullptr;
    if (!source || (size > 0 && !buffer))
        return 0;
    if (size > 0)
        std::memcpy(buffer, source, size);
    if (bytesRead)
        *bytesRead = size;
    return 1;
}

// IsWow64Process answers for this program's pseudo-handle or for a process handle opened with
// query access (PROCESS_QUERY_LIMITED_INFORMATION or PROCESS_QUERY_INFORMATION); a process is
// under WOW64 when it is 32-bit on 64-bit Windows.
BOOL SimMemory::IsWow64Process(Handle process, BOOL* wow64) const {
    if (wow64Missing || !wow64)
        return 0;
    int bits = programBits_;
    if (process != kCurrentProcess) {
        const SimKernelObject* object =
            handles_.Process(process, 0, PROCESS_QUERY_LIMITED_INFORMATION | 0x0400);
        if (!object || !Exists(object->pid))
            return 0;
        bits = Bits(object->pid);
    }
    *wow64 = windowsBits_ == 64 && bits == 32 ? 1 : 0;
    return 1;
}

int SimMemory::LiveAllocations() const {
    std::size_t count = 0;
    for (const auto& entry : processes_)
        count += entry.second.Allocations();
    return static_cast<int>(count);
}

} // namespace pindrel::sim
