// pindrel.exe's window, looked at and worked from outside as a user would, in the X11 session
// (Xvfb): wincheck.exe reports the window's controls and types keys and clicks into it; the
// expected geometry is the window's twips table (src/WindowLayout.h) at the session's DPI. Each
// test leaves wincheck's reports in its folder under e2e-work/.
#include "Harness.h"

#include "WindowLayout.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <sstream>
#include <strings.h>

namespace e2e {
namespace {

namespace layout = pindrel::layout;
using Fields = std::map<std::string, std::string>;

// wincheck's lines: a leading word, then tab-separated "name=value" fields, "\" escapes undone.
std::vector<std::pair<std::string, Fields>> Parse(const std::string& text) {
    std::vector<std::pair<std::string, Fields>> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream parts(line);
        std::string word;
        std::getline(parts, word, '\t');
        Fields fields;
        for (std::string part; std::getline(parts, part, '\t');) {
            std::string value;
            for (size_t i = part.find('=') + 1; i < part.size(); ++i) {
                char c = part[i];
                if (c == '\\' && i + 1 < part.size()) {
                    c = part[++i];
                    c = c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c;
                }
                value += c;
            }
            fields[part.substr(0, part.find('='))] = value;
        }
        if (!word.empty())
            lines.emplace_back(word, fields);
    }
    return lines;
}

unsigned long Style(const Fields& c) {
    return std::stoul(c.at("style"), nullptr, 16);
}
int Top(const Fields& c) {
    return std::stoi(c.at("rect").substr(c.at("rect").find(',') + 1));
}

// The kind of control a window is by its class (and a button's style).
std::optional<layout::ControlKind> KindOf(const Fields& c) {
    const std::string& name = c.at("class");
    if (strcasecmp(name.c_str(), "Button") == 0)
        return (Style(c) & 0x0F) == 0x07 ? layout::ControlKind::Frame : layout::ControlKind::Button;
    if (strcasecmp(name.c_str(), "Static") == 0)
        return layout::ControlKind::Label;
    if (strcasecmp(name.c_str(), "Edit") == 0)
        return layout::ControlKind::TextBox;
    if (strcasecmp(name.c_str(), "ComboBox") == 0)
        return layout::ControlKind::DropDownList;
    return std::nullopt;
}

struct Report {
    Fields window;
    std::vector<Fields> children;
    std::vector<std::string> popups;
};

// The window's controls by their names in the table: the combo box by its kind, the text boxes
// by their order from the top, every other control by its kind and caption. Only the window's
// own windows and those in its frames count: a combo box's own parts are not controls of the
// window.
std::map<std::string, Fields> FindControls(const Report& report) {
    std::vector<Fields> controls;
    for (const Fields& c : report.children) {
        const bool inFrame =
            std::any_of(report.children.begin(), report.children.end(), [&](const Fields& f) {
                return f.at("hwnd") == c.at("parent") && KindOf(f) == layout::ControlKind::Frame;
            });
        if (c.at("parent") == report.window.at("hwnd") || inFrame)
            controls.push_back(c);
    }
    EXPECT_EQ(controls.size(), layout::kControlCount) << "the window holds other controls";
    std::stable_sort(controls.begin(), controls.end(),
                     [](const Fields& a, const Fields& b) { return Top(a) < Top(b); });
    std::map<std::string, Fields> found;
    size_t textBoxes = 0;
    for (const layout::ControlSpec& row : layout::kControls) {
        const bool byCaption = row.kind != layout::ControlKind::TextBox &&
                               row.kind != layout::ControlKind::DropDownList;
        std::vector<const Fields*> matches;
        for (const Fields& c : controls) {
            if (KindOf(c) == row.kind && (!byCaption || c.at("text") == row.caption))
                matches.push_back(&c);
        }
        if (row.kind == layout::ControlKind::TextBox)
            matches = {textBoxes < matches.size() ? matches[textBoxes++] : nullptr};
        if (matches.size() == 1 && matches.front())
            found[row.name] = *matches.front();
        else
            ADD_FAILURE() << row.name << ": no single window of its kind";
    }
    return found;
}

// The style bits looked at per kind, and their values: labels SS_LEFT (left-aligned, wrapping at
// words); text boxes one line that scrolls and takes any text (ES_AUTOHSCROLL; not ES_MULTILINE,
// ES_NUMBER, ES_READONLY); CBS_DROPDOWNLIST; BS_PUSHBUTTON (no default button, no check box).
const std::map<layout::ControlKind, std::pair<unsigned long, unsigned long>> kStyles = {
    {layout::ControlKind::Frame, {0x00, 0x00}},
    {layout::ControlKind::Label, {0x1F, 0x00}},
    {layout::ControlKind::TextBox, {0x2884, 0x0080}},
    {layout::ControlKind::DropDownList, {0x03, 0x03}},
    {layout::ControlKind::Button, {0x0F, 0x00}}};

double Pixels(int twips, int dpi) {
    return twips * dpi / 1440.0;
}

// The window as the table describes it at `dpi`: caption, client size, and every control's
// class and caption (by which it is found), style, rectangle within a pixel and tab stop.
void ExpectLayout(const Report& report, const std::map<std::string, Fields>& controls, int dpi) {
    const Fields& w = report.window;
    int width = 0;
    int height = 0;
    std::sscanf(w.at("client").c_str(), "%d,%d", &width, &height);
    EXPECT_EQ(w.at("caption"), layout::kWindowCaption);
    EXPECT_EQ(w.at("dpi"), std::to_string(dpi)) << "the window's DPI";
    EXPECT_EQ(w.at("systemdpi"), std::to_string(dpi)) << "the system DPI seen by the checker";
    EXPECT_LE(std::abs(width - Pixels(layout::kClientWidthTwips, dpi)), 1.0) << width;
    EXPECT_LE(std::abs(height - Pixels(layout::kClientHeightTwips, dpi)), 1.0) << height;
    EXPECT_EQ(report.popups, std::vector<std::string>{}) << "other windows of the program";
    for (const layout::ControlSpec& row : layout::kControls) {
        if (!controls.count(row.name))
            continue;
        const Fields& c = controls.at(row.name);
        const unsigned long style = Style(c);
        SCOPED_TRACE(std::string(row.name) + ", style " + c.at("style"));
        EXPECT_EQ(c.at("visible") + c.at("enabled"), "11");
        EXPECT_EQ(c.at("tabstop") == "1", layout::TakesFocus(row.kind)) << "WS_TABSTOP";
        const auto [mask, bits] = kStyles.at(row.kind);
        EXPECT_EQ(style & mask, bits) << "the style of its kind";
        // Within the client area: its own position plus that of the frame that holds it.
        layout::TwipsRect t{row.left, row.top, row.width, row.height};
        if (row.container[0] != '\0') {
            t.left += layout::kControls.at(layout::IndexOf(row.container)).left;
            t.top += layout::kControls.at(layout::IndexOf(row.container)).top;
        }
        int r[4] = {};
        std::sscanf(c.at("rect").c_str(), "%d,%d,%d,%d", &r[0], &r[1], &r[2], &r[3]);
        // The closed combo box's height follows the font: its bottom edge within 3 pixels.
        const double slack = row.kind == layout::ControlKind::DropDownList ? 3.0 : 1.0;
        EXPECT_LE(std::abs(r[0] - Pixels(t.left, dpi)), 1.0) << "left " << c.at("rect");
        EXPECT_LE(std::abs(r[1] - Pixels(t.top, dpi)), 1.0) << "top " << c.at("rect");
        EXPECT_LE(std::abs(r[0] + r[2] - Pixels(t.left + t.width, dpi)), 1.0) << "right";
        EXPECT_LE(std::abs(r[1] + r[3] - Pixels(t.top + t.height, dpi)), slack) << "bottom";
    }
}

using Strings = std::vector<std::string>;

// The texts of the four text boxes, from the top.
Strings FieldTexts(std::map<std::string, Fields>& controls) {
    return {controls["txtStartX"]["text"], controls["txtStartY"]["text"],
            controls["txtDeltaX"]["text"], controls["txtDeltaY"]["text"]};
}

// The controls that take the focus, in the order Tab visits them.
const std::vector<std::string> kTabOrder = {
    "cmdSave",   "cmdLoad",   "cmbView",   "cmdSetIconType", "txtStartX",
    "txtStartY", "txtDeltaX", "txtDeltaY", "cmdSetDefault",  "cmdSetUnique"};

struct Step {
    bool open = false;
    std::string focus; // the control's name
    std::string popups;
};

class WindowTest : public E2eTest {
  protected:
    WindowTest() : E2eTest(WineSession::X11()) {}

