// The fixture of the end-to-end tests. Each test gets a fresh folder of its own (kept after the
// run for inspection), may start the stand-in desktop with a scenario, drive it with hostctl.exe
// and run Windows programs with exact command lines. A desktop left running is stopped when the
// test ends.
//
// The helpers throw HarnessError when the harness itself cannot do its job (a program that does
// not start, a request the host refuses); GoogleTest reports that as a failure of the test.
#pragma once

#include "DesktopState.h"
#include "Process.h"
#include "WineSession.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace e2e {

class HarnessError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A program run by `hostctl run`.
struct ExactRun {
    unsigned long exitCode = 0; // the Windows exit code, all 32 bits
    std::string out;            // hostctl's output
    std::string err;
};

// A program run by `hostctl runwindow`.
struct WindowRun {
    bool appeared = false; // a visible top-level window of the program appeared
    std::string windowClass;
    std::string title;
    bool running = false; // the program answered a request to that window and had not ended
    unsigned long exitCode = 0;
};

// The outcome of starting the stand-in desktop.
struct DesktopStart {
    bool ready = false;
    std::optional<int> exitStatus; // when the host ended instead of getting ready
    std::string log;               // its stdout and stderr so far
};

class E2eTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    static WineSession& session() { return WineSession::Instance(); }
    static const SysInfo& sysInfo() { return session().sysInfo(); }
    const fs::path& dir() const { return dir_; }

    // ---- the stand-in desktop --------------------------------------------------------------
    // Starts it and waits until it is ready; throws when it does not get there.
    void StartDesktop(const Scenario& scenario);
    // Starts it from a scenario text and reports what happened, ready or not.
    DesktopStart TryStartDesktop(const std::string& scenarioText);
    bool DesktopRunning();
    DesktopState Dump();
    // Stops it; gives the host's exit status.
    int StopDesktop();
    // `hostctl <args...>`, in the test's folder.
    ProcessResult HostCtl(const std::vector<std::string>& args);

    // ---- programs --------------------------------------------------------------------------
    // A copy of pindrel.exe in the test's folder (or a sub-folder of it), under `name`.
    fs::path CopyPindrel(const std::string& name = "pindrel.exe", const fs::path& subFolder = {});
    // Starts `exe` with exactly `commandLine` (CreateProcessA) and waits for it.
    ExactRun RunExact(const fs::path& exe, const std::string& commandLine);
    // Starts `exe` with exactly `commandLine`, waits for its window, closes it with WM_CLOSE.
    WindowRun RunWindow(const fs::path& exe, const std::string& commandLine);

  private:
    fs::path NextFile(const std::string& stem, const std::string& extension);

    fs::path dir_;
    BackgroundProcess desktop_;
    int files_ = 0;
};

// Tests of pindrel.exe itself: skipped while the Windows build has none.
class PindrelTest : public E2eTest {
  protected:
    void SetUp() override;
};

} // namespace e2e
