// The command text (the whole input): the silent switches through RunProgram, with a window that
// can and one that cannot be created, the first run being the window's Form_Load on a simulated
// desktop; the switch test against a check of its own; and ArgumentText on the input taken as a
// whole command line, against a reading of this file's own.
#include "CommandLine.h"
#include "FuzzInput.h"
#include "ProgramStart.h"
#include "platform/sim/HeadlessControls.h"
#include "platform/sim/SimSession.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

using namespace pindrel;
using fuzz::Require;

namespace {

// The program's window with no screen behind it: headless controls, a Create() that fails on
// request, and a record of whether the window was shown and which start failures were reported.
struct FakeProgramWindow final : ProgramWindow {
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

// 's' or 'r' for "-s" or "-r", either letter in either case, with spaces (character 32 only)
// around; 0 for any other text.
char Switch(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    const std::size_t last = text.find_last_not_of(' ');
    if (first == std::string_view::npos || last != first + 1 || text[first] != '-')
        return 0;
    const char letter = static_cast<char>(text[last] | 0x20);
    return letter == 's' || letter == 'r' ? letter : 0;
}

// What follows the program's name and the blanks (space, tab) after it. A name that opens with a
// quote runs to the next quote, or to the end without one; any other name to the first blank.
std::string Arguments(const std::string& line) {
    std::size_t end = line.find_first_of(" \t");
    if (!line.empty() && line[0] == '"')
        end = std::min(line.find('"', 1), line.size() - 1) + 1;
    return line.substr(std::min(line.find_first_not_of(" \t", end), line.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char command = Switch(text);
    const bool silent = command != 0;
    Require(IsSilentCommand(text) == silent, "IsSilentCommand disagrees with the switch check");
    Require(ArgumentText(text) == Arguments(text), "ArgumentText is not what follows the name");

    std::error_code ignored;
    std::filesystem::remove_all(fuzz::ScratchFolder(), ignored);
    sim::SimSession session(fuzz::ScratchFolder());
    const sim::SimShell shell = session.CreateShell();
    session.AddItem(shell.listView, std::string("One"), Point{1, 2});
    session.SetCommandLine(text);

    for (const bool createFails : {false, true}) {
        FakeProgramWindow window;
        window.createFails = createFails;
        const int status = RunProgram(session, session, window);
        // No window: a start failure; with one, an interactive run and a save end well.
        Require(createFails ? status == 3 : command == 'r' || status == 0, "the wrong status");
        Require(window.headless.errors.empty(), "the program showed a message");
        Require(window.startFailures.empty() == (silent || !createFails),
                "a start failure was shown under a silent switch, or not shown without one");
        Require(window.shown == (!silent && !createFails), "the window was shown under a switch");
        Require(createFails || window.headless.closed == silent,
                "the window closed other than under a silent switch");
    }
    Require(silent || session.ListFolder("C:\\Tools").empty(),
            "a run without a silent switch wrote a file");
    return 0;
}
