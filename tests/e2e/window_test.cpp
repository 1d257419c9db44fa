// pindrel.exe's window, looked at and worked from outside as a user would, in the X11 session
// (Xvfb): wincheck.exe reports the window's controls and types keys into it; the
// expected geometry is the window's twips table (src/WindowLayout.h) at the session's DPI. Each
// test leaves wincheck's reports in its folder under e2e-work/.
#include "Harness.h"

#include "WindowLayout.h"

#include <cmath>
#include <sstream>
#include <strings.h>

namespace e2e {
namespace {

namespace layout = pindrel::layout;
using Kind = layout::ControlKind;
using Fields = std::map<std::string, std::string>;
using Strings = std::vector<std::string>;

// wincheck's lines: a leading word, then tab-separated "name=value" fields, "\" escapes undone.
std::vector<std::pair<std::string, Fields>> Parse(const std::string& text) {
    std::vector<std::pair<std::string, Fields>> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        line.erase(line.find_last_not_of('\r') + 1);
        std::istringstream parts(line);
        std::string word;
        std::getline(parts, word, '\t');
        Fields fields;
        for (std::string part; std::getline(parts, part, '\t');) {
            std::string& value = fields[part.substr(0, part.find('='))];
            for (size_t i = part.find('=') + 1; i < part.size(); ++i) {
                const bool escaped = part[i] == '\\' && i + 1 < part.size();
                const char c = part[escaped ? ++i : i];
                value += !escaped ? c : c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c;
            }
        }
        if (!word.empty())
            lines.emplace_back(word, fields);
    }
    return lines;
}

// Each kind's window class and the style bits looked at, with their values: frames
// BS_GROUPBOX; labels SS_LEFT (left-aligned, wrapping at words); text boxes one line that scrolls
// and takes any text (ES_AUTOHSCROLL; not ES_MULTILINE, ES_NUMBER, ES_READONLY);
// CBS_DROPDOWNLIST; BS_PUSHBUTTON (no default button, no check box).
struct KindStyle {
    const char* windowClass;
    unsigned long mask;
    unsigned long bits;
};
const std::map<Kind, KindStyle> kKinds = {{Kind::Frame, {"Button", 0x0F, 0x07}},
                                          {Kind::Label, {"Static", 0x1F, 0x00}},
                                          {Kind::TextBox, {"Edit", 0x2884, 0x0080}},
                                          {Kind::DropDownList, {"ComboBox", 0x03, 0x03}},
                                          {Kind::Button, {"Button", 0x0F, 0x00}}};

double Pixels(int twips, int dpi) {
    return twips * dpi / 1440.0;
}

// The controls that take the focus, in the order Tab visits them.
const Strings kTabOrder = {"cmdSave",   "cmdLoad",   "cmbView",   "cmdSetIconType", "txtStartX",
                           "txtStartY", "txtDeltaX", "txtDeltaY", "cmdSetDefault",  "cmdSetUnique"};

class WindowTest : public E2eTest {
  protected:
    WindowTest() : E2eTest(WineSession::X11()) {}

