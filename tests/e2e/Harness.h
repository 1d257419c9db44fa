// The end-to-end harness: Linux processes, the Wine sessions the Windows programs run in, and the
// fixtures the tests use.
//
// Environment variables:
//   PINDREL_EXE, DESKTOP_HOST_EXE, HOSTCTL_EXE, INIPROBE_EXE, WINCHECK_EXE
//                                  the programs (default: the windows-x64 build folder)
//   PINDREL_E2E_WINEPREFIX, PINDREL_E2E_X11_WINEPREFIX
//                                  the headless and the X11 prefix (default: "wineprefix" and
//                                  "wineprefix-x11" beside the test binary). A run ends every Wine
//                                  process of its prefixes, so nothing else may use them.
//   PINDREL_E2E_WITHOUT_WINE=1     skip every test, saying so (otherwise a Wine that cannot start
//                                  fails every test)
//   PINDREL_WINE64, PINDREL_WINESERVER
//                                  the 64-bit loader and server (scripts/wine-env.sh, through which
//                                  every Wine command runs; default: Debian's wine64 ones)
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;

// Only ends a hung process; no test measures time with it.
constexpr std::chrono::seconds kHangGuard{120};
constexpr int kX11Dpi = 120;

// What the harness throws when it cannot do its job; GoogleTest reports it as a failure.
struct HarnessError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct ProcessResult {
    int status = -1;   // exit status, or 128 + signal
    bool hung = false; // ended by the hang guard
    std::string out;
    std::string err;
    std::string Describe() const;
};

// A process in a process group of its own, ended with its group when it is destroyed.
class Process {
  public:
    Process() = default;
    // argv[0] is searched on PATH; stdin is /dev/null, stdout and stderr go to the two files.
    Process(const std::vector<std::string>& argv, const fs::path& cwd, int outFd, int errFd);
    ~Process() { Stop(); }
    Process(Process&& other) noexcept { *this = std::move(other); }
    Process& operator=(Process&& other) noexcept;

    bool running();
    // The exit status once the process has ended within `guard`.
    std::optional<int> Wait(std::chrono::milliseconds guard = kHangGuard);
    void Stop(int signal = 9);

  private:
    int pid_ = -1;
    std::optional<int> status_;
};

// Runs the program to its end (or the hang guard).
ProcessResult RunProcess(const std::vector<std::string>& argv, const fs::path& cwd);

std::string ReadFile(const fs::path& path); // throws when the file cannot be read
void WriteFile(const fs::path& path, const std::string& bytes);
// The "key=value" lines of a text (CR LF or LF), the last of a key winning.
std::map<std::string, std::string> Values(const std::string& text);
std::vector<std::string> FilesIn(const fs::path& folder); // sorted
// "Z:" and the absolute Unix path with "\" separators: how a Wine program sees a Unix file.
std::string WinPath(const fs::path& unixPath);
std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b);
// A program under test by its name ("pindrel", "desktop-host", "hostctl", "iniprobe",
// "wincheck"): the file its variable (PINDREL_EXE, DESKTOP_HOST_EXE, ...) names, else the one in
// the Windows build folder.
fs::path Exe(const std::string& name);

// One Wine prefix with its own wineserver: headless (the null graphics driver) or on an Xvfb
// display (the X11 driver, at kX11Dpi dots per inch). Each starts on first use and reports what
// went wrong when it cannot.
class WineSession {
  public:
    static WineSession& Headless();
    static WineSession& X11();
    static void StopAll();

    void Start();
    const std::string& failure() const { return failure_; } // empty when usable
    // What hostctl sysinfo reports: user, computer, screen, dpi, twipsperpixel, acp.
    const std::string& info(const std::string& key) const { return info_.at(key); }
    std::string ProfileKey() const { return info("user") + "@" + info("computer"); }

    // `wine <args...>` in `cwd`, waited for or left running with its output to `log`.
    ProcessResult Wine(const std::vector<std::string>& args, const fs::path& cwd) const;
    Process WineInBackground(const std::vector<std::string>& args, const fs::path& cwd,
                             const fs::path& log) const;

  private:
    explicit WineSession(bool x11) : x11_(x11) {}
    // `command` (wine, wineserver, pindrel_wine_prefix, eval ...) after sourcing
    // scripts/wine-env.sh with this session's prefix and display.
    std::vector<std::string> Shell(const std::vector<std::string>& command) const;
    void Boot();
    void Stop();

    bool x11_;
    bool started_ = false;
    std::string failure_;
    fs::path prefix_;
    std::string display_;
    Process xvfb_;
    std::map<std::string, std::string> info_;
};

// The stand-in desktop's state (its format is described in tools/desktop-host/desktop-host.cpp):
// the lines before the first list view, the desktop list view's "key=value" lines, and its icons
// in index order, each as the scenario writes it: "<x>,<y>,<name>", the name in UTF-8.
struct DesktopState {
    std::map<std::string, std::string> desktop;
    std::map<std::string, std::string> listView;
    std::vector<std::string> icons;
    int Number(const std::string& key) const { return std::stoi(listView.at(key)); }
};

// Windows programs run in a fresh folder per test (kept after the run under e2e-work/ for
// inspection), in the headless session unless a fixture names another; one stand-in desktop at a
// time (tools/desktop-host, which documents its scenario format), and pindrel.exe started through
// hostctl.exe.
class E2eTest : public ::testing::Test {
  protected:
    explicit E2eTest(WineSession& session = WineSession::Headless()) : session_(session) {}
    void SetUp() override;
    void TearDown() override;

    WineSession& session() const { return session_; }
    const fs::path& dir() const { return dir_; }
    // A copy of pindrel.exe (under `name`) in a sub-folder of the test's folder.
    fs::path CopyPindrel(const fs::path& subFolder, const std::string& name = "pindrel.exe");
    // One of the helper programs (hostctl, wincheck, iniprobe) run in the test's folder; throws
    // unless it ends with status 0 or `ok` (any status when `ok` is negative).
    ProcessResult Tool(const std::string& name, const std::vector<std::string>& args, int ok = 0);

    // Starts the stand-in desktop with this scenario and waits until it is ready; throws when it
    // does not get there.
    void StartDesktop(const std::string& scenario);
    DesktopState Dump();
    // hostctl's answer (its "key=value" lines) to a request that runs a program: `run <exe>
    // <line>` starts it with exactly that command line (CreateProcessA) and waits for it;
    // `runwindow` waits for its window and closes it; `runlocked <file> <exe> <line>` runs it
    // while `file` is held open and shared with nobody. Throws when it printed no exit code.
    std::map<std::string, std::string> HostRun(const std::vector<std::string>& args);
    // The exit status of `exe` started with exactly this command line.
    unsigned long Run(const fs::path& exe, const std::string& commandLine);
    // The layout file beside `exe`: user@computer@WxH.txt for this session.
    fs::path LayoutOf(const fs::path& exe) const;

  private:
    WineSession& session_;
    fs::path dir_;
    Process desktop_;
    int files_ = 0;
};

} // namespace e2e
