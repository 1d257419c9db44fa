#include "platform/sim/SimAddressSpace.h"

#include <algorithm>
#include <iterator>

namespace pindrel::sim {

std::uint64_t RoundUp(std::uint64_t n, std::uint64_t unit) {
    return (n + unit - 1) / unit * unit;
}

std::optional<std::uint64_t> SimAddressRange::Place(std::uint64_t size) {
    const std::uint64_t span = RoundUp(size, kGranularity);
    for (int pass = 0; pass < 2; ++pass) {
        std::uint64_t at = pass == 0 ? std::max(cursor_, low_) : low_;
        while (at + span <= high_) {
            auto next = blocks_.lower_bound(at);
            if (next != blocks_.begin()) {
                auto prev = std::prev(next);
                if (prev->first + prev->second > at) {
                    at = prev->first + prev->second;
                    continue;
                }
            }
            if (next == blocks_.end() || next->first >= at + span) {
                cursor_ = at + span;
                blocks_[at] = span;
                return at;
            }
            at = next->first + next->second;
        }
    }
    return std::nullopt;
}

std::uint64_t SimAddressSpace::Allocate(std::uint64_t size, bool high) {
    const std::optional<std::uint64_t> base = (high ? high_ : low_).Place(size);
    if (!base)
        return 0;
    allocations_[*base].assign(static_cast<std::size_t>(RoundUp(size, kPageSize)), 0);
    return *base;
}

bool SimAddressSpace::Release(std::uint64_t base) {
    if (!allocations_.erase(base))
        return false;
    (base >= kHighLow ? high_ : low_).Release(base);
    return true;
}

std::uint8_t* SimAddressSpace::Bytes(std::uint64_t address, std::uint64_t length) {
    if (address == 0)
        return nullptr;
    auto it = allocations_.upper_bound(address);
    if (it == allocations_.begin())
        return nullptr;
    --it;
    if (address + length > it->first + std::uint64_t{it->second.size()})
        return nullptr;
    return it->second.data() + (address - it->first);
}

} // namespace pindrel::sim