    // pindrel.exe with no arguments in the app folder once its window is shown and idle, and the
    // window as the table describes it at the session's DPI: caption, client size, and every
    // control's class, caption, style, rectangle within a pixel and tab stop.
    void StartPindrel() {
        const int dpi = kX11Dpi;
        CopyPindrel("app");
        pindrel_ = session().WineInBackground({(app() / "pindrel.exe").string()}, app(),
                                              dir() / "pindrel.log");
        Tool("wincheck", {"wait"});
        controls_ = Controls("controls");
        int width = 0;
        int height = 0;
        std::sscanf(window_.at("client").c_str(), "%d,%d", &width, &height);
        EXPECT_EQ(window_.at("caption"), layout::kWindowCaption);
        EXPECT_EQ(window_.at("dpi"), std::to_string(dpi)) << "the window's DPI";
        EXPECT_EQ(window_.at("systemdpi"), std::to_string(dpi)) << "the system DPI of the checker";
        EXPECT_LE(std::abs(width - Pixels(layout::kClientWidthTwips, dpi)), 1.0) << width;
        EXPECT_LE(std::abs(height - Pixels(layout::kClientHeightTwips, dpi)), 1.0) << height;
        ASSERT_EQ(controls_.size(), layout::kControlCount);
        for (const layout::ControlSpec& row : layout::kControls) {
            const Fields& c = controls_.at(row.name);
            const unsigned long style = std::stoul(c.at("style"), nullptr, 16);
            const KindStyle& kind = kKinds.at(row.kind);
            SCOPED_TRACE(std::string(row.name) + ", class " + c.at("class") + ", style " +
                         c.at("style"));
            EXPECT_EQ(strcasecmp(c.at("class").c_str(), kind.windowClass), 0);
            EXPECT_EQ(style & kind.mask, kind.bits) << "its kind's style";
            if (row.kind != Kind::TextBox && row.kind != Kind::DropDownList) {
                EXPECT_EQ(c.at("text"), row.caption);
            }
            EXPECT_EQ(c.at("visible") + c.at("enabled"), "11");
            EXPECT_EQ(c.at("tabstop") == "1", layout::TakesFocus(row.kind)) << "WS_TABSTOP";
            const layout::TwipsRect t = layout::ClientRectTwips(row);
            int r[4] = {};
            std::sscanf(c.at("rect").c_str(), "%d,%d,%d,%d", &r[0], &r[1], &r[2], &r[3]);
            // The closed combo box's height follows the font: its bottom edge within 3 pixels.
            const double slack = row.kind == Kind::DropDownList ? 3.0 : 1.0;
            EXPECT_LE(std::abs(r[0] - Pixels(t.left, dpi)), 1.0) << "left " << c.at("rect");
            EXPECT_LE(std::abs(r[1] - Pixels(t.top, dpi)), 1.0) << "top " << c.at("rect");
            EXPECT_LE(std::abs(r[0] + r[2] - Pixels(t.left + t.width, dpi)), 1.0) << "right";
            EXPECT_LE(std::abs(r[1] + r[3] - Pixels(t.top + t.height, dpi)), slack) << "bottom";
        }
    }
    fs::path app() const { return dir() / "app"; }

    // The window's controls by their names in the table, from its report (kept as <name>.txt):
    // the window's own child windows, each with the id 100 + its row in the table (the dialog
    // manager's ids; a combo box's own parts are children of the combo box).
    std::map<std::string, Fields> Controls(const std::string& name) {
        const fs::path file = dir() / (name + ".txt");
        Tool("wincheck", {"controls", WinPath(file)});
        const auto lines = Parse(ReadFile(file));
        window_.clear();
        for (const auto& [word, fields] : lines)
            if (word == "window")
                window_ = fields;
        if (window_.empty())
            throw HarnessError("wincheck reported no window");
        std::map<std::string, Fields> found;
        names_.clear();
        for (const auto& [word, c] : lines) {
            if (word == "popup")
                ADD_FAILURE() << "another window of the program: " << c.at("caption");
            if (word != "child" || c.at("parent") != window_.at("hwnd"))
                continue;
            const auto row = static_cast<size_t>(std::stol(c.at("id")) - 100);
            if (row < layout::kControlCount && !found.count(layout::kControls[row].name)) {
                found[layout::kControls[row].name] = c;
                names_[c.at("hwnd")] = layout::kControls[row].name;
            } else {
                ADD_FAILURE() << "a control of no row of the table: id " << c.at("id");
            }
        }
        return found;
    }
    std::string NameOf(const std::string& hwnd) const {
        return names_.count(hwnd) ? names_.at(hwnd) : "window " + hwnd;
    }
    // The texts of the four text boxes, from the top.
    static Strings FieldTexts(std::map<std::string, Fields> controls) {
        return {controls["txtStartX"]["text"], controls["txtStartY"]["text"],
                controls["txtDeltaX"]["text"], controls["txtDeltaY"]["text"]};
    }

    // `wincheck keys`: a step for the start and one per key, fewer when the window
    // closed before the last key; each step's "open", "focus" (the control's name) and "popups".
    std::vector<Fields> Steps(std::vector<std::string> args) {
        const ProcessResult r = Tool("wincheck", args, 4);
        WriteFile(dir() / ("steps-" + std::to_string(++runs_) + ".txt"), r.out + r.err);
        std::vector<Fields> steps;
        for (auto& [word, fields] : Parse(r.out)) {
            fields["focus"] = NameOf(fields["focus"]);
            if (word == "start" || word == "step")
                steps.push_back(fields);
        }
        return steps;
    }

    Process pindrel_;
    Fields window_;
    std::map<std::string, Fields> controls_;

