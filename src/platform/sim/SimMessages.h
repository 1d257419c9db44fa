// Posted messages and registered window messages. A posted message waits in the queue of its
// window's thread until it is taken, in the order it was posted. A registered message has one
// number for its name (matched without regard to case) in the whole session, from 0xC000 up, as
// RegisterWindowMessage gives it.
#pragma once

#include "platform/Types.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace pindrel::sim {

struct SimMessage {
    Hwnd window{};
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class SimMessages {
  public:
    void Post(const SimMessage& message) { queue_.push_back(message); }
    // The oldest message posted to `window` that no one has taken yet.
    std::optional<SimMessage> Take(Hwnd window);
    UINT Register(const std::string& name);

  private:
    std::deque<SimMessage> queue_;
    std::vector<std::string> registered_;
};

} // namespace pindrel::sim
