#include "platform/sim/SimHandles.h"

namespace pindrel::sim {

Handle SimHandles::Open(SimKernelObject object) {
    const std::uint64_t handle = next_;
    next_ += 4;
    object.holder = current;
    objects_[handle] = object;
    return Handle{handle};
}

std::vector<SimKernelObject> SimHandles::CloseAllOf(Pid process) {
    std::vector<SimKernelObject> closed;
    for (auto it = objects_.begin(); it != objects_.end();) {
        if (it->second.holder == process) {
            closed.push_back(it->second);
            it = objects_.erase(it);
        } else {
            ++it;
        }
    }
    return closed;
}

const SimKernelObject* SimHandles::Process(Handle handle, DWORD access, DWORD anyOf) const {
    auto it = objects_.find(raw(handle));
    if (it == objects_.end() || it->second.kind != SimKernelObject::Kind::Process ||
        (it->second.access & access) != access || (anyOf != 0 && !(it->second.access & anyOf)))
        return nullptr;
    return &it->second;
}

const SimKernelObject* SimHandles::Mapping(Handle handle) const {
    auto it = objects_.find(raw(handle));
    return it == objects_.end() || it->second.kind != SimKernelObject::Kind::Mapping ? nullptr
                                                                                     : &it->second;
}

const SimKernelObject* SimHandles::Mutex(Handle handle) const {
    auto it = objects_.find(raw(handle));
    return it == objects_.end() || it->second.kind != SimKernelObject::Kind::Mutex ? nullptr
                                                                                   : &it->second;
}

std::optional<SimKernelObject> SimHandles::Close(Handle handle) {
    auto it = objects_.find(raw(handle));
    // A process closes only its own handles.
    if (it == objects_.end() || it->second.holder != current)
        return std::nullopt;
    const SimKernelObject closed = it->second;
    objects_.erase(it);
    return closed;
}

} // namespace pindrel::sim