    // pindrel.exe with no arguments in the app folder at `dpi`, once its window is shown and idle.
    void StartPindrel(int dpi) {
        session().SetDpi(dpi);
        CopyPindrel("app");
        pindrel_ = session().WineInBackground({(app() / "pindrel.exe").string()}, app(),
                                              dir() / "pindrel.log");
        WinCheck({"wait"}, "pindrel's window did not appear");
    }
    fs::path app() const { return dir() / "app"; }

    ProcessResult WinCheck(const std::vector<std::string>& args, const char* failure, int ok = 0) {
        const ProcessResult r = session().Wine(Concat({Exes().wincheck.string()}, args), dir());
        if (r.status != 0 && r.status != ok)
            throw HarnessError(std::string(failure) + ": " + r.Describe());
        return r;
    }

    // The window's controls by name, from its report (kept as <name>.txt, and in report_).
    std::map<std::string, Fields> Controls(const std::string& name) {
        const fs::path file = dir() / (name + ".txt");
        WinCheck({"controls", WinPath(file)}, "wincheck controls failed");
        report_ = Report{};
        for (const auto& [word, fields] : Parse(ReadFile(file))) {
            if (word == "window")
                report_.window = fields;
            else if (word == "child")
                report_.children.push_back(fields);
            else if (word == "popup")
                report_.popups.push_back(fields.at("class") + " " + fields.at("caption"));
        }
        if (report_.window.empty())
            throw HarnessError("wincheck reported no window");
        const auto controls = FindControls(report_);
        names_.clear();
        for (const auto& [control, fields] : controls)
            names_[fields.at("hwnd")] = control;
        return controls;
    }
    std::string NameOf(const std::string& hwnd) const {
        return names_.count(hwnd) ? names_.at(hwnd) : "window " + hwnd;
    }

