// A fresh simulated Windows session per test, in its own host folder, with helpers to set up the
// desktop.
#pragma once

#include "platform/sim/SimSession.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

namespace pindrel::testing {

// The files of user USER1 on DESK1 with the default 1024x768 screen and C:\Tools\Pindrel.exe.
inline const char* const kLayout = "C:\\Tools\\USER1@DESK1@1024x768.txt";
inline const char* const kIni = "C:\\Tools\\Pindrel.ini";

class SimTest : public ::testing::Test {
  protected:
    SimTest() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = std::filesystem::temp_directory_path() / "pindrel-tests" /
                (std::string(info->test_suite_name()) + "." + info->name());
        NewSession();
    }
    // Starts again with a fresh session in an empty host folder.
    void NewSession() {
        session.reset();
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
        session = std::make_unique<sim::SimSession>(root_);
        session->CreateFolder("C:\\Tools");
    }
    ~SimTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    // The standard shell with the given items, in a process of its own.
    sim::SimShell Desktop(std::initializer_list<std::pair<const char*, Point>> items,
                          DWORD style = 0) {
        sim::SimShell shell = session->CreateShell(sim::ShellShape::Standard, style);
        for (const auto& [name, position] : items) {
            session->AddItem(shell.listView, std::string(name), position);
        }
        return shell;
    }

    // Every platform object a procedure obtained must be released again.
    void ExpectNothingLeaked() {
        EXPECT_EQ(session->OpenHandles(), 0);
        EXPECT_EQ(session->LiveAllocations(), 0);
        EXPECT_EQ(session->LiveMappings(), 0);
        EXPECT_EQ(session->LiveViews(), 0);
        EXPECT_EQ(session->OpenFiles(), 0);
        EXPECT_TRUE(session->Faults().empty()) << session->Faults().front();
    }

    std::filesystem::path root_;
    std::unique_ptr<sim::SimSession> session;
};

} // namespace pindrel::testing
