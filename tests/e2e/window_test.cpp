// Tests of pindrel.exe's window, looked at and worked from outside as a user would: under Xvfb,
// in a Wine prefix of its own with the X11 graphics driver (the rest of the suite runs headless).
// wincheck.exe, running in the same Windows session, reports the window's controls and types
// keys and clicks into it; the expected geometry comes from the window's twips table
// (src/WindowLayout.h) converted at the DPI the prefix is set to.
//
// Environment variables, besides those of WineSession.h:
//   WINCHECK_EXE                  the checker (default: the windows-x64 build)
//   PINDREL_E2E_X11_WINEPREFIX    the prefix (default: "wineprefix-x11" beside the test binary).
//                                 The run ends every Wine process of this prefix at its start and
//                                 its end, so it must not be a prefix that anything else uses.
//
// Each test leaves its screenshot (window.png) and the checker's reports in its folder under
// e2e-work/.
#include "E2eTest.h"

#include "WindowLayout.h"

#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <thread>

namespace e2e {
namespace {

namespace layout = pindrel::layout;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool OnPath(const std::string& program) {
    return RunProcess({"sh", "-c", "command -v \"$1\" >/dev/null", "sh", program}, ".").status == 0;
}

std::string Describe(const ProcessResult& r) {
    return "status " + std::to_string(r.status) + (r.hung ? " (hung)" : "") + ", stdout: " + r.out +
           ", stderr: " + r.err;
}

// ---- the X server ------------------------------------------------------------------------------

// Xvfb on a display number it picks itself (-displayfd), stopped with SIGTERM so that it removes
// its lock file and socket.
class XServer {
  public:
    XServer() = default;
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    ~XServer() { Stop(); }

