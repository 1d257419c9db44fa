// How a silent run ("-s" / "-r") ended, as the process's exit status, and the failure that ends a
// save or a restore with one.
#pragma once

#include "platform/Types.h"

namespace pindrel {

enum class ExitStatus : int {
    Ok = 0,                // the save or the restore ran to its end (and every interactive run)
    NoDesktop = 1,         // no desktop list view was found
    WriteFailed = 2,       // the layout file could not be written
    StartFailed = 3,       // the program's window could not be created
    DesktopUnreadable = 4, // the desktop's icons could not be read (or it did not answer)
    LayoutUnreadable = 5,  // the layout file exists but could not be read
    Failed = 6,            // any other failure
};

// A failure that stops a save or a restore, with the status a silent run ends with because of it.
class RunFailure : public Failure {
  public:
    RunFailure(ExitStatus status, const Failure& failure) : Failure(failure), status_(status) {}
    ExitStatus status() const { return status_; }

  private:
    ExitStatus status_;
};

} // namespace pindrel
