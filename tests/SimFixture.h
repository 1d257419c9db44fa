// A fresh simulated Windows session per test, in its own host folder, with helpers to set up the
// desktop and to run the program's window headless on it.
#pragma once

#include "frmMain.h"
#include "platform/sim/HeadlessControls.h"
#include "platform/sim/SimCodePage.h"
#include "platform/sim/SimSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace pindrel::testing {

// The files of user USER1 on DESK1 with the default 1024x768 screen and C:\Tools\Pindrel.exe.
inline const char* const kLayout = "C:\\Tools\\USER1@DESK1@1024x768.txt";
inline const char* const kIni = "C:\\Tools\\Pindrel.ini";

using Items = std::vector<std::pair<const char*, Point>>;

// One value written into the settings file by the profile functions, as a test sets one up.
inline void WriteIni(sim::SimSession& s, const std::string& section, const std::string& key,
                     const std::string& value, const std::string& file = kIni) {
    s.WritePrivateProfileStringW(sim::Utf8ToUtf16(section).c_str(), sim::Utf8ToUtf16(key).c_str(),
                                 sim::Utf8ToUtf16(value).c_str(), sim::Utf8ToUtf16(file).c_str());
}

// A request to a simulated window as a test sends it: the answer, 0 when there was none.
inline LRESULT Send(sim::SimSession& s, Hwnd window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::uintptr_t answer = 0;
    s.SendMessageTimeoutA(window, message, wParam, lParam, 0, 5000, &answer);
    return static_cast<LRESULT>(answer);
}
// A fault a scene injects into the session, given the desktop list view.
using Fault = std::function<void(sim::SimSession&, Hwnd)>;

class SimTest : public ::testing::Test {
  protected:
    SimTest() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // A folder of its own per program bitness too: ctest may run both at once.
        root_ = std::filesystem::temp_directory_path() / "pindrel-tests" /
                (std::string(info->test_suite_name()) + "." + info->name() + "." +
                 std::to_string(sim::DefaultProgramBits()));
        NewSession();
    }
    // Starts again with a fresh session in an empty host folder, and returns it.
    sim::SimSession& NewSession() {
        session.reset();
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
        session = std::make_unique<sim::SimSession>(root_);
        session->CreateFolder("C:\\Tools");
        return *session;
    }
    ~SimTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    // The standard shell with the given items, in a process of its own.
    sim::SimShell Desktop(const Items& items, DWORD style = 0) {
        sim::SimShell shell = session->CreateShell(sim::ShellShape::Standard, style);
        for (const auto& [name, position] : items)
            session->AddItem(shell.listView, std::string(name), position);
        return shell;
    }
    std::vector<Point> Positions(Hwnd listView) {
        std::vector<Point> points;
        for (const auto& item : session->Items(listView))
            points.push_back(item.position);
        return points;
    }

    // Every platform object a procedure obtained must be released again, and (unless a test
    // provokes them) the simulated Windows saw no fault. Memory left to a shell that did not
    // answer (`leftToTheShell`) may stay.
    void ExpectNothingLeaked(bool noFaults = true, bool leftToTheShell = false) {
        EXPECT_EQ(session->OpenHandles(), 0);
        if (!leftToTheShell) {
            EXPECT_EQ(session->LiveAllocations(), 0);
        }
        EXPECT_EQ(session->LiveMappings(), 0);
        EXPECT_EQ(session->LiveViews(), 0);
        EXPECT_EQ(session->OpenFiles(), 0);
        EXPECT_TRUE(!noFaults || session->Faults().empty()) << session->Faults().front();
    }

    std::filesystem::path root_;
    std::unique_ptr<sim::SimSession> session;
};

// The program's window on the session, started afresh by each Start().
class FormTest : public SimTest {
  protected:
    // Starts the program with the given argument text, as Windows would.
    void Start(const std::string& command = "") {
        session->SetCommandLine(command);
        controls = std::make_unique<sim::HeadlessControls>();
        form = std::make_unique<frmMain>(*session, *session, *controls);
        form->Form_Load();
    }
    // The program's folder holds the layout file, and the one it replaced (when a save replaced
    // one), and nothing else: no temporary file is left.
    void ExpectOnlyTheLayoutFile() {
        std::vector<std::string> files = session->ListFolder("C:\\Tools");
        files.erase(std::remove(files.begin(), files.end(), "USER1@DESK1@1024x768.txt.bak"),
                    files.end());
        EXPECT_EQ(files, std::vector<std::string>{"USER1@DESK1@1024x768.txt"});
    }

    std::unique_ptr<sim::HeadlessControls> controls;
    std::unique_ptr<frmMain> form;
};

} // namespace pindrel::testing
