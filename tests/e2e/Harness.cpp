#include "Harness.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace e2e {

namespace {

std::string Env(const char* name, const std::string& fallback = "") {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

const fs::path kHere = PINDREL_E2E_BINARY_DIR;

// A temporary file's bytes, read from the start through a descriptor of its own.
std::string Slurp(FILE* file) {
    const std::string bytes = ReadFile("/proc/self/fd/" + std::to_string(fileno(file)));
    std::fclose(file);
    return bytes;
}

} // namespace

std::string ProcessResult::Describe() const {
    return "status " + std::to_string(status) + (hung ? " (hung)" : "") + ", stdout: " + out +
           ", stderr: " + err;
}

Process::Process(const std::vector<std::string>& argv, const fs::path& cwd, int outFd, int errFd) {
    pid_ = fork();
    if (pid_ < 0)
        throw HarnessError("fork failed");
    if (pid_ == 0) {
        setpgid(0, 0);
        const int in = open("/dev/null", O_RDONLY);
        if (in < 0 || dup2(in, 0) < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0 ||
            chdir(cwd.c_str()) != 0)
            _exit(126);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        dprintf(2, "cannot run %s\n", args[0]);
        _exit(127);
    }
    setpgid(pid_, pid_);
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Stop();
        pid_ = std::exchange(other.pid_, -1);
        status_ = other.status_;
    }
    return *this;
}

bool Process::running() {
    int raw = 0;
    if (pid_ > 0 && !status_ && waitpid(pid_, &raw, WNOHANG) == pid_)
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return pid_ > 0 && !status_;
}

