#include "platform/sim/SimMessages.h"

#include "platform/sim/SimCodePage.h"

namespace pindrel::sim {

namespace {
constexpr UINT kFirstRegistered = 0xC000;
} // namespace

std::optional<SimMessage> SimMessages::Take(Hwnd window) {
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
        if (it->window == window) {
            const SimMessage message = *it;
            queue_.erase(it);
            return message;
        }
    }
    return std::nullopt;
}

UINT SimMessages::Register(const std::string& name) {
    for (std::size_t i = 0; i < registered_.size(); ++i) {
        if (SameTextIgnoringCase(registered_[i], name))
            return kFirstRegistered + static_cast<UINT>(i);
    }
    registered_.push_back(name);
    return kFirstRegistered + static_cast<UINT>(registered_.size() - 1);
}

} // namespace pindrel::sim