    // Starts the server and waits until it takes connections; false with `error` set otherwise.
    bool Start(const fs::path& log, std::string& error) {
        int display[2];
        if (pipe2(display, O_CLOEXEC) != 0) {
            error = "pipe failed";
            return false;
        }
        const int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        pid_ = fork();
        if (pid_ == 0) {
            setpgid(0, 0);
            const int in = open("/dev/null", O_RDONLY);
            if (in < 0 || dup2(in, 0) < 0 || dup2(display[1], 1) < 0 || dup2(logFd, 2) < 0)
                _exit(126);
            execlp("Xvfb", "Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten",
                   "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(display[1]);
        if (logFd >= 0)
            close(logFd);
        if (pid_ < 0) {
            close(display[0]);
            error = "fork failed";
            return false;
        }
        setpgid(pid_, pid_);

        // Xvfb writes the display number once it is ready for clients.
        std::string number;
        const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
        while (number.find('\n') == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            pollfd fd{display[0], POLLIN, 0};
            if (poll(&fd, 1, 50) > 0) {
                char buffer[32];
                const ssize_t n = read(display[0], buffer, sizeof buffer);
                if (n <= 0)
                    break;
                number.append(buffer, static_cast<size_t>(n));
            }
        }
        close(display[0]);
        if (number.empty() || number.find('\n') == std::string::npos) {
            Stop();
            error = "Xvfb did not start: " + ReadFile(log);
            return false;
        }
        display_ = std::stoi(number);
        return true;
    }

    void Stop() {
        if (pid_ <= 0)
            return;
        kill(-pid_, SIGTERM);
        int raw = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (waitpid(pid_, &raw, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(-pid_, SIGKILL);
                waitpid(pid_, &raw, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
    }

    std::string display() const { return ":" + std::to_string(display_); }

  private:
    pid_t pid_ = -1;
    int display_ = -1;
};

// ---- the X11 Wine session ----------------------------------------------------------------------

// One X server and one prefix with the X11 driver for the whole suite.
class X11Session {
  public:
    static X11Session& Instance() {
        static X11Session session;
        return session;
    }

    void Start() {
        if (started_)
            return;
        started_ = true;
        const WineSession& wine = WineSession::Instance();
        pindrel_ = wine.pindrelExe();
        hostctl_ = wine.hostctlExe();
        const std::string named = Env("WINCHECK_EXE");
        wincheck_ = named.empty() ? fs::path(PINDREL_E2E_WINDOWS_BUILD) / "tools" / "desktop-host" /
                                        "wincheck.exe"
                                  : fs::absolute(named);
        for (const char* program : {"Xvfb", "import"}) {
            if (!OnPath(program))
                return Broken(std::string(program) +
                              " is not installed (scripts/setup.sh installs it)");
        }
        for (const std::string& program : {WineLoader(), WineServer()}) {
            if (access(program.c_str(), X_OK) != 0)
                return Broken(program + " is not installed (scripts/setup.sh installs wine64)");
        }
        for (const fs::path* exe : {&pindrel_, &hostctl_, &wincheck_}) {
            if (!fs::exists(*exe))
                return Broken(exe->string() +
                              " not found: build the windows-x64 preset, or name it "
                              "with PINDREL_EXE / HOSTCTL_EXE / WINCHECK_EXE");
        }

        const fs::path here = PINDREL_E2E_BINARY_DIR;
        const std::string prefix = Env("PINDREL_E2E_X11_WINEPREFIX");
        prefix_ = prefix.empty() ? here / "wineprefix-x11" : fs::absolute(prefix);
        std::string error;
        if (!x_.Start(here / "xvfb.log", error))
            return Broken(error);

        // Programs left over from an earlier run that did not end cleanly.
        if (fs::exists(prefix_ / "system.reg"))
            RunProcess(WithEnv({WineServer(), "-k"}), here);
        const fs::path script = fs::path(PINDREL_E2E_SOURCE_DIR) / "scripts" / "wine-env.sh";
        std::vector<std::string> boot = WithEnv(
            {"bash", "-c", "source \"$1\" && pindrel_wine_prefix", "bash", script.string()});
        boot.insert(boot.begin() + 1, "PINDREL_WINE_GRAPHICS=x11");
        ProcessResult made = RunProcess(boot, here, std::chrono::minutes(5));
        if (made.status != 0 || !fs::exists(prefix_ / "system.reg"))
            return Broken("the Wine prefix " + prefix_.string() +
                          " could not be made: " + made.err);
        serverUp_ = true;

        // With no window manager, Wine draws the windows' frames and captions itself; its caption
        // buttons need the Marlett font, which Debian's Wine does not put into a new prefix.
        ProcessResult decorated = Wine({"reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v",
                                        "Decorated", "/t", "REG_SZ", "/d", "N", "/f"},
                                       here);
        if (decorated.status != 0)
            return Broken("cannot set the X11 driver's options: " + Describe(decorated));
        const fs::path marlett = "/usr/share/wine/fonts/marlett.ttf";
        const fs::path fonts = prefix_ / "drive_c" / "windows" / "Fonts";
        std::error_code ignored;
        if (fs::exists(marlett) && !fs::exists(fonts / "marlett.ttf")) {
            fs::create_directories(fonts, ignored);
            fs::copy_file(marlett, fonts / "marlett.ttf", ignored);
        }

        ProcessResult info = Wine({hostctl_.string(), "sysinfo"}, here);
        if (info.status != 0)
            return Broken("hostctl.exe does not run under Wine with X11: " + Describe(info));
        try {
            sysInfo_ = ParseSysInfo(info.out);
        } catch (const std::exception& e) {
            return Broken(e.what());
        }
        usable_ = true;
    }

    void Stop() {
        if (serverUp_ && Env("PINDREL_E2E_KEEP_WINESERVER") != "1")
            RunProcess(WithEnv({WineServer(), "-k"}), PINDREL_E2E_BINARY_DIR);
        serverUp_ = false;
        dpi_ = 0;
        x_.Stop();
        started_ = false;
        usable_ = false;
    }

    bool usable() const { return usable_; }
    const std::string& reason() const { return reason_; }
    const fs::path& pindrelExe() const { return pindrel_; }
    const fs::path& wincheckExe() const { return wincheck_; }
    const SysInfo& sysInfo() const { return sysInfo_; }
    std::string display() const { return x_.display(); }
    std::string profileKey() const { return sysInfo_.user + "@" + sysInfo_.computer; }

    // `argv` run with this session's prefix and display.
    std::vector<std::string> WithEnv(const std::vector<std::string>& argv) const {
        std::vector<std::string> all{"env",
                                     "WINEPREFIX=" + prefix_.string(),
                                     "PINDREL_WINEPREFIX=" + prefix_.string(),
                                     "DISPLAY=" + x_.display(),
                                     "WINEDEBUG=-all",
                                     "WINEARCH=win64",
                                     "WINELOADER=" + WineLoader(),
                                     "WINESERVER=" + WineServer(),
                                     "WINEDLLOVERRIDES=mscoree,mshtml="};
        all.insert(all.end(), argv.begin(), argv.end());
        return all;
    }

    ProcessResult Wine(const std::vector<std::string>& args, const fs::path& cwd) const {
        std::vector<std::string> argv{WineLoader()};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProcess(WithEnv(argv), cwd);
    }

    // Sets the DPI for the programs started from now on. Wine reads it when a program starts,
    // but its desktop process keeps the DPI it started with and answers other processes' queries
    // with it; so a change restarts the server, as a change of DPI on Windows takes a new logon.
    void SetDpi(int dpi) {
        if (dpi == dpi_)
            return;
        ProcessResult r = Wine({"reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels",
                                "/t", "REG_DWORD", "/d", std::to_string(dpi), "/f"},
                               PINDREL_E2E_BINARY_DIR);
        if (r.status != 0)
            throw HarnessError("cannot set the DPI: " + Describe(r));
        RunProcess(WithEnv({WineServer(), "-k"}), PINDREL_E2E_BINARY_DIR);
        RunProcess(WithEnv({WineServer(), "-w"}), PINDREL_E2E_BINARY_DIR);
        RunProcess(WithEnv({WineServer(), "-p"}), PINDREL_E2E_BINARY_DIR);
        dpi_ = dpi;
    }

  private:
    void Broken(const std::string& reason) { reason_ = reason; }

    bool started_ = false;
    bool usable_ = false;
    bool serverUp_ = false;
    int dpi_ = 0; // 0 until set
    std::string reason_;
    XServer x_;
    fs::path prefix_;
    fs::path pindrel_;
    fs::path hostctl_;
    fs::path wincheck_;
    SysInfo sysInfo_;
};

// ---- wincheck's reports ------------------------------------------------------------------------

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c;
    }
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

// A report line: its leading word and its fields.
struct Line {
    std::string word;
    std::map<std::string, std::string> fields;

    const std::string& operator[](const std::string& name) const {
        auto it = fields.find(name);
        if (it == fields.end())
            throw HarnessError("wincheck printed no " + name + " in a \"" + word + "\" line");
        return it->second;
    }
    int Int(const std::string& name) const { return std::stoi((*this)[name]); }
    unsigned long Hex(const std::string& name) const {
        return std::stoul((*this)[name], nullptr, 16);
    }
};

Line ParseLine(const std::string& text) {
    Line line;
    size_t pos = 0;
    bool first = true;
    while (pos <= text.size()) {
        size_t end = text.find('\t', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string part = text.substr(pos, end - pos);
        if (first) {
            line.word = part;
            first = false;
        } else {
            const size_t eq = part.find('=');
            if (eq != std::string::npos)
                line.fields[part.substr(0, eq)] = Unescape(part.substr(eq + 1));
        }
        pos = end + 1;
    }
    return line;
}

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

Rect ParseRect(const std::string& text) {
    Rect r;
    if (std::sscanf(text.c_str(), "%d,%d,%d,%d", &r.x, &r.y, &r.width, &r.height) != 4)
        throw HarnessError("not a rectangle: " + text);
    return r;
}

struct Child {
    std::string hwnd;
    std::string parent;
    int depth = 0;
    int z = 0;
    std::string cls;
    unsigned long style = 0;
    unsigned long exStyle = 0;
    bool tabStop = false;
    bool visible = false;
    bool enabled = false;
    Rect rect;
    std::string text;
    std::string items; // a combo box's entries, "|" between them
    int selected = -1; // a combo box's selection

    bool IsClass(const char* name) const { return strcasecmp(cls.c_str(), name) == 0; }
    bool IsGroupBox() const { return IsClass("Button") && (style & 0x0F) == 0x07; }
};

struct Report {
    std::string hwnd;
    std::string caption;
    std::string focus;
    int clientWidth = 0;
    int clientHeight = 0;
    int dpi = 0;
    int systemDpi = 0;
    Rect screen;
    std::vector<Child> children;
    std::vector<std::string> popups;
};

Report ParseReport(const std::string& text) {
    Report report;
    bool window = false;
    for (const std::string& raw : Lines(text)) {
        const Line line = ParseLine(raw);
        if (line.word == "window") {
            window = true;
            report.hwnd = line["hwnd"];
            report.caption = line["caption"];
            report.focus = line["focus"];
            std::sscanf(line["client"].c_str(), "%d,%d", &report.clientWidth, &report.clientHeight);
            report.dpi = line.Int("dpi");
            report.systemDpi = line.Int("systemdpi");
            report.screen = ParseRect(line["screenrect"]);
        } else if (line.word == "child") {
            Child c;
            c.hwnd = line["hwnd"];
            c.parent = line["parent"];
            c.depth = line.Int("depth");
            c.z = line.Int("z");
            c.cls = line["class"];
            c.style = line.Hex("style");
            c.exStyle = line.Hex("exstyle");
            c.tabStop = line["tabstop"] == "1";
            c.visible = line["visible"] == "1";
            c.enabled = line["enabled"] == "1";
            c.rect = ParseRect(line["rect"]);
            c.text = line["text"];
            if (c.IsClass("ComboBox")) {
                c.items = line["items"];
                c.selected = line.Int("selected");
            }
            report.children.push_back(c);
        } else if (line.word == "popup") {
            report.popups.push_back(line["class"] + " \"" + line["caption"] + "\"");
        }
    }
    if (!window)
        throw HarnessError("wincheck reported no window: " + text);
    return report;
}

// One step of `wincheck keys` or `wincheck click`.
struct Step {
    std::string key;
    bool open = false;
    std::string focus;
    int popups = 0;
};

std::vector<Step> ParseSteps(const std::string& text) {
    std::vector<Step> steps;
    for (const std::string& raw : Lines(text)) {
        const Line line = ParseLine(raw);
        if (line.word != "start" && line.word != "step")
            continue;
        steps.push_back(Step{line["key"], line["open"] == "1", line["focus"], line.Int("popups")});
    }
    return steps;
}

// ---- the settings file -------------------------------------------------------------------------

using Entries = std::vector<std::pair<std::string, std::string>>;

// The sections of an INI text in file order, each with its "key=value" lines in order.
std::vector<std::pair<std::string, Entries>> ParseIni(const std::string& text) {
    std::vector<std::pair<std::string, Entries>> sections;
    for (const std::string& line : Lines(text)) {
        if (line.front() == '[' && line.back() == ']') {
            sections.push_back({line.substr(1, line.size() - 2), {}});
        } else if (!sections.empty()) {
            const size_t eq = line.find('=');
            sections.back().second.push_back(
                {line.substr(0, eq), eq == std::string::npos ? "" : line.substr(eq + 1)});
        }
    }
    return sections;
}

std::vector<std::string> FileNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The controls that take the focus, in the order Tab visits them.
const std::vector<std::string> kTabOrder = {
    "cmdSave",   "cmdLoad",   "cmbView",   "cmdSetIconType", "txtStartX",
    "txtStartY", "txtDeltaX", "txtDeltaY", "cmdSetDefault",  "cmdSetUnique"};

// ---- the fixture -------------------------------------------------------------------------------

class WindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { X11Session::Instance().Start(); }
    static void TearDownTestSuite() { X11Session::Instance().Stop(); }

    static X11Session& x11() { return X11Session::Instance(); }

    void SetUp() override {
        if (WineOptedOut())
            GTEST_SKIP() << "Wine left out at the user's request (PINDREL_E2E_WITHOUT_WINE=1)";
        ASSERT_TRUE(x11().usable())
            << "the X11 Wine session could not be set up: " << x11().reason();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = WineSession::Instance().workRoot() /
               (std::string(info->test_suite_name()) + "." + info->name());
        fs::remove_all(dir_);
        app_ = dir_ / "app";
        fs::create_directories(app_);
        fs::copy_file(x11().pindrelExe(), app_ / "pindrel.exe");
    }

    void TearDown() override { pindrel_.Kill(); }

    // Starts pindrel.exe with no arguments in the test's app folder, at `dpi`, and waits until
    // its window is shown and idle.
    void StartPindrel(int dpi) {
        x11().SetDpi(dpi);
        pindrel_ = BackgroundProcess(x11().WithEnv({WineLoader(), (app_ / "pindrel.exe").string()}),
                                     app_, dir_ / "pindrel.log");
        ProcessResult r = WinCheck({"wait"});
        if (r.status != 0)
            throw HarnessError("pindrel's window did not appear: " + Describe(r) +
                               ", pindrel: " + ReadFile(dir_ / "pindrel.log"));
    }

    // The exit status of pindrel.exe once it has ended (a hung one is ended by the guard).
    std::optional<int> WaitForPindrel() {
        std::optional<int> status = pindrel_.Wait(kHangGuard);
        if (!status)
            pindrel_.Kill();
        return status;
    }

    ProcessResult WinCheck(const std::vector<std::string>& args) {
        std::vector<std::string> argv{x11().wincheckExe().string()};
        argv.insert(argv.end(), args.begin(), args.end());
        return x11().Wine(argv, dir_);
    }

    // The window's report, kept as <name>.txt in the test's folder.
    Report Controls(const std::string& name) {
        const fs::path file = dir_ / (name + ".txt");
        ProcessResult r = WinCheck({"controls", WinPath(file)});
        if (r.status != 0)
            throw HarnessError("wincheck controls failed: " + Describe(r));
        return ParseReport(ReadFile(file));
    }

    // The steps of `wincheck keys`: one for the start and one per key, fewer when the window
    // closed before the last key.
    std::vector<Step> Keys(const std::vector<std::string>& keys) {
        std::vector<std::string> args{"keys"};
        args.insert(args.end(), keys.begin(), keys.end());
        ProcessResult r = WinCheck(args);
        WriteFile(dir_ / "keys.txt", r.out + r.err);
        if (r.status != 0 && r.status != 4)
            throw HarnessError("wincheck keys failed: " + Describe(r));
        std::vector<Step> steps = ParseSteps(r.out);
        if (steps.empty() || steps.size() > keys.size() + 1 ||
            (r.status == 0) != (steps.size() == keys.size() + 1))
            throw HarnessError("wincheck keys reported " + std::to_string(steps.size()) +
                               " steps for " + std::to_string(keys.size()) + " keys: " + r.out);
        return steps;
    }

    Step Click(const std::string& caption) {
        ProcessResult r = WinCheck({"click", caption});
        if (r.status != 0)
            throw HarnessError("wincheck click failed: " + Describe(r));
        std::vector<Step> steps = ParseSteps(r.out);
        if (steps.size() != 1)
            throw HarnessError("wincheck click reported no step: " + r.out);
        return steps.front();
    }

    // A screenshot of the window (its frame included) as <name> in the test's folder.
    void Screenshot(const Report& report, const std::string& name) {
        const Rect& r = report.screen;
        const std::string crop = std::to_string(r.width) + "x" + std::to_string(r.height) + "+" +
                                 std::to_string(r.x) + "+" + std::to_string(r.y);
        ProcessResult shot = RunProcess({"import", "-display", x11().display(), "-window", "root",
                                         "-crop", crop, "+repage", (dir_ / name).string()},
                                        dir_);
        if (shot.status != 0 || !fs::exists(dir_ / name) || fs::file_size(dir_ / name) == 0)
            throw HarnessError("the screenshot failed: " + Describe(shot));
    }

    const fs::path& dir() const { return dir_; }
    const fs::path& app() const { return app_; }

  private:
    fs::path dir_;
    fs::path app_;
    BackgroundProcess pindrel_;
};

// ---- what the window must look like ------------------------------------------------------------

// Whether `c` is a window of the row's class with the row's caption (frames, labels, buttons), or
// the combo box. Text boxes are found by their place instead.
bool IsOfRow(const layout::ControlSpec& row, const Child& c) {
    switch (row.kind) {
    case layout::ControlKind::Frame:
        return c.IsGroupBox() && c.text == row.caption;
    case layout::ControlKind::Label:
        return c.IsClass("Static") && c.text == row.caption;
    case layout::ControlKind::Button:
        return c.IsClass("Button") && !c.IsGroupBox() && c.text == row.caption;
    case layout::ControlKind::DropDownList:
        return c.IsClass("ComboBox");
    case layout::ControlKind::TextBox:
        break;
    }
    return false;
}

// The window's controls found in a report: frames, labels and buttons by class and caption, the
// one combo box, and the text boxes by their order from the top. Children of other controls (a
// combo box's own parts) are not controls of the window.
std::map<std::string, const Child*> FindControls(const Report& report) {
    std::vector<const Child*> candidates;
    for (const Child& c : report.children) {
        bool inFrame = false;
        for (const Child& frame : report.children)
            inFrame = inFrame || (frame.hwnd == c.parent && frame.IsGroupBox());
        if (c.parent == report.hwnd || inFrame)
            candidates.push_back(&c);
    }
    EXPECT_EQ(candidates.size(), layout::kControlCount)
        << "the window holds other controls than its " << layout::kControlCount;

    std::vector<const Child*> edits;
    for (const Child* c : candidates) {
        if (c->IsClass("Edit"))
            edits.push_back(c);
    }
    std::sort(edits.begin(), edits.end(),
              [](const Child* a, const Child* b) { return a->rect.y < b->rect.y; });

    std::map<std::string, const Child*> found;
    size_t textBoxes = 0;
    for (const layout::ControlSpec& row : layout::kControls) {
        std::vector<const Child*> matches;
        if (row.kind == layout::ControlKind::TextBox) {
            if (textBoxes < edits.size())
                matches.push_back(edits[textBoxes]);
            ++textBoxes;
        } else {
            for (const Child* c : candidates) {
                if (IsOfRow(row, *c))
                    matches.push_back(c);
            }
        }
        if (matches.size() == 1)
            found[row.name] = matches.front();
        else
            ADD_FAILURE() << row.name << ": " << matches.size()
                          << " windows of its kind and caption \"" << row.caption << "\"";
    }
    EXPECT_EQ(edits.size(), textBoxes) << "text boxes (class Edit)";
    return found;
}

// A control's rectangle within the client area, in twips, from the table: its own position plus
// that of the frame that holds it.
layout::TwipsRect TableRect(const layout::ControlSpec& row) {
    layout::TwipsRect r{row.left, row.top, row.width, row.height};
    if (row.container[0] != '\0') {
        const layout::ControlSpec& frame = layout::kControls.at(layout::IndexOf(row.container));
        r.left += frame.left;
        r.top += frame.top;
    }
    return r;
}

double Pixels(int twips, int dpi) {
    return static_cast<double>(twips) * dpi / 1440.0;
}

// Every edge within one pixel of the table's at `dpi`; the bottom edge within `bottomSlack`.
void ExpectRect(const std::string& name, const Rect& actual, const layout::TwipsRect& twips,
                int dpi, double bottomSlack = 1.0) {
    const double left = Pixels(twips.left, dpi);
    const double top = Pixels(twips.top, dpi);
    const double right = Pixels(twips.left + twips.width, dpi);
    const double bottom = Pixels(twips.top + twips.height, dpi);
    const std::string where =
        name + ": actual " + std::to_string(actual.x) + "," + std::to_string(actual.y) + " " +
        std::to_string(actual.width) + "x" + std::to_string(actual.height) + ", table at " +
        std::to_string(dpi) + " dpi: left " + std::to_string(left) + " top " + std::to_string(top) +
        " right " + std::to_string(right) + " bottom " + std::to_string(bottom);
    EXPECT_LE(std::abs(actual.x - left), 1.0) << where;
    EXPECT_LE(std::abs(actual.y - top), 1.0) << where;
    EXPECT_LE(std::abs(actual.x + actual.width - right), 1.0) << where;
    EXPECT_LE(std::abs(actual.y + actual.height - bottom), bottomSlack) << where;
}

// The window as the table and the window's rules describe it, at `dpi`: caption, client size,
// and every control's class, caption (both by which it is found), style, rectangle and tab stop.
// Returns the controls found.
std::map<std::string, const Child*> ExpectLayout(const Report& report, int dpi) {
    EXPECT_EQ(report.caption, layout::kWindowCaption);
    EXPECT_EQ(report.dpi, dpi) << "the window's DPI";
    EXPECT_EQ(report.systemDpi, dpi) << "the system DPI seen by the checker";
    EXPECT_LE(std::abs(report.clientWidth - Pixels(layout::kClientWidthTwips, dpi)), 1.0)
        << "client width " << report.clientWidth;
    EXPECT_LE(std::abs(report.clientHeight - Pixels(layout::kClientHeightTwips, dpi)), 1.0)
        << "client height " << report.clientHeight;
    for (const std::string& popup : report.popups)
        ADD_FAILURE() << "another window of the program is shown: " << popup;

    const std::map<std::string, const Child*> controls = FindControls(report);
    for (const layout::ControlSpec& row : layout::kControls) {
        auto it = controls.find(row.name);
        if (it == controls.end())
            continue;
        const Child& c = *it->second;
        const std::string name = row.name;
        EXPECT_TRUE(c.visible) << name;
        EXPECT_TRUE(c.enabled) << name;
        EXPECT_EQ(c.tabStop, layout::TakesFocus(row.kind)) << name << ": WS_TABSTOP";
        switch (row.kind) {
        case layout::ControlKind::Frame:
            // Found as a Button with BS_GROUPBOX and the row's caption.
            break;
        case layout::ControlKind::Label:
            // SS_LEFT: left-aligned text that wraps at word boundaries.
            EXPECT_EQ(c.style & 0x1Ful, 0x00ul)
                << name << ": SS_LEFT, style " << std::hex << c.style;
            break;
        case layout::ControlKind::TextBox:
            // One line (no ES_MULTILINE) that scrolls (ES_AUTOHSCROLL), takes any text (no
            // ES_NUMBER) and can be edited (no ES_READONLY).
            EXPECT_EQ(c.style & 0x0004ul, 0ul) << name << ": ES_MULTILINE";
            EXPECT_EQ(c.style & 0x0080ul, 0x0080ul) << name << ": ES_AUTOHSCROLL";
            EXPECT_EQ(c.style & 0x2000ul, 0ul) << name << ": ES_NUMBER";
            EXPECT_EQ(c.style & 0x0800ul, 0ul) << name << ": ES_READONLY";
            break;
        case layout::ControlKind::DropDownList:
            EXPECT_EQ(c.style & 0x03ul, 0x03ul)
                << name << ": CBS_DROPDOWNLIST, style " << std::hex << c.style;
            break;
        case layout::ControlKind::Button:
            // A plain push button: not BS_DEFPUSHBUTTON (no default button), not a check box.
            EXPECT_EQ(c.style & 0x0Ful, 0x00ul)
                << name << ": BS_PUSHBUTTON, style " << std::hex << c.style;
            break;
        }
        // The closed combo box's height is the system's to choose (it follows the font), so its
        // bottom edge is only held to within 3 pixels; everything else to within 1.
        const double bottomSlack = row.kind == layout::ControlKind::DropDownList ? 3.0 : 1.0;
        ExpectRect(name, c.rect, TableRect(row), dpi, bottomSlack);
    }
    return controls;
}

std::string NameOf(const std::map<std::string, const Child*>& controls, const std::string& hwnd) {
    for (const auto& [name, child] : controls) {
        if (child->hwnd == hwnd)
            return name;
    }
    return "window " + hwnd;
}

std::string FieldText(const std::map<std::string, const Child*>& controls,
                      const std::string& name) {
    auto it = controls.find(name);
    return it == controls.end() ? "<no " + name + ">" : it->second->text;
}

// ---- the tests ---------------------------------------------------------------------------------

// A first start in an empty folder: the window as the table draws it, the defaults in its fields,
// the focus order, Enter that does nothing, and Escape that closes on its release.
TEST_F(WindowTest, FirstStartShowsTheTableLayoutTabOrderAndClosesOnEscapeRelease) {
    const int dpi = 96;
    StartPindrel(dpi);
    const Report report = Controls("controls");
    Screenshot(report, "window.png");
    const auto controls = ExpectLayout(report, dpi);
    ASSERT_EQ(controls.size(), layout::kControlCount);

    // Nothing stored: the fields show 0, 0, 0 and 20; the list holds the four view modes and
    // nothing is selected.
    EXPECT_EQ(FieldText(controls, "txtStartX"), "0");
    EXPECT_EQ(FieldText(controls, "txtStartY"), "0");
    EXPECT_EQ(FieldText(controls, "txtDeltaX"), "0");
    EXPECT_EQ(FieldText(controls, "txtDeltaY"), "20");
    EXPECT_EQ(controls.at("cmbView")->items, "Icon|List|Report|Small Icon");
    EXPECT_EQ(controls.at("cmbView")->selected, -1);
    EXPECT_EQ(controls.at("cmbView")->text, "");
    EXPECT_EQ(NameOf(controls, report.focus), "cmdSave") << "the focus at start";

    // Tab around and back, then Enter in the list and in each text box, then Escape.
    std::vector<std::string> keys;
    std::vector<std::string> expected; // the focus after each key
    for (size_t i = 1; i <= kTabOrder.size(); ++i) {
        keys.push_back("Tab");
        expected.push_back(kTabOrder[i % kTabOrder.size()]);
    }
    for (size_t i = 1; i <= kTabOrder.size(); ++i) {
        keys.push_back("Shift+Tab");
        expected.push_back(kTabOrder[(kTabOrder.size() - i) % kTabOrder.size()]);
    }
    const auto tabTo = [&](const std::string& name) {
        const size_t from =
            std::find(kTabOrder.begin(), kTabOrder.end(), expected.back()) - kTabOrder.begin();
        const size_t to = std::find(kTabOrder.begin(), kTabOrder.end(), name) - kTabOrder.begin();
        for (size_t i = from; i != to; i = (i + 1) % kTabOrder.size()) {
            keys.push_back("Tab");
            expected.push_back(kTabOrder[(i + 1) % kTabOrder.size()]);
        }
    };
    for (const char* name : {"cmbView", "txtStartX", "txtStartY", "txtDeltaX", "txtDeltaY"}) {
        tabTo(name);
        keys.push_back("Enter");
        expected.push_back(name);
    }
    keys.push_back("down:Escape");
    expected.push_back("txtDeltaY");
    keys.push_back("up:Escape");

    const std::vector<Step> steps = Keys(keys);
    EXPECT_EQ(NameOf(controls, steps[0].focus), "cmdSave") << "the focus before the first key";
    for (size_t i = 0; i + 1 < keys.size(); ++i) {
        ASSERT_LT(i + 1, steps.size())
            << "the window closed before key " << i + 1 << " (" << keys[i] << ")";
        const Step& step = steps[i + 1];
        const std::string where = "key " + std::to_string(i + 1) + " (" + step.key + ")";
        ASSERT_TRUE(step.open) << "the window closed after " << where;
        EXPECT_EQ(NameOf(controls, step.focus), expected[i]) << "the focus after " << where;
        EXPECT_EQ(step.popups, 0) << "a message box appeared after " << where;
    }
    // The release of Escape, in a text box, closes the window; the program ends with it.
    ASSERT_EQ(steps.size(), keys.size() + 1);
    EXPECT_FALSE(steps.back().open) << "the window is still open after Escape was released";
    std::optional<int> status = WaitForPindrel();
    ASSERT_TRUE(status.has_value()) << "pindrel.exe did not end after its window closed";
    EXPECT_EQ(*status, 0);

    // Neither Enter nor Escape wrote anything: no settings file, no layout file.
    EXPECT_EQ(FileNames(app()), std::vector<std::string>{"pindrel.exe"});
}

// Stored settings fill the fields (the profile's section first, then "Default"; halves to the
// even neighbour) and select the stored view mode; "Set default" stores what was typed, as typed.
TEST_F(WindowTest, FieldsShowStoredSettingsAndSetDefaultStoresTheTypedTexts) {
    const std::string profile = x11().profileKey();
    const std::string ini = "[Default]\r\nStartX=40\r\n"
                            "[" +
                            profile +
                            "]\r\nStartY=-15\r\nDeltaX=13.5\r\nDeltaY=12.5\r\n"
                            "[IconType]\r\n" +
                            profile + "=Report\r\n";
    WriteFile(app() / "pindrel.ini", ini);
    const int dpi = 96;
    StartPindrel(dpi);

    const Report before = Controls("controls-before");
    const auto controls = FindControls(before);
    ASSERT_EQ(controls.size(), layout::kControlCount);
    EXPECT_EQ(FieldText(controls, "txtStartX"), "40");
    EXPECT_EQ(FieldText(controls, "txtStartY"), "-15");
    EXPECT_EQ(FieldText(controls, "txtDeltaX"), "14");
    EXPECT_EQ(FieldText(controls, "txtDeltaY"), "12");
    EXPECT_EQ(controls.at("cmbView")->selected, 2);
    EXPECT_EQ(controls.at("cmbView")->text, "Report");

    // Type into the four fields (each emptied first), then click "Set default".
    const std::vector<std::string> typed = {"abc", "-3", "", "12.5 x"};
    std::vector<std::string> keys = {"Tab", "Tab", "Tab", "Tab"};
    for (size_t i = 0; i < typed.size(); ++i) {
        if (i > 0)
            keys.push_back("Tab");
        for (const char* key : {"Home", "Shift+End", "Delete"})
            keys.push_back(key);
        if (!typed[i].empty())
            keys.push_back("text:" + typed[i]);
    }
    const std::vector<Step> steps = Keys(keys);
    ASSERT_EQ(steps.size(), keys.size() + 1) << "the window closed while the fields were typed in";
    EXPECT_EQ(NameOf(controls, steps[4].focus), "txtStartX");
    EXPECT_EQ(NameOf(controls, steps.back().focus), "txtDeltaY");
    EXPECT_EQ(ReadFile(app() / "pindrel.ini"), ini) << "typing wrote to the settings file";

    const Step click = Click("Set default");
    EXPECT_TRUE(click.open);
    EXPECT_EQ(click.popups, 0);

    const std::vector<std::pair<std::string, Entries>> expected = {
        {"Default",
         {{"StartX", typed[0]}, {"StartY", typed[1]}, {"DeltaX", typed[2]}, {"DeltaY", typed[3]}}},
        {profile, {{"StartY", "-15"}, {"DeltaX", "13.5"}, {"DeltaY", "12.5"}}},
        {"IconType", {{profile, "Report"}}},
    };
    const std::string written = ReadFile(app() / "pindrel.ini");
    EXPECT_EQ(ParseIni(written), expected) << written;

    // The fields keep what was typed: nothing is read back or reformatted.
    const Report after = Controls("controls-after");
    const auto now = FindControls(after);
    EXPECT_EQ(FieldText(now, "txtStartX"), typed[0]);
    EXPECT_EQ(FieldText(now, "txtStartY"), typed[1]);
    EXPECT_EQ(FieldText(now, "txtDeltaX"), typed[2]);
    EXPECT_EQ(FieldText(now, "txtDeltaY"), typed[3]);

    // The window's close command ends the program and writes nothing more.
    ProcessResult close = WinCheck({"close"});
    EXPECT_EQ(close.status, 0) << Describe(close);
    std::optional<int> status = WaitForPindrel();
    ASSERT_TRUE(status.has_value()) << "pindrel.exe did not end after its window closed";
    EXPECT_EQ(*status, 0);
    EXPECT_EQ(ReadFile(app() / "pindrel.ini"), written);
    EXPECT_EQ(FileNames(app()), (std::vector<std::string>{"pindrel.exe", "pindrel.ini"}));
}

// At 120 dots per inch (12 twips to the pixel) the window and every control follow the table.
TEST_F(WindowTest, LayoutFollowsTheTableAtAnotherDpi) {
    const int dpi = 120;
    StartPindrel(dpi);
    const Report report = Controls("controls");
    Screenshot(report, "window.png");
    const auto controls = ExpectLayout(report, dpi);
    EXPECT_EQ(controls.size(), layout::kControlCount);
    EXPECT_EQ(NameOf(controls, report.focus), "cmdSave") << "the focus at start";

    ProcessResult close = WinCheck({"close"});
    EXPECT_EQ(close.status, 0) << Describe(close);
    std::optional<int> status = WaitForPindrel();
    ASSERT_TRUE(status.has_value()) << "pindrel.exe did not end after its window closed";
    EXPECT_EQ(*status, 0);
}

} // namespace
} // namespace e2e
