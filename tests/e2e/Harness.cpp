#include "Harness.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace e2e {

std::string Env(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

namespace {

const fs::path kHere = PINDREL_E2E_BINARY_DIR;

// A program under test by its name ("pindrel", "desktop-host", "hostctl", "iniprobe",
// "wincheck"): the file its variable (PINDREL_EXE, DESKTOP_HOST_EXE, ...) names, else the one in
// the Windows build folder.
fs::path Exe(const std::string& name) {
    std::string variable = name + "_EXE";
    for (char& c : variable)
        c = c == '-' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const fs::path exe = fs::absolute(Env(
        variable.c_str(), fs::path(PINDREL_E2E_WINDOWS_BUILD) /
                              (name == "pindrel" ? "src/platform/native" : "tools/desktop-host") /
                              (name + ".exe")));
    if (access(exe.c_str(), R_OK) != 0)
        throw std::runtime_error(exe.string() + " not found: build the windows-x64 preset");
    return exe;
}

// Waits until `ready()` holds while `process` runs; throws, with the log, when it ends first or
// hangs.
template <typename Ready>
void Await(Process& process, Ready ready, const std::string& what, const fs::path& log) {
    const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
    while (!ready()) {
        if (!process.running() || std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error(what + " did not come up: " + ReadFile(log));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

Process::Process(const std::vector<std::string>& argv, const fs::path& cwd, int outFd, int errFd) {
    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        setpgid(0, 0);
        const int in = open("/dev/null", O_RDONLY);
        if (in < 0 || dup2(in, 0) < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0 ||
            chdir(cwd.c_str()) != 0)
            _exit(126);
        std::vector<char*> args(argv.size() + 1); // ending with a null pointer
        std::transform(argv.begin(), argv.end(), args.begin(),
                       [](const std::string& a) { return const_cast<char*>(a.c_str()); });
        execvp(args[0], args.data());
        dprintf(2, "cannot run %s\n", args[0]);
        _exit(127);
    }
    setpgid(pid_, pid_);
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const fs::path& cwd) {
    // Files, not pipes: a program under Wine may leave a helper holding its output open.
    using File = std::unique_ptr<FILE, int (*)(FILE*)>;
    const File out(std::tmpfile(), std::fclose), err(std::tmpfile(), std::fclose);
    if (!out || !err)
        throw std::runtime_error("tmpfile failed");
    Process process(argv, cwd, fileno(out.get()), fileno(err.get()));
    process.Wait();
    process.Stop(); // a hung one
    // Each file read from the start through a descriptor of its own.
    const auto text = [](const File& f) {
        return ReadFile("/proc/self/fd/" + std::to_string(fileno(f.get())));
    };
    return {process.Wait().value_or(-1), text(out), text(err)};
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        throw std::runtime_error("cannot write " + path.string());
}

std::map<std::string, std::string> Values(const std::string& text) {
    std::map<std::string, std::string> values;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (const size_t eq = line.find('='); eq != std::string::npos) // without a CR at the end
            values[line.substr(0, eq)] = line.substr(eq + 1, line.find_last_not_of('\r') - eq);
    return values;
}

std::set<std::string> FilesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
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

std::vector<std::string> WineSession::Shell(const std::vector<std::string>& command) const {
    const fs::path script = fs::path(PINDREL_E2E_SOURCE_DIR) / "scripts" / "wine-env.sh";
    return Concat({"env", "PINDREL_WINEPREFIX=" + prefix_.string(), "DISPLAY=" + display_,
                   "PINDREL_WINE_GRAPHICS=" + std::string(x11_ ? "x11" : ""), "bash", "-c",
                   "source \"$0\" && \"$@\"", script.string()},
                  command);
}

const std::string& WineSession::Start() try {
    if (session_)
        return failure_;
    prefix_ = fs::absolute(Env(x11_ ? "PINDREL_E2E_X11_WINEPREFIX" : "PINDREL_E2E_WINEPREFIX",
                               kHere / (x11_ ? "wineprefix-x11" : "wineprefix")));
    // Programs left over from an earlier run that did not end cleanly are ended first. The X11
    // session's Xvfb lives as long as the shell that started it (scripts/wine-env.sh), which
    // names the display once the prefix is up.
    const fs::path log = prefix_.string() + "-session.log"; // beside the prefix, its own
    const std::string up =
        x11_ ? "pindrel_x11_session " + std::to_string(kX11Dpi) : "pindrel_wine_prefix";
    fs::remove(log);
    Background(session_,
               {"eval", "wineserver -k; " + up + " || exit 1; echo display=$DISPLAY; wait"}, kHere,
               log);
    Await(
        *session_, [&] { return Values(ReadFile(log)).count("display") > 0; },
        "the Wine session in " + prefix_.string(), log);
    display_ = Values(ReadFile(log)).at("display");
    const ProcessResult r = Wine({Exe("hostctl").string(), "sysinfo"}, kHere);
    info_ = Values(r.out);
    if (r.status != 0 || !info_.count("acp")) // the last line
        throw std::runtime_error("hostctl.exe sysinfo does not run under Wine: " + r.Describe());
    return failure_;
} catch (const std::exception& e) {
    return failure_ = e.what();
}

void WineSession::Stop() {
    if (session_ && fs::exists(prefix_ / "system.reg"))
        RunProcess(Shell({"wineserver", "-k"}), kHere);
    if (session_)
        session_->Stop(SIGTERM); // SIGTERM: Xvfb removes its lock file and socket
    session_.reset();
}

void WineSession::Background(std::optional<Process>& process,
                             const std::vector<std::string>& command, const fs::path& cwd,
                             const fs::path& log) const {
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    process.emplace(Shell(command), cwd, fd, fd);
    close(fd);
}

// ---- the fixture ---------------------------------------------------------------------------

void E2eTest::SetUp() {
    if (Env("PINDREL_E2E_WITHOUT_WINE") == "1")
        GTEST_SKIP() << "Wine left out at the user's request (PINDREL_E2E_WITHOUT_WINE=1)";
    ASSERT_EQ(session_.Start(), "") << "end-to-end tests need Wine and the Windows build";
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = kHere / "e2e-work" / (std::string(test->test_suite_name()) + "." + test->name());
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
        throw std::runtime_error(name + " " + args.front() + " failed: " + r.Describe());
    return r;
}

// ---- the stand-in desktop ----------------------------------------------------------------

// The next test's desktop must not meet this one: the host is stopped and waited for.
void E2eTest::TearDown() {
    if (desktop_ && desktop_->running()) {
        Tool("hostctl", {"stop"}, -1);
        desktop_->Wait();
    }
}

void E2eTest::StartDesktop(const std::string& scenario) {
    const fs::path file = dir() / ("scenario-" + std::to_string(++files_) + ".txt");
    const fs::path ready = fs::path(file).replace_extension(".ready");
    const fs::path log = dir() / "desktop-host.log";
    WriteFile(file, scenario);
    session().Background(desktop_,
                         {"wine", Exe("desktop-host").string(), WinPath(file), WinPath(ready)},
                         dir(), log);
    Await(
        *desktop_, [&] { return fs::exists(ready); }, "the stand-in desktop", log);
}

DesktopState E2eTest::Dump() {
    const fs::path file = dir() / ("desktop-state-" + std::to_string(++files_) + ".txt");
    Tool("hostctl", {"dump", WinPath(file)});
    const std::string text = ReadFile(file);
    // The desktop's lines and those of its list view (the first) up to its count, then one
    // "<index>,<x>,<y>,<text>" line per item.
    const size_t items = text.find("\r\ncount=", text.find("[listview 0]\r\n"));
    if (items == std::string::npos)
        throw std::runtime_error("no desktop list view in the state: " + text);
    DesktopState state{Values(text.substr(0, items)), {}};
    std::istringstream in(text.substr(items + 2));
    std::string line;
    std::getline(in, line); // count=<n>
    for (int i = std::stoi(line.substr(6)); i > 0 && std::getline(in, line); --i) {
        line.pop_back(); // its CR
        state.icons.push_back(line.substr(line.find(',') + 1));
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
        throw std::runtime_error("hostctl " + args.front() + " ran nothing: " + r.Describe());
    return values;
}

} // namespace e2e
