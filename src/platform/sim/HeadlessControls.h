// The window's controls kept in memory, as the tests run frmMain on the simulated session: the
// program's own HiddenControls, whose state is public.
#pragma once

#include "HiddenControls.h"

namespace pindrel::sim {

using HeadlessControls = pindrel::HiddenControls;

} // namespace pindrel::sim
