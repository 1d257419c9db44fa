#include "WineSession.h"

#include <cstdlib>
#include <map>
#include <stdexcept>
#include <unistd.h>

#ifndef PINDREL_E2E_SOURCE_DIR
#error "PINDREL_E2E_SOURCE_DIR must name the source tree"
#endif
#ifndef PINDREL_E2E_BINARY_DIR
#error "PINDREL_E2E_BINARY_DIR must name the test's build folder"
#endif
#ifndef PINDREL_E2E_WINDOWS_BUILD
#error "PINDREL_E2E_WINDOWS_BUILD must name the Windows build folder"
#endif

namespace e2e {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The program named by the environment variable, else the first candidate that exists in the
// Windows build folder (else the first candidate, to name it in the message).
fs::path Locate(const char* variable, const std::vector<const char*>& candidates) {
    if (std::string value = Env(variable); !value.empty())
        return fs::absolute(value);
    const fs::path build = PINDREL_E2E_WINDOWS_BUILD;
    for (const char* candidate : candidates) {
        if (fs::exists(build / candidate))
            return build / candidate;
    }
    return build / candidates.front();
}

int ToInt(const std::string& text) {
    size_t used = 0;
    int v = std::stoi(text, &used);
    if (used != text.size())
        throw std::runtime_error("not a number: " + text);
    return v;
}

void ParsePair(const std::string& text, char separator, int& a, int& b) {
    size_t at = text.find(separator);
    if (at == std::string::npos)
        throw std::runtime_error("not a pair: " + text);
    a = ToInt(text.substr(0, at));
    b = ToInt(text.substr(at + 1));
}

} // namespace

std::string WineLoader() {
    const std::string named = Env("WINELOADER");
    return named.empty() ? "/usr/lib/wine/wine64" : named;
}

std::string WineServer() {
    const std::string named = Env("WINESERVER");
    return named.empty() ? "/usr/lib/wine/wineserver64" : named;
}

bool WineOptedOut() {
    return Env("PINDREL_E2E_WITHOUT_WINE") == "1";
}

SysInfo ParseSysInfo(const std::string& text) {
    std::map<std::string, std::string> values;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t eq = line.find('=');
        if (eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    for (const char* key : {"user", "computer", "screen", "dpi", "twipsperpixel", "acp"}) {
        if (!values.count(key))
            throw std::runtime_error(std::string("sysinfo without ") + key + ": " + text);
    }
    SysInfo info;
    info.user = values["user"];
    info.computer = values["computer"];
    ParsePair(values["screen"], 'x', info.screenWidth, info.screenHeight);
    ParsePair(values["dpi"], ',', info.dpiX, info.dpiY);
    ParsePair(values["twipsperpixel"], ',', info.twipsPerPixelX, info.twipsPerPixelY);
    info.ansiCodePage = static_cast<unsigned>(ToInt(values["acp"]));
    return info;
}

std::string WinPath(const fs::path& unixPath) {
    std::string path = fs::absolute(unixPath).lexically_normal().string();
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return "Z:" + path;
}

WineSession& WineSession::Instance() {
    static WineSession session;
    return session;
}

bool WineSession::hasPindrel() const {
    return usable_ && fs::exists(pindrel_);
}

fs::path WineSession::workRoot() const {
    return fs::path(PINDREL_E2E_BINARY_DIR) / "e2e-work";
}

void WineSession::Fail(const std::string& reason) {
    usable_ = false;
    reason_ = reason;
}

void WineSession::Start() {
    pindrel_ = Locate("PINDREL_EXE", {"pindrel.exe", "src/platform/native/pindrel.exe",
                                      "src/pindrel.exe", "bin/pindrel.exe"});
    desktopHost_ = Locate("DESKTOP_HOST_EXE", {"tools/desktop-host/desktop-host.exe"});
    hostctl_ = Locate("HOSTCTL_EXE", {"tools/desktop-host/hostctl.exe"});
    iniprobe_ = Locate("INIPROBE_EXE", {"tools/desktop-host/iniprobe.exe"});
    for (const fs::path* tool : {&desktopHost_, &hostctl_}) {
        if (!fs::exists(*tool))
            return Fail(tool->string() + " not found: build the windows-x64 preset, or name it "
                                         "with DESKTOP_HOST_EXE / HOSTCTL_EXE");
    }
    if (access(WineLoader().c_str(), X_OK) != 0 || access(WineServer().c_str(), X_OK) != 0)
        return Fail("64-bit Wine is not installed (" + WineLoader() + ", " + WineServer() +
                    "; scripts/setup.sh installs wine64)");
    setenv("WINELOADER", WineLoader().c_str(), 1);
    setenv("WINESERVER", WineServer().c_str(), 1);
    setenv("WINEARCH", "win64", 1);

    std::string prefix = Env("PINDREL_E2E_WINEPREFIX");
    prefix_ =
        prefix.empty() ? fs::path(PINDREL_E2E_BINARY_DIR) / "wineprefix" : fs::absolute(prefix);
    setenv("PINDREL_WINEPREFIX", prefix_.c_str(), 1);
    setenv("WINEPREFIX", prefix_.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
    started_ = true;

    // Programs left over from an earlier run that did not end cleanly would be found in place of
    // this run's desktop.
    const fs::path here = PINDREL_E2E_BINARY_DIR;
    if (fs::exists(prefix_ / "system.reg"))
        RunProcess({WineServer(), "-k"}, here);

    const fs::path env = fs::path(PINDREL_E2E_SOURCE_DIR) / "scripts" / "wine-env.sh";
    ProcessResult boot =
        RunProcess({"bash", "-c", "source \"$1\" && pindrel_wine_prefix", "bash", env.string()},
                   here, std::chrono::minutes(5));
    if (boot.status != 0 || !fs::exists(prefix_ / "system.reg"))
        return Fail("the Wine prefix " + prefix_.string() + " could not be made: " + boot.err);

    ProcessResult info = Wine({hostctl_.string(), "sysinfo"}, here);
    if (info.status != 0)
        return Fail("hostctl.exe does not run under Wine (status " + std::to_string(info.status) +
                    (info.hung ? ", hung" : "") + "): " + info.err + info.out);
    try {
        sysInfo_ = ParseSysInfo(info.out);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    usable_ = true;
}

void WineSession::Stop() {
    if (started_ && Env("PINDREL_E2E_KEEP_WINESERVER") != "1")
        RunProcess({WineServer(), "-k"}, PINDREL_E2E_BINARY_DIR);
    started_ = false;
}

ProcessResult WineSession::Wine(const std::vector<std::string>& args, const fs::path& cwd) const {
    std::vector<std::string> argv{WineLoader()};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, cwd);
}

BackgroundProcess WineSession::WineInBackground(const std::vector<std::string>& args,
                                                const fs::path& cwd, const fs::path& log) const {
    std::vector<std::string> argv{WineLoader()};
    argv.insert(argv.end(), args.begin(), args.end());
    return BackgroundProcess(argv, cwd, log);
}

} // namespace e2e
