#include "platform/sim/SimLog.h"

#include <algorithm>
#include <cstdio>

namespace pindrel::sim {

void SimLog::Call(const char* function, std::uint64_t wParam, std::int64_t lParam,
                  std::string detail) {
    calls_.push_back(SimCall{function, Hwnd{}, 0, wParam, lParam, std::move(detail)});
}

void SimLog::Call(SimCall call) {
    calls_.push_back(std::move(call));
}

void SimLog::Fault(std::string text) {
    faults_.push_back(std::move(text));
}

int SimLog::CountMessages(UINT message) const {
    return static_cast<int>(std::count_if(calls_.begin(), calls_.end(), [&](const SimCall& c) {
        return c.function == "SendMessageTimeoutA" && c.message == message;
    }));
}

int SimLog::CountCalls(const std::string& function) const {
    return static_cast<int>(std::count_if(
        calls_.begin(), calls_.end(), [&](const SimCall& c) { return c.function == function; }));
}

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
    return text;
}

} // namespace pindrel::sim
