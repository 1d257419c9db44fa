#include "platform/sim/SimMappings.h"

#include "platform/WindowsApi.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace pindrel::sim {

// Unnamed page-file mappings only (named ones are not simulated and fail).
Handle SimMappings::CreateFileMappingA(Handle file, DWORD protect, DWORD maximumSizeHigh,
                                       DWORD maximumSizeLow, const char* name) {
    if (fail_ > 0) {
        --fail_;
        return Handle{};
    }
    if (file != kInvalidHandleValue || protect != win::PAGE_READWRITE || maximumSizeHigh != 0 ||
        maximumSizeLow == 0 || maximumSizeLow > kSharedHigh - kSharedLow || name)
        return Handle{};
    const std::uint32_t id = next_++;
    Mapping& mapping = mappings_[id];
    mapping.bytes.assign(static_cast<std::size_t>(RoundUp(maximumSizeLow, kPageSize)), 0);
    mapping.handles = 1;
    SimKernelObject object;
    object.kind = SimKernelObject::Kind::Mapping;
    object.mapping = id;
    return handles_.Open(object);
}

RemoteAddr SimMappings::MapViewOfFile(Handle mapping, DWORD desiredAccess, DWORD fileOffsetHigh,
                                      DWORD fileOffsetLow, DWORD numberOfBytesToMap) {
    const SimKernelObject* handle = handles_.Mapping(mapping);
    if (!handle || desiredAccess == 0 || fileOffsetHigh != 0 || fileOffsetLow % kGranularity != 0)
        return RemoteAddr{};
    if (failViews_ > 0) {
        --failViews_;
        return RemoteAddr{};
    }
    Mapping& object = mappings_.at(handle->mapping);
    const auto total = static_cast<std::uint32_t>(object.bytes.size());
    if (fileOffsetLow >= total || numberOfBytesToMap > total - fileOffsetLow)
        return RemoteAddr{};
    const std::uint32_t size =
        numberOfBytesToMap == 0
            ? total - fileOffsetLow
            : static_cast<std::uint32_t>(std::min<std::uint64_t>(
                  RoundUp(numberOfBytesToMap, kPageSize), total - fileOffsetLow));
    const auto base = arena_.Place(size);
    if (!base)
        return RemoteAddr{};
    views_[*base] = View{handle->mapping, fileOffsetLow, size};
    ++object.views;
    return RemoteAddr{*base};
}

BOOL SimMappings::UnmapViewOfFile(RemoteAddr baseAddress) {
    auto it = views_.find(raw(baseAddress));
    if (it == views_.end())
        return 0;
    const std::uint32_t id = it->second.mapping;
    views_.erase(it);
    arena_.Release(raw(baseAddress));
    --mappings_.at(id).views;
    ReleaseIfUnused(id);
    return 1;
}

void SimMappings::MoveInto(RemoteAddr destination, const void* source, DWORD length) {
    std::uint8_t* target = ViewBytes(raw(destination), length);
    if (length == 0)
        return;
    if (!target || !source) {
        log_.Fault("RtlMoveMemory write outside any mapped view at " + Hex(raw(destination)) +
                   " (" + std::to_string(length) + " bytes)");
        return;
    }
    std::memcpy(target, source, length);
}

void SimMappings::MoveOut(void* destination, RemoteAddr source, DWORD length) {
    const std::uint8_t* from = ViewBytes(raw(source), length);
    if (length == 0)
        return;
    if (!from || !destination) {
        log_.Fault("RtlMoveMemory read outside any mapped view at " + Hex(raw(source)) + " (" +
                   std::to_string(length) + " bytes)");
        return;
    }
    std::memcpy(destination, from, length);
}

void SimMappings::HandleClosed(std::uint32_t mapping) {
    --mappings_.at(mapping).handles;
    ReleaseIfUnused(mapping);
}

std::uint8_t* SimMappings::ViewBytes(std::uint64_t address, std::uint64_t length) {
    auto it = views_.upper_bound(address);
    if (address == 0 || it == views_.begin())
        return nullptr;
    --it;
    if (address + length > it->first + it->second.size)
        return nullptr;
    return mappings_.at(it->second.mapping).bytes.data() + it->second.offset +
           (address - it->first);
}

void SimMappings::ReleaseIfUnused(std::uint32_t id) {
    auto it = mappings_.find(id);
    if (it != mappings_.end() && it->second.handles == 0 && it->second.views == 0)
        mappings_.erase(it);
}

} // namespace pindrel::sim
