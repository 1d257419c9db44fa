// The end-to-end harness: Linux processes, the Wine sessions the Windows programs run in, and the
// fixtures the tests use.
//
// Environment variables:
//   PINDREL_EXE, DESKTOP_HOST_EXE, HOSTCTL_EXE, INIPROBE_EXE, WINCHECK_EXE, BROADCAST_EXE
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
#include <csignal>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;

// Only ends a hung process; no test measures time with it.
constexpr std::chrono::seconds kHangGuard{120};
constexpr int kX11Dpi = 120;

// When the harness cannot do its job it throws std::runtime_error, which GoogleTest reports as a
// failure.

struct ProcessResult {
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
    std::string Describe() const {
        return "status " + std::to_string(status) + ", stdout: " + out + ", stderr: " + err;
    }
};

// A process in a process group of its own, ended with its group when it is destroyed.
class Process {
  public:
    // argv[0] is searched on PATH; stdin is /dev/null, stdout and stderr go to the two files.
    Process(const std::vector<std::string>& argv, const fs::path& cwd, int outFd, int errFd);
    ~Process() { Stop(); }

    bool running() {
        int raw = 0;
        if (pid_ > 0 && !status_ && waitpid(pid_, &raw, WNOHANG) == pid_)
            status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        return pid_ > 0 && !status_;
    }
    // The exit status once the process has ended within `guard`.
    std::optional<int> Wait(std::chrono::milliseconds guard = kHangGuard) {
        const auto deadline = std::chrono::steady_clock::now() + guard;
        while (running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return status_;
    }
    void Stop(int signal = SIGKILL) {
        if (running() && kill(-pid_, signal) == 0 && !Wait(std::chrono::seconds(10))) {
            kill(-pid_, SIGKILL);
            Wait();
        }
    }

  private:
    int pid_ = -1;
    std::optional<int> status_;
};

// Runs the program to its end (or the hang guard).
ProcessResult RunProcess(const std::vector<std::string>& argv, const fs::path& cwd);

// The environment variable's value, or `fallback` when it is unset or empty.
std::string Env(const char* name, const std::string& fallback = "");
std::string ReadFile(const fs::path& path); // throws when the file cannot be read
void WriteFile(const fs::path& path, const std::string& bytes);
// The "key=value" lines of a text (CR LF or LF), the last of a key winning.
std::map<std::string, std::string> Values(const std::string& text);
std::set<std::string> FilesIn(const fs::path& folder);
// "Z:" and the absolute Unix path with "\" separators: how a Wine program sees a Unix file.
std::string WinPath(const fs::path& unixPath);
std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b);

// One Wine prefix with its own wineserver: headless (the null graphics driver) or on an Xvfb
// display (the X11 driver, at kX11Dpi dots per inch). Each starts on first use and reports what
// went wrong when it cannot.
class WineSession {
  public:
    // The headless session, or the X11 one.
    static WineSession& Of(bool x11) {
        static WineSession sessions[2] = {WineSession(false), WineSession(true)};
        return sessions[x11];
    }

    // What went wrong when the session cannot be used; empty when it can.
    const std::string& Start();
    void Stop();
    ~WineSession() { Stop(); } // the sessions end with the run
    // What hostctl sysinfo reports: user, computer, screen, dpi, twipsperpixel, acp.
    const std::string& info(const std::string& key) const { return info_.at(key); }
    std::string ProfileKey() const { return info("user") + "@" + info("computer"); }

    // `wine <args...>` in `cwd`, waited for.
    ProcessResult Wine(const std::vector<std::string>& args, const fs::path& cwd) const {
        return RunProcess(Shell(Concat({"wine"}, args)), cwd);
    }
    // The same for a Windows user of the given name (Wine takes the user's name from $USER).
    ProcessResult WineAs(const std::string& user, const std::vector<std::string>& args,
                         const fs::path& cwd) const {
        return RunProcess(
            Shell(
                Concat({"bash", "-c", "USER=\"$1\" LOGNAME=\"$1\" exec \"$WINELOADER\" \"${@:2}\"",
                        "wine-as", user},
                       args)),
            cwd);
    }
    // `command` (as Shell runs it: "wine", ...) started in `cwd` as `process`, its output
    // appended to `log`.
    void Background(std::optional<Process>& process, const std::vector<std::string>& command,
                    const fs::path& cwd, const fs::path& log) const;

  private:
    explicit WineSession(bool x11) : x11_(x11) {}
    // `command` (wine, wineserver, pindrel_wine_prefix, eval ...) after sourcing
    // scripts/wine-env.sh with this session's prefix and display.
    std::vector<std::string> Shell(const std::vector<std::string>& command) const;

    bool x11_;
    std::string failure_;
    fs::path prefix_;
    std::string display_;
    std::optional<Process> session_; // the shell that started the session (and Xvfb)
    std::map<std::string, std::string> info_;
};

// The stand-in desktop's state (its format is described in tools/desktop-host/desktop-host.cpp):
// the "key=value" lines of the desktop and of its list view, and its icons in index order, each
// as the scenario writes it: "<x>,<y>,<name>", the name in UTF-8.
struct DesktopState {
    std::map<std::string, std::string> values;
    std::vector<std::string> icons;
    int Number(const std::string& key) const { return std::stoi(values.at(key)); }
};

// Windows programs run in a fresh folder per test (kept after the run under e2e-work/ for
// inspection), in the headless session unless a fixture names another; one stand-in desktop at a
// time (tools/desktop-host, which documents its scenario format), and pindrel.exe started through
// hostctl.exe.
class E2eTest : public ::testing::Test {
  protected:
    explicit E2eTest(WineSession& session = WineSession::Of(false)) : session_(session) {}
    void SetUp() override;
    void TearDown() override;

    WineSession& session() const { return session_; }
    const fs::path& dir() const { return dir_; }
    // A copy of pindrel.exe (under `name`) in a sub-folder of the test's folder.
    fs::path CopyPindrel(const fs::path& subFolder, const std::string& name = "pindrel.exe");
    // One of the helper programs (hostctl, wincheck, iniprobe, broadcast) run in the test's folder;
    // throws unless it ends with status 0 or `ok` (any status when `ok` is negative).
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
    unsigned long Run(const fs::path& exe, const std::string& commandLine) {
        return std::stoul(HostRun({"run", WinPath(exe), commandLine}).at("exit"));
    }
    // The program, its layout and the layout a save replaced (its .bak, when there is one), and
    // no other file: no temporary one.
    std::set<std::string> AppFiles(const fs::path& exe) const {
        std::set<std::string> files = {LayoutOf(exe).filename().string(), exe.filename().string()};
        if (fs::exists(LayoutOf(exe).string() + ".bak"))
            files.insert(LayoutOf(exe).filename().string() + ".bak");
        return files;
    }
    // The layout file beside `exe`: user@computer@WxH.txt for this session.
    fs::path LayoutOf(const fs::path& exe) const {
        return exe.parent_path() /
               (session().ProfileKey() + "@" + session().info("screen") + ".txt");
    }

  private:
    WineSession& session_;
    fs::path dir_;
    std::optional<Process> desktop_;
    int files_ = 0;
};

} // namespace e2e
