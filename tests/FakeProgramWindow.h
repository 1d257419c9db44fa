// The program's window with no screen behind it: headless controls, a Create() that fails on
// request, and a record of whether the window was shown and which start failures were reported.
#pragma once

#include "ProgramStart.h"
#include "platform/sim/HeadlessControls.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace pindrel::testing {

class FakeProgramWindow final : public ProgramWindow {
  public:
    bool createFails = false;
    bool shown = false;
    std::vector<std::string> startFailures;
    sim::HeadlessControls headless;

    void Create() override {
        if (createFails)
            throw std::runtime_error("The window \"Pindrel\" could not be created");
    }
    Controls& controls() override { return headless; }
    void Attach(frmMain*) override {}
    bool closeRequested() const override { return headless.closed; }
    void Show() override { shown = true; }
    void Destroy() override {}
    int RunMessageLoop() override { return 0; }
    void ShowStartFailure(const std::string& message) override { startFailures.push_back(message); }
};

} // namespace pindrel::testing
