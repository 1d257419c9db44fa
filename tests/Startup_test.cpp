// The program's start-up with a window that can or cannot be created: a silent run never waits
// for a person.
#include "ProgramStart.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace pindrel;

namespace {

class FakeWindow final : public ProgramWindow {
  public:
    bool createFails = false, shown = false;
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

} // namespace

class Startup : public pindrel::testing::SimTest {};

TEST_F(Startup, SilentRunsNeverShowAMessageAndEndWithTheirStatus) {
    const struct {
        const char* command;
        bool createFails;
        int status;
        bool messageShown, windowShown;
    } scenes[] = {
        {"-s", true, 3, false, false},  {" -R ", true, 3, false, false},
        {"", true, 3, true, false},     {"-s x", true, 3, true, false},
        {"-s", false, 0, false, false}, {"", false, 0, false, true},
    };
    Desktop({{"One", {1, 2}}});
    for (const auto& scene : scenes) {
        SCOPED_TRACE(std::string("\"") + scene.command + "\"" +
                     (scene.createFails ? ", the window cannot be created" : ""));
        session->SetCommandLine(scene.command);
        FakeWindow window;
        window.createFails = scene.createFails;
        EXPECT_EQ(RunProgram(*session, *session, window), scene.status);
        EXPECT_EQ(window.startFailures.size(), scene.messageShown ? 1u : 0u);
        EXPECT_EQ(window.shown, scene.windowShown);
        EXPECT_TRUE(window.headless.errors.empty());
    }
}
