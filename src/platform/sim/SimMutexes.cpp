#include "platform/sim/SimMutexes.h"

#include "platform/WindowsApi.h"

namespace pindrel::sim {

using namespace pindrel::win;

namespace {
constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorNotOwner = 288;
} // namespace

Handle SimMutexes::Create(BOOL initialOwner, const char16_t* name, DWORD& lastError) {
    lastError = ERROR_SUCCESS;
    std::uint32_t id = 0;
    if (name && *name) {
        for (auto& [key, mutex] : mutexes_) {
            if (mutex.name == name) {
                id = key;
                lastError = ERROR_ALREADY_EXISTS;
            }
        }
    }
    if (id == 0) {
        id = next_++;
        Mutex& created = mutexes_[id];
        created.name = name ? name : u"";
        if (initialOwner) {
            created.owner = handles_.current;
            created.count = 1;
        }
    }
    ++mutexes_[id].handles;
    SimKernelObject object;
    object.kind = SimKernelObject::Kind::Mutex;
    object.mutex = id;
    return handles_.Open(object);
}

Handle SimMutexes::Open(const char16_t* name, DWORD& lastError) {
    lastError = ERROR_SUCCESS;
    for (auto& [key, mutex] : mutexes_) {
        if (name && *name && mutex.name == name) {
            ++mutex.handles;
            SimKernelObject object;
            object.kind = SimKernelObject::Kind::Mutex;
            object.mutex = key;
            return handles_.Open(object);
        }
    }
    lastError = ERROR_FILE_NOT_FOUND;
    return Handle{0};
}

DWORD SimMutexes::Wait(Handle handle, DWORD milliseconds, DWORD& lastError) {
    const SimKernelObject* object = handles_.Mutex(handle);
    if (!object || object->holder != handles_.current) {
        lastError = kErrorInvalidHandle;
        return WAIT_FAILED;
    }
    Mutex& mutex = mutexes_.at(object->mutex);
    if (mutex.owner == Pid{}) {
        mutex.owner = handles_.current;
        mutex.count = 1;
        const bool abandoned = mutex.abandoned;
        mutex.abandoned = false;
        return abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
    }
    if (mutex.owner == handles_.current) {
        ++mutex.count; // a mutex can be waited for again by its owner
        return WAIT_OBJECT_0;
    }
    clock_.Advance(milliseconds);
    return WAIT_TIMEOUT;
}

BOOL SimMutexes::Release(Handle handle, DWORD& lastError) {
    const SimKernelObject* object = handles_.Mutex(handle);
    if (!object || object->holder != handles_.current) {
        lastError = kErrorInvalidHandle;
        return 0;
    }
    Mutex& mutex = mutexes_.at(object->mutex);
    if (mutex.owner != handles_.current) {
        lastError = kErrorNotOwner;
        return 0;
    }
    if (--mutex.count == 0)
        mutex.owner = Pid{};
    return 1;
}

void SimMutexes::HandleClosed(std::uint32_t mutex) {
    auto it = mutexes_.find(mutex);
    if (it != mutexes_.end() && --it->second.handles == 0)
        mutexes_.erase(it);
}

void SimMutexes::ProcessEnded(Pid process) {
    for (auto& entry : mutexes_) {
        if (entry.second.owner == process) {
            entry.second.owner = Pid{};
            entry.second.count = 0;
            entry.second.abandoned = true;
        }
    }
}

std::vector<std::u16string> SimMutexes::Names() const {
    std::vector<std::u16string> names;
    for (const auto& entry : mutexes_)
        names.push_back(entry.second.name);
    return names;
}

} // namespace pindrel::sim
