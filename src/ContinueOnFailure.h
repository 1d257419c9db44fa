// The rule of the two procedures that go on after a failure (the start-up and the restore): each
// step runs, and a step that fails is dropped so that the next one runs.
#pragma once

#include <exception>

namespace pindrel {

template <typename Step> void ContinueOnFailure(Step&& step) noexcept {
    try {
        step();
    } catch (const std::exception&) {
        // Dropped on purpose: the caller goes on with its next step.
    }
}

} // namespace pindrel