    // `wincheck keys` or `click`: a step for the start and one per key, fewer when the window
    // closed before the last key.
    std::vector<Step> Steps(std::vector<std::string> args) {
        const ProcessResult r = WinCheck(args, "wincheck could not type into the window", 4);
        WriteFile(dir() / ("steps-" + std::to_string(++runs_) + ".txt"), r.out + r.err);
        std::vector<Step> steps;
        for (const auto& [word, f] : Parse(r.out)) {
            if (word == "start" || word == "step")
                steps.push_back(Step{f.at("open") == "1", NameOf(f.at("focus")), f.at("popups")});
        }
        return steps;
    }

    // pindrel.exe's exit status once its window has closed.
    std::optional<int> WaitForPindrel() { return pindrel_.Wait(); }

    Report report_;

  private:
    std::map<std::string, std::string> names_; // handle to control name
    Process pindrel_;
    int runs_ = 0;
};

// A first start in an empty folder, at 120 and at 96 dots per inch: the window as the table draws
// it, the defaults in its fields, the focus order, Enter that does nothing, and Escape that closes
// the window on its release.
TEST_F(WindowTest, FollowsTheTableAtEachDpiAndClosesOnEscapeRelease) {
    for (const int dpi : {120, 96}) {
        SCOPED_TRACE(std::to_string(dpi) + " dpi");
        StartPindrel(dpi);
        auto controls = Controls("controls-" + std::to_string(dpi));
        ExpectLayout(report_, controls, dpi);
        ASSERT_EQ(controls.size(), layout::kControlCount);
        EXPECT_EQ(FieldTexts(controls), (Strings{"0", "0", "0", "20"}));
        EXPECT_EQ(controls["cmbView"]["items"], "Icon|List|Report|Small Icon");
        EXPECT_EQ(controls["cmbView"]["selected"], "-1");
        EXPECT_EQ(controls["cmbView"]["text"], "");
        EXPECT_EQ(NameOf(report_.window.at("focus")), "cmdSave") << "the focus at the start";

        // Tab around and back, then Enter in the list and in each text box, then Escape.
        const size_t n = kTabOrder.size();
        std::vector<std::string> keys{"keys"};
        std::vector<std::string> expected{"cmdSave"}; // the focus after each key
        for (size_t i = 1; i <= 2 * n; ++i) {
            keys.push_back(i <= n ? "Tab" : "Shift+Tab");
            expected.push_back(kTabOrder[i <= n ? i % n : 2 * n - i]);
        }
        size_t at = 0;
        for (const size_t target : {2, 4, 5, 6, 7}) { // cmbView and the four text boxes
            for (; at != target; at = (at + 1) % n) {
                keys.push_back("Tab");
                expected.push_back(kTabOrder[(at + 1) % n]);
            }
            keys.push_back("Enter");
            expected.push_back(kTabOrder[target]);
        }
        keys.insert(keys.end(), {"down:Escape", "up:Escape"});
        expected.push_back("txtDeltaY");
        const std::vector<Step> steps = Steps(keys);
        ASSERT_EQ(steps.size(), keys.size()) << "the window closed too early, or did not close";
        for (size_t i = 0; i + 1 < steps.size(); ++i) {
            SCOPED_TRACE("after key " + std::to_string(i) + " (" + (i ? keys[i] : "none") + ")");
            EXPECT_TRUE(steps[i].open);
            EXPECT_EQ(steps[i].focus, expected[i]);
            EXPECT_EQ(steps[i].popups, "0") << "a message box appeared";
        }
        // The release of Escape, in a text box, closes the window, and the program ends with it.
        EXPECT_FALSE(steps.back().open) << "the window is still open after Escape was released";
        EXPECT_EQ(WaitForPindrel(), std::optional<int>(0));
        // Neither Enter nor Escape wrote anything.
        EXPECT_EQ(FilesIn(app()), std::vector<std::string>{"pindrel.exe"});
    }
}

// Stored settings fill the fields (the profile's section first, then "Default"; halves to the
// even neighbour) and select the stored view mode; "Set default" stores what was typed, as typed.
TEST_F(WindowTest, FieldsShowStoredSettingsAndSetDefaultStoresTheTypedTexts) {
    const std::string profile = session().ProfileKey();
    const std::string ini = "[Default]\r\nStartX=40\r\n[" + profile +
                            "]\r\nStartY=-15\r\nDeltaX=13.5\r\nDeltaY=12.5\r\n[IconType]\r\n" +
                            profile + "=Report\r\n";
    fs::create_directories(app());
    WriteFile(app() / "pindrel.ini", ini);
    StartPindrel(96);
    auto controls = Controls("controls-before");
    ASSERT_EQ(controls.size(), layout::kControlCount);
    EXPECT_EQ(FieldTexts(controls), (Strings{"40", "-15", "14", "12"}));
    EXPECT_EQ(controls["cmbView"]["selected"], "2");
    EXPECT_EQ(controls["cmbView"]["text"], "Report");

    // Each field emptied and typed into, then "Set default" clicked.
    const std::vector<std::string> typed = {"abc", "-3", "", "12.5 x"};
    std::vector<std::string> keys = {"Tab", "Tab", "Tab"};
    for (const std::string& text : typed) {
        keys.insert(keys.end(), {"Tab", "Home", "Shift+End", "Delete"});
        if (!text.empty())
            keys.push_back("text:" + text);
    }
    const std::vector<Step> typing = Steps(Concat({"keys"}, keys));
    ASSERT_EQ(typing.size(), keys.size() + 1) << "the window closed while the fields were typed";
    EXPECT_EQ(typing[4].focus, "txtStartX");
    EXPECT_EQ(typing.back().focus, "txtDeltaY");
    EXPECT_EQ(ReadFile(app() / "pindrel.ini"), ini) << "typing wrote to the settings file";
    const std::vector<Step> click = Steps({"click", "Set default"});
    ASSERT_EQ(click.size(), 1u);
    EXPECT_TRUE(click[0].open);
    EXPECT_EQ(click[0].popups, "0");
    // [Default] takes the texts as typed; the profile's section and the view mode stay.
    const std::string written = ReadFile(app() / "pindrel.ini");
    std::string lines;
    std::istringstream in(written);
    for (std::string line; std::getline(in, line);) {
        line.erase(line.find_last_not_of('\r') + 1);
        lines += line.empty() ? "" : line + "\n";
    }
    EXPECT_EQ(lines, "[Default]\nStartX=" + typed[0] + "\nStartY=" + typed[1] +
                         "\nDeltaX=" + typed[2] + "\nDeltaY=" + typed[3] + "\n[" + profile +
                         "]\nStartY=-15\nDeltaX=13.5\nDeltaY=12.5\n[IconType]\n" + profile +
                         "=Report\n");
    // The fields keep what was typed: nothing is read back or reformatted.
    controls = Controls("controls-after");
    EXPECT_EQ(FieldTexts(controls), typed);

    // The window's close command ends the program and writes nothing more.
    WinCheck({"close"}, "wincheck close failed");
    EXPECT_EQ(WaitForPindrel(), std::optional<int>(0));
    EXPECT_EQ(ReadFile(app() / "pindrel.ini"), written);
    EXPECT_EQ(FilesIn(app()), (std::vector<std::string>{"pindrel.exe", "pindrel.ini"}));
}

} // namespace
} // namespace e2e
