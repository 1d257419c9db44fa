#include "E2eTest.h"

#include <thread>

namespace e2e {

namespace {

// The value of "key=" in hostctl's output, if it printed one.
std::optional<std::string> OutputValue(const std::string& out, const std::string& key) {
    size_t pos = 0;
    while (pos < out.size()) {
        size_t end = out.find('\n', pos);
        if (end == std::string::npos)
            end = out.size();
        std::string line = out.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    }
    return std::nullopt;
}

std::string Describe(const ProcessResult& r) {
    return "status " + std::to_string(r.status) + (r.hung ? " (hung)" : "") + ", stdout: " + r.out +
           ", stderr: " + r.err;
}

} // namespace

void E2eTest::SetUp() {
    if (WineOptedOut())
        GTEST_SKIP() << "Wine left out at the user's request (PINDREL_E2E_WITHOUT_WINE=1)";
    ASSERT_TRUE(session().usable())
        << "end-to-end tests need Wine and the Windows build: " << session().unusableReason();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name) {
        if (c == '/')
            c = '_';
    }
    dir_ = session().workRoot() / name;
    fs::remove_all(dir_);
    fs::create_directories(dir_);
}

void E2eTest::TearDown() {
    if (desktop_.started() && !desktop_.Poll()) {
        HostCtl({"stop"});
        desktop_.Wait(std::chrono::seconds(10));
        desktop_.Kill();
    }
}

fs::path E2eTest::NextFile(const std::string& stem, const std::string& extension) {
    return dir_ / (stem + "-" + std::to_string(++files_) + extension);
}

ProcessResult E2eTest::HostCtl(const std::vector<std::string>& args) {
    std::vector<std::string> all{session().hostctlExe().string()};
    all.insert(all.end(), args.begin(), args.end());
    return session().Wine(all, dir_);
}

DesktopStart E2eTest::TryStartDesktop(const std::string& scenarioText) {
    if (DesktopRunning())
        throw HarnessError("a stand-in desktop is running already");
    const fs::path scenario = NextFile("scenario", ".txt");
    const fs::path ready = NextFile("desktop-ready", ".txt");
    const fs::path log = dir_ / "desktop-host.log";
    WriteFile(scenario, scenarioText);
    desktop_ = session().WineInBackground(
        {session().desktopHostExe().string(), WinPath(scenario), WinPath(ready)}, dir_, log);

    DesktopStart start;
    const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
    while (!fs::exists(ready)) {
        if ((start.exitStatus = desktop_.Poll()))
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            desktop_.Kill();
            throw HarnessError("the stand-in desktop hung while starting: " + ReadFile(log));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    start.ready = !start.exitStatus;
    start.log = ReadFile(log);
    return start;
}

void E2eTest::StartDesktop(const Scenario& scenario) {
    DesktopStart start = TryStartDesktop(scenario.Text());
    if (!start.ready)
        throw HarnessError("the stand-in desktop ended with status " +
                           std::to_string(*start.exitStatus) + ": " + start.log);
}

bool E2eTest::DesktopRunning() {
    return desktop_.started() && !desktop_.Poll();
}

DesktopState E2eTest::Dump() {
    const fs::path file = NextFile("desktop-state", ".txt");
    ProcessResult r = HostCtl({"dump", WinPath(file)});
    if (r.status != 0)
        throw HarnessError("hostctl dump failed: " + Describe(r));
    return ParseDesktopState(ReadFile(file));
}

int E2eTest::StopDesktop() {
    if (!desktop_.started())
        throw HarnessError("no stand-in desktop was started");
    ProcessResult r = HostCtl({"stop"});
    if (r.status != 0)
        throw HarnessError("hostctl stop failed: " + Describe(r));
    std::optional<int> status = desktop_.Wait(kHangGuard);
    if (!status) {
        desktop_.Kill();
        throw HarnessError("the stand-in desktop did not end");
    }
    return *status;
}

fs::path E2eTest::CopyPindrel(const std::string& name, const fs::path& subFolder) {
    const fs::path folder = dir_ / subFolder;
    fs::create_directories(folder);
    const fs::path copy = folder / name;
    fs::copy_file(session().pindrelExe(), copy, fs::copy_options::overwrite_existing);
    return copy;
}

ExactRun E2eTest::RunExact(const fs::path& exe, const std::string& commandLine) {
    ProcessResult r = HostCtl({"run", WinPath(exe), commandLine});
    std::optional<std::string> code = OutputValue(r.out, "exit");
    if (!code)
        throw HarnessError("hostctl run did not run " + exe.string() + ": " + Describe(r));
    return ExactRun{std::stoul(*code), r.out, r.err};
}

WindowRun E2eTest::RunWindow(const fs::path& exe, const std::string& commandLine) {
    ProcessResult r = HostCtl({"runwindow", WinPath(exe), commandLine});
    std::optional<std::string> window = OutputValue(r.out, "window");
    std::optional<std::string> code = OutputValue(r.out, "exit");
    if (!window || !code)
        throw HarnessError("hostctl runwindow did not run " + exe.string() + ": " + Describe(r));
    WindowRun run;
    run.appeared = !window->empty();
    size_t bar = window->find('|');
    run.windowClass = window->substr(0, bar);
    run.title = bar == std::string::npos ? "" : window->substr(bar + 1);
    run.running = OutputValue(r.out, "running").value_or("0") == "1";
    run.exitCode = std::stoul(*code);
    return run;
}

void PindrelTest::SetUp() {
    E2eTest::SetUp();
    if (IsSkipped())
        return;
    ASSERT_TRUE(session().hasPindrel())
        << "pindrel.exe not found at " << session().pindrelExe()
        << ": build the windows-x64 preset, or name it with PINDREL_EXE";
}

} // namespace e2e
