// The rule of the two procedures that go on after a failure (the start-up and the restore): each
// step runs, and a step that fails is dropped so that the next one runs.
#pragma once

#include "platform/Types.h"

#include <exception>

namespace pindrel {

template <typename Step> void ContinueOnFailure(Step&& step) noexcept {
    try {
        step();
    } catch (const std::exception&) {
        // Dropped on purpose: the caller goes on with its next step.
    }
}

// The same, except for a desktop that does not answer (errors::kNoAnswer): that failure stops the
// whole procedure, since every later request would wait for it too.
template <typename Step> void ContinueUnlessNoAnswer(Step&& step) {
    try {
        step();
    } catch (const Failure& failure) {
        if (failure.number() == errors::kNoAnswer) {
            throw;
        }
    } catch (const std::exception&) {
        // Dropped on purpose, as by ContinueOnFailure.
    }
}

} // namespace pindrel
