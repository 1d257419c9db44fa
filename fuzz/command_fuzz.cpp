// The command text (the whole input): the silent switches through RunProgram, with a window that
// can and one that cannot be created, the first run being the window's Form_Load on a simulated
// desktop; the switch test against a check of its own; and ArgumentText on the input taken as a
// whole command line and as the arguments after a program's name.
#include "CommandLine.h"
#include "FakeProgramWindow.h" // tests/: the window the unit tests start the program with
#include "FuzzInput.h"
#include "ProgramStart.h"
#include "platform/sim/SimSession.h"

#include <string>
#include <string_view>
#include <vector>

using namespace pindrel;
using fuzz::Require;

namespace {

// "-s" or "-r", either letter in either case, with spaces (character 32 only) around.
bool Silent(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    const std::size_t last = text.find_last_not_of(' ');
    if (first == std::string_view::npos || last != first + 1 || text[first] != '-')
        return false;
    const char letter = static_cast<char>(text[last] | 0x20);
    return letter == 's' || letter == 'r';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const bool silent = Silent(text);
    Require(IsSilentCommand(text) == silent, "IsSilentCommand disagrees with the switch check");

    const std::string arguments = ArgumentText(text);
    Require(text.size() >= arguments.size() &&
                text.compare(text.size() - arguments.size(), arguments.size(), arguments) == 0,
            "ArgumentText is not a suffix of the command line");
    const std::size_t start = text.find_first_not_of(" \t");
    const std::string unblanked = start == std::string::npos ? "" : text.substr(start);
    Require(ArgumentText("\"C:\\Program Files\\Pindrel.exe\" " + text) == unblanked &&
                ArgumentText("Pindrel.exe\t" + text) == unblanked,
            "ArgumentText does not give the arguments after the program's name");

    std::error_code ignored;
    std::filesystem::remove_all(fuzz::ScratchFolder(), ignored);
    sim::SimSession session(fuzz::ScratchFolder());
    const sim::SimShell shell = session.CreateShell();
    session.AddItem(shell.listView, std::string("One"), Point{1, 2});
    session.SetCommandLine(text);

    for (const bool createFails : {false, true}) {
        testing::FakeProgramWindow window;
        window.createFails = createFails;
        RunProgram(session, session, window);
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
