#include "Harness.h"

#include <algorithm>
#include <cmath>
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
const std::string kLoader = Env("WINELOADER", "/usr/lib/wine/wine64");
const std::string kServer = Env("WINESERVER", "/usr/lib/wine/wineserver64");

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

bool WineOptedOut() {
    return Env("PINDREL_E2E_WITHOUT_WINE") == "1";
}

const Programs& Exes() {
    // The program named by the environment variable, else the one in the Windows build folder.
    static const Programs programs = [] {
        const auto locate = [](const char* variable, const char* inBuild) {
            const std::string named = Env(variable);
            return named.empty() ? fs::path(PINDREL_E2E_WINDOWS_BUILD) / inBuild
                                 : fs::absolute(named);
        };
        return Programs{locate("PINDREL_EXE", "src/platform/native/pindrel.exe"),
                        locate("DESKTOP_HOST_EXE", "tools/desktop-host/desktop-host.exe"),
                        locate("HOSTCTL_EXE", "tools/desktop-host/hostctl.exe"),
                        locate("INIPROBE_EXE", "tools/desktop-host/iniprobe.exe"),
                        locate("WINCHECK_EXE", "tools/desktop-host/wincheck.exe")};
    }();
    return programs;
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

std::vector<std::string> WineSession::WithEnv(const std::vector<std::string>& argv) const {
    std::vector<std::string> all{"env",
                                 "WINEPREFIX=" + prefix_.string(),
                                 "PINDREL_WINEPREFIX=" + prefix_.string(),
                                 "WINEDEBUG=-all",
                                 "WINEARCH=win64",
                                 "WINEDLLOVERRIDES=mscoree,mshtml=",
                                 "WINELOADER=" + kLoader,
                                 "WINESERVER=" + kServer,
                                 "PINDREL_WINE64=" + kLoader,
                                 "PINDREL_WINESERVER=" + kServer};
    if (x11_)
        all.insert(all.end(), {"DISPLAY=" + display_, "PINDREL_WINE_GRAPHICS=x11"});
    return Concat(all, argv);
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
    const Programs& exe = Exes();
    for (const fs::path& p : {exe.pindrel, exe.desktopHost, exe.hostctl, exe.iniprobe, exe.wincheck,
                              fs::path(kLoader), fs::path(kServer)}) {
        if (access(p.c_str(), R_OK) != 0)
            throw HarnessError(p.string() + " not found: build the windows-x64 preset (or name "
                                            "the program's variable), install wine64");
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
        RunProcess(WithEnv({kServer, "-k"}), kHere);
    const fs::path script = fs::path(PINDREL_E2E_SOURCE_DIR) / "scripts" / "wine-env.sh";
    const ProcessResult boot = RunProcess(
        WithEnv({"bash", "-c", "source \"$1\" && pindrel_wine_prefix", "bash", script.string()}),
        kHere);
    if (boot.status != 0 || !fs::exists(prefix_ / "system.reg"))
        throw HarnessError("the Wine prefix " + prefix_.string() +
                           " could not be made: " + boot.Describe());
    if (x11_) {
        // With no window manager Wine draws the frames itself; its caption buttons need the
        // Marlett font, which Debian's Wine does not put into a new prefix.
        const ProcessResult r = Wine({"reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v",
                                      "Decorated", "/t", "REG_SZ", "/d", "N", "/f"},
                                     kHere);
        if (r.status != 0)
            throw HarnessError("cannot set the X11 driver's options: " + r.Describe());
        const fs::path fonts = prefix_ / "drive_c" / "windows" / "Fonts";
        std::error_code ignored;
        fs::create_directories(fonts, ignored);
        fs::copy_file("/usr/share/wine/fonts/marlett.ttf", fonts / "marlett.ttf", ignored);
        dpi_ = 0; // unknown until set
    }
    const ProcessResult r = Wine({exe.hostctl.string(), "sysinfo"}, kHere);
    info_ = Values(r.out);
    for (const char* key : {"user", "computer", "screen", "dpi", "twipsperpixel", "acp"}) {
        if (r.status != 0 || !info_.count(key))
            throw HarnessError("hostctl.exe sysinfo does not run under Wine: " + r.Describe());
    }
}

void WineSession::Stop() {
    if (started_ && fs::exists(prefix_ / "system.reg") && Env("PINDREL_E2E_KEEP_WINESERVER") != "1")
        RunProcess(WithEnv({kServer, "-k"}), kHere);
    xvfb_.Stop(SIGTERM); // SIGTERM: Xvfb removes its lock file and socket
    started_ = false;
}

ProcessResult WineSession::Wine(const std::vector<std::string>& args, const fs::path& cwd) const {
    return RunProcess(WithEnv(Concat({kLoader}, args)), cwd);
}

Process WineSession::WineInBackground(const std::vector<std::string>& args, const fs::path& cwd,
                                      const fs::path& log) const {
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    Process process(WithEnv(Concat({kLoader}, args)), cwd, fd, fd);
    close(fd);
    return process;
}

void WineSession::SetDpi(int dpi) {
    if (dpi == dpi_)
        return;
    const ProcessResult r = Wine({"reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels",
                                  "/t", "REG_DWORD", "/d", std::to_string(dpi), "/f"},
                                 kHere);
    if (r.status != 0)
        throw HarnessError("cannot set the DPI: " + r.Describe());
    for (const char* step : {"-k", "-w", "-p"})
        RunProcess(WithEnv({kServer, step}), kHere);
    dpi_ = dpi;
}

// ---- the fixture ---------------------------------------------------------------------------

void E2eTest::SetUp() {
    if (WineOptedOut())
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

void E2eTest::TearDown() {
    if (desktop_.running()) {
        HostCtl({"stop"});
        desktop_.Wait(std::chrono::seconds(10));
    }
    desktop_.Stop();
}

ProcessResult E2eTest::HostCtl(const std::vector<std::string>& args) {
    return session_.Wine(Concat({Exes().hostctl.string()}, args), dir_);
}

void E2eTest::MustHostCtl(const std::vector<std::string>& args) {
    const ProcessResult r = HostCtl(args);
    if (r.status != 0)
        throw HarnessError("hostctl " + args.front() + " failed: " + r.Describe());
}

void E2eTest::StartDesktop(const Scenario& scenario) {
    const std::string n = std::to_string(++files_);
    const fs::path file = dir_ / ("scenario-" + n + ".txt");
    const fs::path ready = dir_ / ("desktop-ready-" + n + ".txt");
    const fs::path log = dir_ / "desktop-host.log";
    std::string text = std::string("autoarrange=") + (scenario.autoArrange ? "1" : "0") +
                       "\nshape=" + scenario.shape + "\n";
    for (const auto* icons : {&scenario.icons, &scenario.second}) {
        if (icons == &scenario.second && !icons->empty())
            text += "[second]\n";
        for (const Icon& i : *icons)
            text += std::to_string(i.x) + "," + std::to_string(i.y) + "," + i.name + "\n";
    }
    WriteFile(file, text);
    desktop_ = session_.WineInBackground(
        {Exes().desktopHost.string(), WinPath(file), WinPath(ready)}, dir_, log);
    const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
    while (!fs::exists(ready)) {
        if (!desktop_.running() || std::chrono::steady_clock::now() > deadline)
            throw HarnessError("the stand-in desktop did not get ready: " + ReadFile(log));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int E2eTest::StopDesktop() {
    MustHostCtl({"stop"});
    const std::optional<int> status = desktop_.Wait();
    if (!status)
        throw HarnessError("the stand-in desktop did not end");
    return *status;
}

ListViewState E2eTest::Dump() {
    const fs::path file = dir_ / ("desktop-state-" + std::to_string(++files_) + ".txt");
    MustHostCtl({"dump", WinPath(file)});
    const std::string text = ReadFile(file);
    // The desktop list view's part: from "[listview 0]" its "key=value" lines up to its count,
    // then one "<index>,<x>,<y>,<text>" line per item.
    const size_t begin = text.find("[listview 0]\r\n");
    const size_t items = text.find("\r\ncount=", begin);
    if (text.rfind("desktop-host state\r\n", 0) != 0 || begin == std::string::npos ||
        items == std::string::npos)
        throw HarnessError("no desktop list view in the state: " + text);
    const auto keys = Values(text.substr(begin, items - begin));
    std::istringstream in(text.substr(items + 8));
    int count = -1;
    std::string line;
    in >> count;
    std::getline(in, line);
    ListViewState state;
    for (int i = 0; i < count; ++i) {
        Icon icon;
        int index = -1;
        int used = 0;
        if (!std::getline(in, line) || line.empty() || line.back() != '\r' ||
            std::sscanf(line.c_str(), "%d,%d,%d,%n", &index, &icon.x, &icon.y, &used) != 3 ||
            index != i)
            throw HarnessError("an incomplete state: " + text);
        icon.name = line.substr(static_cast<size_t>(used), line.size() - 1 - used);
        state.icons.push_back(icon);
    }
    if (count < 0 || !keys.count("view") || !keys.count("moves"))
        throw HarnessError("an incomplete state: " + text);
    state.autoArrange = keys.at("autoarrange") == "1";
    state.view = std::stoi(keys.at("view"));
    state.moves = std::stoi(keys.at("moves"));
    state.arrangedMoves = std::stoi(keys.at("arrangedmoves"));
    return state;
}

fs::path E2eTest::CopyPindrel(const fs::path& subFolder, const std::string& name) {
    fs::create_directories(dir_ / subFolder);
    fs::copy_file(Exes().pindrel, dir_ / subFolder / name, fs::copy_options::overwrite_existing);
    return dir_ / subFolder / name;
}

std::map<std::string, std::string> E2eTest::HostRun(const std::vector<std::string>& args) {
    const ProcessResult r = HostCtl(args);
    auto values = Values(r.out);
    if (!values.count("exit"))
        throw HarnessError("hostctl " + args.front() + " ran nothing: " + r.Describe());
    return values;
}

void E2eTest::WriteSettings(const fs::path& ini,
                            const std::vector<std::vector<std::string>>& values) {
    std::vector<std::string> args{"writeini", WinPath(ini)};
    for (const auto& triple : values)
        args = Concat(args, triple);
    MustHostCtl(args);
}

fs::path E2eTest::LayoutOf(const fs::path& exe) const {
    return exe.parent_path() / (session_.ProfileKey() + "@" + session_.info("screen") + ".txt");
}

Icon E2eTest::DefaultStart() const {
    int size[2] = {};
    int dpi[2] = {};
    std::sscanf(session_.info("screen").c_str(), "%dx%d", &size[0], &size[1]);
    std::sscanf(session_.info("dpi").c_str(), "%d,%d", &dpi[0], &dpi[1]);
    int half[2] = {};
    for (int k = 0; k < 2; ++k) {
        const float twipsPerPixel = 1440.0f / static_cast<float>(dpi[k]);
        const long twips = std::lrint(static_cast<float>(size[k]) * twipsPerPixel);
        half[k] = static_cast<int>(
            std::lrint(static_cast<double>(twips / std::lrint(twipsPerPixel)) / 2.0));
    }
    return Icon{half[0], half[1], ""};
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
