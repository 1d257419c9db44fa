// Address spaces as Windows lays them out: pages are committed whole, and every allocation or view
// starts on a 64 KiB boundary. A range of addresses hands out blocks next-fit, so a stale address
// usually points at nothing; an address space holds a process's committed allocations.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace pindrel::sim {

constexpr std::uint64_t kPageSize = 0x1000;
constexpr std::uint64_t kGranularity = 0x10000;
// A 32-bit process's allocations lie below 2 GiB, and so do those a 32-bit (WOW64) program makes
// in a 64-bit process; a 64-bit program's allocations in a 64-bit process lie above 4 GiB, so that
// an address cut to 32 bits points at nothing. The shared arena (where page-file mapping views
// appear on the non-NT Windows) lies above 2 GiB.
constexpr std::uint64_t kProcessLow = 0x00100000;
constexpr std::uint64_t kProcessHigh = 0x7FFF0000;
constexpr std::uint64_t kHighLow = 0x000001F000000000;
constexpr std::uint64_t kHighHigh = 0x000007FFFFFF0000;
constexpr std::uint64_t kSharedLow = 0x80000000;
constexpr std::uint64_t kSharedHigh = 0xC0000000;

std::uint64_t RoundUp(std::uint64_t n, std::uint64_t unit);

// The addresses [low, high), handed out in blocks of whole 64 KiB units.
class SimAddressRange {
  public:
    SimAddressRange(std::uint64_t low, std::uint64_t high) : low_(low), high_(high), cursor_(low) {}
    // A free block of `size` bytes: upwards from where the last one ended, and from the start
    // again only once the range has been used up. Nothing when no block fits.
    std::optional<std::uint64_t> Place(std::uint64_t size);
    bool Release(std::uint64_t base) { return blocks_.erase(base) != 0; }

  private:
    std::uint64_t low_, high_, cursor_;
    std::map<std::uint64_t, std::uint64_t> blocks_; // base -> span (whole 64 KiB units)
};

// One process's memory: its bitness and its committed read-write allocations.
class SimAddressSpace {
  public:
    explicit SimAddressSpace(int bits) : bits_(bits) {}
    int Bits() const { return bits_; }
    void SetBits(int bits) { bits_ = bits; }
    // Commits `size` bytes rounded up to whole zeroed pages, above 4 GiB when `high`, else below
    // 2 GiB. 0 when the range is full.
    std::uint64_t Allocate(std::uint64_t size, bool high);
    // Frees the allocation that starts exactly at `base`.
    bool Release(std::uint64_t base);
    // The bytes [address, address + length) when they lie inside one allocation; else nullptr.
    std::uint8_t* Bytes(std::uint64_t address, std::uint64_t length);
    std::size_t Allocations() const { return allocations_.size(); }

  private:
    int bits_;
    SimAddressRange low_{kProcessLow, kProcessHigh};
    SimAddressRange high_{kHighLow, kHighHigh};
    std::map<std::uint64_t, std::vector<std::uint8_t>> allocations_; // by base address
};

} // namespace pindrel::sim
