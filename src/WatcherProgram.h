// The watcher's desktop over the program as it is: the item count through the desktop list view's
// requests, the layout file of the screen's present size, and the restore that "-r" makes, run
// exactly as "-r" runs it (view mode, placement settings, auto-arrange, the hold on painting).
#pragma once

#include "Watcher.h"
#include "frmMain.h"
#include "platform/Runtime.h"
#include "platform/WindowsApi.h"

namespace pindrel {

class WatcherProgram final : public WatcherDesktop {
  public:
    WatcherProgram(WindowsApi& api, Runtime& runtime) : api_(api), runtime_(runtime) {}

    // Nothing when no desktop list view is found, when it goes away while it is counted, and when
    // it does not answer or reports a count no desktop has.
    std::optional<std::int32_t> ItemCount() override;
    // True also for a file that exists but cannot be read, or whose folder cannot be reached: the
    // restore then reports it and moves nothing.
    bool LayoutExistsForScreen() override;
    // A frmMain on hidden controls whose start-up sees the command "-r".
    void Restore() override;

    // How the last restore ended, as "-r" would have ended.
    ExitStatus lastStatus() const { return lastStatus_; }

  private:
    WindowsApi& api_;
    Runtime& runtime_;
    ExitStatus lastStatus_ = ExitStatus::Ok;
};

} // namespace pindrel
