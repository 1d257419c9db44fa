#include "platform/sim/SimComObjects.h"

#include <algorithm>

namespace pindrel::sim {

ComObject SimComObjects::Create(SimComKind kind, ComInterface iid) {
    const std::uint32_t object = nextObject_++;
    objects_[object] = kind;
    const std::uint64_t pointer = nextPointer_;
    nextPointer_ += 0x20;
    pointers_[pointer] = Pointer{object, iid};
    return ComObject{pointer};
}

ComObject SimComObjects::Another(ComObject pointer, ComInterface iid) {
    const auto found = pointers_.find(static_cast<std::uint64_t>(pointer));
    const std::uint64_t another = nextPointer_;
    nextPointer_ += 0x20;
    pointers_[another] = Pointer{found->second.object, iid};
    return ComObject{another};
}

const SimComKind* SimComObjects::Use(ComObject pointer,
                                     std::initializer_list<ComInterface> interfaces,
                                     const char* method) {
    const auto value = static_cast<std::uint64_t>(pointer);
    const auto found = pointers_.find(value);
    if (found == pointers_.end()) {
        log_.Fault(std::string(method) + (released_.count(value)
                                              ? " through a released interface pointer"
                                              : " through a pointer the shell never handed out"));
        return nullptr;
    }
    if (std::find(interfaces.begin(), interfaces.end(), found->second.iid) == interfaces.end()) {
        log_.Fault(std::string(method) + " through a pointer to another interface");
        return nullptr;
    }
    return &objects_.at(found->second.object);
}

std::uint32_t SimComObjects::Release(ComObject pointer) {
    const auto value = static_cast<std::uint64_t>(pointer);
    const auto found = pointers_.find(value);
    if (found == pointers_.end()) {
        log_.Fault(released_.count(value) ? "IUnknown_Release of a pointer released already"
                                          : "IUnknown_Release of a pointer the shell never "
                                            "handed out");
        return 0;
    }
    const std::uint32_t object = found->second.object;
    pointers_.erase(found);
    released_.insert(value);
    const auto left = std::count_if(pointers_.begin(), pointers_.end(), [&](const auto& entry) {
        return entry.second.object == object;
    });
    if (left == 0)
        objects_.erase(object);
    return static_cast<std::uint32_t>(left);
}

ComItemId SimComObjects::NewId(std::uint64_t itemSerial) {
    const std::uint64_t id = nextId_;
    nextId_ += 0x10;
    ids_[id] = itemSerial;
    return ComItemId{id};
}

const std::uint64_t* SimComObjects::Item(ComItemId id, const char* method) {
    const auto value = static_cast<std::uint64_t>(id);
    const auto found = ids_.find(value);
    if (found == ids_.end()) {
        log_.Fault(std::string(method) + (freed_.count(value) ? " with an item id freed already"
                                                              : " with an unknown item id"));
        return nullptr;
    }
    return &found->second;
}

void SimComObjects::Free(ComItemId id) {
    const auto value = static_cast<std::uint64_t>(id);
    if (value == 0)
        return; // CoTaskMemFree(NULL) does nothing
    if (ids_.erase(value) == 0) {
        log_.Fault(freed_.count(value) ? "CoTaskMemFree of an item id freed already"
                                       : "CoTaskMemFree of memory the shell never handed out");
        return;
    }
    freed_.insert(value);
}

} // namespace pindrel::sim
