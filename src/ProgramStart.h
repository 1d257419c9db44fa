// How the program starts: its window is made, its load event runs, and a silent save or restore
// ends there while an interactive run shows the window and runs its message loop.
#pragma once

#include "frmMain.h"
#include "platform/Controls.h"
#include "platform/Runtime.h"
#include "platform/WindowsApi.h"

#include <string>

namespace pindrel {

// The program's window as its start-up sees it.
class ProgramWindow {
  public:
    virtual ~ProgramWindow() = default;
    // Creates the window and its controls, hidden. Throws std::exception naming the window when
    // the platform refuses.
    virtual void Create() = 0;
    virtual Controls& controls() = 0;
    // The logic that receives the window's events; nullptr detaches it.
    virtual void Attach(frmMain* logic) = 0;
    // Whether the logic has asked for the window to close.
    virtual bool closeRequested() const = 0;
    virtual void Show() = 0;
    virtual void Destroy() = 0;
    // Runs the message loop until the window has closed; returns the process's exit code.
    virtual int RunMessageLoop() = 0;
    // Tells the person at the screen why the program could not start or go on, and waits until
    // they have read it.
    virtual void ShowStartFailure(const std::string& message) = 0;
};

// Runs the program and returns its exit status. The command text is read before anything else:
// under "-s" / "-r" nobody may be watching (a scheduled task, a log-on script), so no path waits
// for a person; a window that cannot be created ends the run with ExitStatus::StartFailed.
int RunProgram(WindowsApi& api, Runtime& runtime, ProgramWindow& window);

} // namespace pindrel