  private:
    std::map<std::string, std::string> names_; // handle to control name
    int runs_ = 0;
};

// At 120 dots per inch: the window as the table draws it, the stored settings in the fields and
// the stored view mode selected, the focus order both ways, the fields taking what is typed into
// them, Enter in the list and in each text box doing nothing, "Set default" storing the texts as
// typed, and Escape closing the window on its release.
TEST_F(WindowTest, FollowsTheTableTakesTypedSettingsAndClosesOnEscapeRelease) {
    const std::string profile = session().ProfileKey();
    const std::string stored = "[" + profile +
                               "]\r\nStartY=-15\r\nDeltaX=13.5\r\nDeltaY=12.5\r\n[IconType]\r\n" +
                               profile + "=Report\r\n";
    fs::create_directories(app());
    WriteFile(app() / "pindrel.ini", "[Default]\r\nStartX=40\r\n" + stored);
    StartPindrel();
    EXPECT_EQ(NameOf(window_.at("focus")), "cmdSave") << "the focus at the start";
    EXPECT_EQ(FieldTexts(controls_), (Strings{"40", "-15", "14", "12"}));
    EXPECT_EQ(controls_["cmbView"]["items"], "Icon|List|Report|Small Icon");
    EXPECT_EQ(controls_["cmbView"]["selected"], "2");

    // Shift+Tab around to the start, then Tab to the last text box with Enter in the list, and
    // each text box emptied, typed into and given Enter; then Tab to "Set default" and Space;
    // then back to the last text box and Escape.
    const Strings typed = {"abc", "-3", "", "12.5 x"};
    Strings keys{"keys"};
    Strings expected{"cmdSave"}; // the focus after each key
    const auto press = [&](const std::string& key, size_t at) {
        keys.push_back(key);
        expected.push_back(kTabOrder[at]);
    };
    for (size_t at = kTabOrder.size(); at-- > 0;)
        press("Shift+Tab", at);
    for (size_t at = 1; at <= 7; ++at) {
        press("Tab", at);
        if (at == 2) // cmbView
            press("Enter", at);
        for (const char* key : {"Home", "Shift+End", "Delete"})
            if (at >= 4) // the text boxes
                press(key, at);
        if (at >= 4 && !typed[at - 4].empty())
            press("text:" + typed[at - 4], at);
        if (at >= 4)
            press("Enter", at);
    }
    const size_t typing = keys.size();
    press("Tab", 8);
    press("Space", 8);
    const size_t setDefault = keys.size();
    press("Shift+Tab", 7);
    press("down:Escape", 7);
    keys.push_back("up:Escape");
    const auto run = [&](size_t from, size_t to) {
        std::vector<Fields> steps =
            Steps(Concat({"keys"}, Strings(keys.begin() + from, keys.begin() + to)));
        EXPECT_EQ(steps.size(), to - from + 1) << "the window closed too early, or did not close";
        for (size_t i = 0; i < steps.size() && from + i <= expected.size(); ++i) {
            SCOPED_TRACE("after key " + std::to_string(from + i - 1) + " (" + keys[from + i - 1] +
                         ")");
            EXPECT_EQ(steps[i]["open"], "1");
            EXPECT_EQ(steps[i]["focus"], expected[from + i - 1]);
            EXPECT_EQ(steps[i]["popups"], "0") << "a message box appeared";
        }
        return steps;
    };
    run(1, typing);
    EXPECT_EQ(ReadFile(app() / "pindrel.ini"), "[Default]\r\nStartX=40\r\n" + stored)
        << "typing or Enter wrote to the settings file";
    run(typing, setDefault);
    // [Default] takes the texts as typed; the profile's section and the view mode stay.
    const std::string written = "[Default]\r\nStartX=" + typed[0] + "\r\nStartY=" + typed[1] +
                                "\r\nDeltaX=" + typed[2] + "\r\nDeltaY=" + typed[3] + "\r\n" +
                                stored;
    EXPECT_EQ(ReadFile(app() / "pindrel.ini"), written);
    EXPECT_EQ(FieldTexts(Controls("controls-after")), typed) << "the fields were reformatted";
    // The release of Escape, in a text box, closes the window, and the program ends with it.
    EXPECT_EQ(run(setDefault, keys.size()).back()["open"], "0")
        << "the window is still open after Escape was released";
    EXPECT_EQ(pindrel_.Wait(), std::optional<int>(0));
    EXPECT_EQ(ReadFile(app() / "pindrel.ini"), written);
    EXPECT_EQ(FilesIn(app()), (Strings{"pindrel.exe", "pindrel.ini"}));
}

} // namespace
} // namespace e2e