std::optional<int> Process::Wait(std::chrono::milliseconds guard) {
    const auto deadline = std::chrono::steady_clock::now() + guard;
    while (running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return status_;
}

void Process::Stop(int signal) {
    if (!running())
        return;
    kill(-pid_, signal);
    if (!Wait(std::chrono::seconds(10))) {
        kill(-pid_, SIGKILL);
        Wait();
    }
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const fs::path& cwd) {
    // Files, not pipes: a program under Wine may leave a helper holding its output open.
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    if (!out || !err)
        throw HarnessError("tmpfile failed");
    Process process(argv, cwd, fileno(out), fileno(err));
    ProcessResult result;
    result.hung = !process.Wait();
    process.Stop();
    result.status = process.Wait().value_or(-1);
    result.out = Slurp(out);
    result.err = Slurp(err);
    return result;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw HarnessError("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        throw HarnessError("cannot write " + path.string());
}

std::map<std::string, std::string> Values(const std::string& text) {
    std::map<std::string, std::string> values;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (const size_t eq = line.find('='); eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

std::vector<std::string> FilesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string WinPath(const fs::path& unixPath) {
    std::string path = fs::absolute(unixPath).lexically_normal().string();
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

fs::path Exe(const std::string& name) {
    std::string variable = name + "_EXE";
    for (char& c : variable)
        c = c == '-' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string named = Env(variable.c_str());
    if (!named.empty())
        return fs::absolute(named);
    return fs::path(PINDREL_E2E_WINDOWS_BUILD) /
           (name == "pindrel" ? "src/platform/native" : "tools/desktop-host") / (name + ".exe");
}

WineSession& WineSession::Headless() {
    static WineSession session(false);
    return session;
}

WineSession& WineSession::X11() {
    static WineSession session(true);
    return session;
}

void WineSession::StopAll() {
    Headless().Stop();
    X11().Stop();
}

std::vector<std::string> WineSession::Shell(const std::vector<std::string>& command) const {
    const fs::path script = fs::path(PINDREL_E2E_SOURCE_DIR) / "scripts" / "wine-env.sh";
    return Concat({"env", "PINDREL_WINEPREFIX=" + prefix_.string(), "DISPLAY=" + display_,
                   "PINDREL_WINE_GRAPHICS=" + std::string(x11_ ? "x11" : ""), "bash", "-c",
                   "source \"$0\" && \"$@\"", script.string()},
                  command);
}

void WineSession::Start() {
    if (started_)
        return;
    started_ = true;
    try {
        Boot();
    } catch (const std::exception& e) {
        failure_ = e.what();
    }
}

void WineSession::Boot() {
    for (const char* name : {"pindrel", "desktop-host", "hostctl", "iniprobe", "wincheck"}) {
        if (access(Exe(name).c_str(), R_OK) != 0)
            throw HarnessError(Exe(name).string() + " not found: build the windows-x64 preset (or "
                                                    "name the program's variable)");
    }
    prefix_ = fs::absolute(Env(x11_ ? "PINDREL_E2E_X11_WINEPREFIX" : "PINDREL_E2E_WINEPREFIX",
                               kHere / (x11_ ? "wineprefix-x11" : "wineprefix")));
    if (x11_) {
        // Xvfb on a display number of its own choosing, written to its stdout once it is ready.
        const fs::path number = kHere / "xvfb.display";
        const fs::path log = kHere / "xvfb.log";
        fs::remove(number);
        const int out = open(number.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        xvfb_ =
            Process({"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
                    kHere, out, err);
        close(out);
        close(err);
        const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
        while (ReadFile(number).find('\n') == std::string::npos) {
            if (!xvfb_.running() || std::chrono::steady_clock::now() > deadline)
                throw HarnessError("Xvfb did not start: " + ReadFile(log));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        display_ = ":" + ReadFile(number).substr(0, ReadFile(number).find('\n'));
    }
    // Programs left over from an earlier run that did not end cleanly.
    if (fs::exists(prefix_ / "system.reg"))
        RunProcess(Shell({"wineserver", "-k"}), kHere);
    // On X11, with no window manager Wine draws the frames itself; its caption buttons need the
    // Marlett font, which Debian's Wine does not put into a new prefix. Wine's desktop process
    // keeps the DPI it started with, so the server starts again once the DPI is set, as a change
    // on Windows takes a new logon.
    const std::string x11 =
        " && wine reg add 'HKCU\\Software\\Wine\\X11 Driver' /v Decorated /d N /f"
        " && wine reg add 'HKCU\\Control Panel\\Desktop' /v LogPixels /t REG_DWORD /d " +
        std::to_string(kX11Dpi) +
        " /f && { cp /usr/share/wine/fonts/marlett.ttf \"$WINEPREFIX/drive_c/windows/Fonts/\";"
        " true; } && { wineserver -k; wineserver -w; } && pindrel_wine_prefix";
    const ProcessResult boot =
        RunProcess(Shell({"eval", "pindrel_wine_prefix" + (x11_ ? x11 : "")}), kHere);
    if (boot.status != 0 || !fs::exists(prefix_ / "system.reg"))
        throw HarnessError("the Wine prefix " + prefix_.string() +
                           " could not be made: " + boot.Describe());
    const ProcessResult r = Wine({Exe("hostctl").string(), "sysinfo"}, kHere);
    info_ = Values(r.out);
    for (const char* key : {"user", "computer", "screen", "dpi", "twipsperpixel", "acp"}) {
        if (r.status != 0 || !info_.count(key))
            throw HarnessError("hostctl.exe sysinfo does not run under Wine: " + r.Describe());
    }
}

void WineSession::Stop() {
    if (started_ && fs::exists(prefix_ / "system.reg"))
        RunProcess(Shell({"wineserver", "-k"}), kHere);
    xvfb_.Stop(SIGTERM); // SIGTERM: Xvfb removes its lock file and socket
    started_ = false;
}

ProcessResult WineSession::Wine(const std::vector<std::string>& args, const fs::path& cwd) const {
    return RunProcess(Shell(Concat({"wine"}, args)), cwd);
}

Process WineSession::WineInBackground(const std::vector<std::string>& args, const fs::path& cwd,
                                      const fs::path& log) const {
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    Process process(Shell(Concat({"wine"}, args)), cwd, fd, fd);
    close(fd);
    return process;
}

// ---- the fixture ---------------------------------------------------------------------------

void E2eTest::SetUp() {
    if (Env("PINDREL_E2E_WITHOUT_WINE") == "1")
        GTEST_SKIP() << "Wine left out at the user's request (PINDREL_E2E_WITHOUT_WINE=1)";
    session_.Start();
    ASSERT_EQ(session_.failure(), "") << "end-to-end tests need Wine and the Windows build";
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    std::replace(name.begin(), name.end(), '/', '_');
    dir_ = kHere / "e2e-work" / name;
    fs::remove_all(dir_);
    fs::create_directories(dir_);
}

fs::path E2eTest::CopyPindrel(const fs::path& subFolder, const std::string& name) {
    fs::create_directories(dir_ / subFolder);
    fs::copy_file(Exe("pindrel"), dir_ / subFolder / name, fs::copy_options::overwrite_existing);
    return dir_ / subFolder / name;
}

ProcessResult E2eTest::Tool(const std::string& name, const std::vector<std::string>& args, int ok) {
    const ProcessResult r = session_.Wine(Concat({Exe(name).string()}, args), dir_);
    if (r.status != 0 && r.status != ok && ok >= 0)
        throw HarnessError(name + " " + args.front() + " failed: " + r.Describe());
    return r;
}

// ---- the stand-in desktop ----------------------------------------------------------------

// The next test's desktop must not meet this one: the host is stopped and waited for.
void E2eTest::TearDown() {
    if (desktop_.running()) {
        Tool("hostctl", {"stop"}, -1);
        desktop_.Wait();
    }
}

void E2eTest::StartDesktop(const std::string& scenario) {
    const std::string n = std::to_string(++files_);
    const fs::path file = dir() / ("scenario-" + n + ".txt");
    const fs::path ready = dir() / ("desktop-ready-" + n + ".txt");
    const fs::path log = dir() / "desktop-host.log";
    WriteFile(file, scenario);
    desktop_ = session().WineInBackground(
        {Exe("desktop-host").string(), WinPath(file), WinPath(ready)}, dir(), log);
    const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
    while (!fs::exists(ready)) {
        if (!desktop_.running() || std::chrono::steady_clock::now() > deadline)
            throw HarnessError("the stand-in desktop did not get ready: " + ReadFile(log));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

DesktopState E2eTest::Dump() {
    const fs::path file = dir() / ("desktop-state-" + std::to_string(++files_) + ".txt");
    Tool("hostctl", {"dump", WinPath(file)});
    const std::string text = ReadFile(file);
    // From "[listview 0]" its "key=value" lines up to its count, then one
    // "<index>,<x>,<y>,<text>" line per item.
    const size_t begin = text.find("[listview 0]\r\n");
    const size_t items = text.find("\r\ncount=", begin);
    if (begin == std::string::npos || items == std::string::npos)
        throw HarnessError("no desktop list view in the state: " + text);
    DesktopState state{
        Values(text.substr(0, begin)), Values(text.substr(begin, items - begin)), {}};
    std::istringstream in(text.substr(items + 8));
    int count = -1;
    std::string line;
    in >> count;
    std::getline(in, line);
    for (int i = 0; i < count; ++i) {
        const std::string index = std::to_string(i) + ",";
        if (!std::getline(in, line) || line.rfind(index, 0) != 0 || line.back() != '\r')
            throw HarnessError("an incomplete state: " + text);
        state.icons.push_back(line.substr(index.size(), line.size() - index.size() - 1));
    }
    return state;
}

std::map<std::string, std::string> E2eTest::HostRun(const std::vector<std::string>& args) {
    // Wine now and then fails to start a process at all (CreateProcess error 1359) while the
    // machine is busy; nothing has run then, so one more try hides no fault of the program.
    ProcessResult r = Tool("hostctl", args, -1);
    if (r.err.find("(error 1359)") != std::string::npos)
        r = Tool("hostctl", args, -1);
    auto values = Values(r.out);
    if (!values.count("exit"))
        throw HarnessError("hostctl " + args.front() + " ran nothing: " + r.Describe());
    return values;
}

unsigned long E2eTest::Run(const fs::path& exe, const std::string& commandLine) {
    return std::stoul(HostRun({"run", WinPath(exe), commandLine}).at("exit"));
}

fs::path E2eTest::LayoutOf(const fs::path& exe) const {
    return exe.parent_path() / (session().ProfileKey() + "@" + session().info("screen") + ".txt");
}

} // namespace e2e

namespace {

struct StopSessions : ::testing::Environment {
    void TearDown() override { e2e::WineSession::StopAll(); }
};

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new StopSessions);
    return RUN_ALL_TESTS();
}
