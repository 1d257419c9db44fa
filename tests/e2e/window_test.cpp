// pindrel.exe's window, looked at and worked from outside as a user would, in the X11 session
// (Xvfb): wincheck.exe reports the window's controls and types keys into it; the
// expected geometry is the window's twips table (src/WindowLayout.h) at the session's DPI. The
// focus order table and the form's logic are the unit tests'; this test shows them on the real
// window.
#include "Harness.h"

#include "WindowLayout.h"

#include <algorithm>
#include <sstream>
#include <strings.h>
#include <tuple>

namespace e2e {
namespace {

namespace layout = pindrel::layout;
using Kind = layout::ControlKind;
using Fields = std::map<std::string, std::string>;
using Strings = std::vector<std::string>;

// wincheck's lines: a leading word, then tab-separated "name=value" fields. (None of the texts
// looked at holds a tab, a line end or a backslash, which wincheck would escape.)
std::vector<std::pair<std::string, Fields>> Parse(const std::string& text) {
    std::vector<std::pair<std::string, Fields>> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::replace(line.begin(), line.end(), '\t', '\n');
        lines.emplace_back(line.substr(0, line.find('\n')), Values(line));
    }
    return lines;
}

// Each kind's window class and the style bits looked at, with their values: frames
// BS_GROUPBOX; labels SS_LEFT (left-aligned, wrapping at words); text boxes one line that scrolls
// and takes any text (ES_AUTOHSCROLL; not ES_MULTILINE, ES_NUMBER, ES_READONLY);
// CBS_DROPDOWNLIST; BS_PUSHBUTTON (no default button, no check box).
const std::map<Kind, std::tuple<const char*, unsigned long, unsigned long>> kKinds = {
    {Kind::Frame, {"Button", 0x0F, 0x07}},
    {Kind::Label, {"Static", 0x1F, 0x00}},
    {Kind::TextBox, {"Edit", 0x2884, 0x0080}},
    {Kind::DropDownList, {"ComboBox", 0x03, 0x03}},
    {Kind::Button, {"Button", 0x0F, 0x00}}};

// The controls that take the focus, in the order Tab visits them; 4 to 7 are the text boxes.
const Strings kTabOrder = {"cmdSave",   "cmdLoad",   "cmbView",   "cmdSetIconType", "txtStartX",
                           "txtStartY", "txtDeltaX", "txtDeltaY", "cmdSetDefault",  "cmdSetUnique"};

class WindowTest : public E2eTest {
  protected:
    WindowTest() : E2eTest(WineSession::Of(true)) {}

    // The window's report: the window's own fields (kept in window_), and its controls by their
    // names in the table: the window's own child windows, each with the id 100 + its row in the
    // table (the dialog manager's ids; a combo box's own parts are children of the combo box).
    std::map<std::string, Fields> Controls() {
        const auto lines = Parse(Tool("wincheck", {"controls", "-"}).out);
        window_ = lines.at(0).second; // the "window" line comes first
        std::map<std::string, Fields> found;
        for (const auto& [word, c] : lines) {
            if (word != "child" || c.at("parent") != window_.at("hwnd"))
                continue;
            const auto row = static_cast<size_t>(std::stol(c.at("id")) - 100);
            if (row >= layout::kControlCount ||
                !found.emplace(layout::kControls[row].name, c).second)
                ADD_FAILURE() << "a control of no row of the table: id " << c.at("id");
            else
                names_[c.at("hwnd")] = layout::kControls[row].name;
        }
        return found;
    }

    // Types the keys with `wincheck keys`; after each one the window is still open (but for the
    // last when it `closes`), shows no message box, and the focus is on kTabOrder[its number].
    void Type(const std::vector<std::pair<std::string, size_t>>& keys, bool closes) {
        Strings args{"keys"};
        for (const auto& key : keys)
            args.push_back(key.first);
        const ProcessResult r = Tool("wincheck", args, 4);
        std::vector<Fields> steps;
        for (auto& [word, fields] : Parse(r.out))
            if (word == "step")
                steps.push_back(fields);
        ASSERT_EQ(steps.size(), keys.size()) << "the window closed too early: " << r.out;
        for (size_t i = 0; i < keys.size(); ++i) {
            SCOPED_TRACE("after key " + std::to_string(i) + " (" + keys[i].first + ")");
            const bool open = !closes || i + 1 < keys.size();
            EXPECT_EQ(steps[i]["open"], open ? "1" : "0") << "whether the window is open";
            if (open) { // braces: the macro holds an if of its own
                EXPECT_EQ(names_[steps[i]["focus"]], kTabOrder[keys[i].second]);
            }
            EXPECT_EQ(steps[i]["popups"], "0") << "a message box appeared";
        }
    }

    Fields window_;
    std::map<std::string, std::string> names_; // handle to control name
};

// At 120 dots per inch: the window as the table draws it, the focus order both ways, the fields
// taking what is typed into them, Enter in the list and in each text box doing nothing, "Set
// default" storing the texts as typed, and Escape closing the window on its release.
TEST_F(WindowTest, FollowsTheTableTakesTypedSettingsAndClosesOnEscapeRelease) {
    const fs::path app = CopyPindrel("app").parent_path();
    const std::string stored = "[IconType]\r\n" + session().ProfileKey() + "=Report\r\n";
    WriteFile(app / "pindrel.ini", "[Default]\r\nStartX=40\r\n" + stored);
    std::optional<Process> pindrel;
    session().Background(pindrel, {"wine", (app / "pindrel.exe").string()}, app, dir() / "log.txt");
    Tool("wincheck", {"wait"});

    // The caption, the client size, and every control's class, caption, style, rectangle within
    // a pixel and tab stop.
    const std::map<std::string, Fields> controls = Controls();
    int size[2] = {};
    std::sscanf(window_.at("client").c_str(), "%d,%d", &size[0], &size[1]);
    EXPECT_EQ(window_.at("caption"), layout::kWindowCaption);
    EXPECT_EQ(window_.at("dpi") + "," + window_.at("systemdpi"), "120,120") << "window, checker";
    EXPECT_NEAR(size[0], layout::kClientWidthTwips * kX11Dpi / 1440.0, 1.0);
    EXPECT_NEAR(size[1], layout::kClientHeightTwips * kX11Dpi / 1440.0, 1.0);
    ASSERT_EQ(controls.size(), layout::kControlCount);
    for (const layout::ControlSpec& row : layout::kControls) {
        const Fields& c = controls.at(row.name);
        const auto& [windowClass, mask, bits] = kKinds.at(row.kind);
        SCOPED_TRACE(std::string(row.name) + ", class " + c.at("class") + ", style " +
                     c.at("style") + ", rect " + c.at("rect"));
        EXPECT_EQ(strcasecmp(c.at("class").c_str(), windowClass), 0);
        EXPECT_EQ(std::stoul(c.at("style"), nullptr, 16) & mask, bits) << "its kind's style";
        if (row.kind != Kind::TextBox && row.kind != Kind::DropDownList) {
            EXPECT_EQ(c.at("text"), row.caption);
        }
        EXPECT_EQ(c.at("visible") + c.at("enabled"), "11");
        EXPECT_EQ(c.at("tabstop") == "1", layout::TakesFocus(row.kind)) << "WS_TABSTOP";
        const layout::TwipsRect t = layout::ClientRectTwips(row);
        int r[4] = {};
        std::sscanf(c.at("rect").c_str(), "%d,%d,%d,%d", &r[0], &r[1], &r[2], &r[3]);
        const int edges[4] = {r[0], r[1], r[0] + r[2], r[1] + r[3]};
        const int want[4] = {t.left, t.top, t.left + t.width, t.top + t.height};
        // The closed combo box's height follows the font: its bottom edge within 3 pixels.
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(edges[k], want[k] * kX11Dpi / 1440.0,
                        k == 3 && row.kind == Kind::DropDownList ? 3.0 : 1.0)
                << "left, top, right, bottom";
    }
    EXPECT_EQ(names_[window_.at("focus")], "cmdSave") << "the focus at the start";

    // Shift+Tab once around to the start, then Tab to the last text box with Enter in the list,
    // and each text box (whose text Tab selects) typed into, or emptied, and given Enter.
    const Strings typed = {"abc", "-3", "", "12.5 x"};
    std::vector<std::pair<std::string, size_t>> keys; // each with the focus after it
    for (size_t at = kTabOrder.size(); at-- > 0;)
        keys.emplace_back("Shift+Tab", at);
    for (size_t at = 1; at <= 7; ++at) {
        keys.emplace_back("Tab", at);
        if (at >= 4)
            keys.emplace_back(typed[at - 4].empty() ? "Delete" : "text:" + typed[at - 4], at);
        if (at == 2 || at >= 4)
            keys.emplace_back("Enter", at);
    }
    Type(keys, false);
    EXPECT_EQ(ReadFile(app / "pindrel.ini"), "[Default]\r\nStartX=40\r\n" + stored)
        << "typing or Enter wrote to the settings file";

    // On to "Set default" and Space, the last control, back to the last text box, and Escape:
    // its release closes the window, and the program ends with it.
    // clang-format off
    Type({{"Tab", 8}, {"Space", 8}, {"Tab", 9}, {"Shift+Tab", 8}, {"Shift+Tab", 7},
          {"down:Escape", 7}, {"up:Escape", 7}}, true);
    // clang-format on
    // [Default] takes the texts as typed; the stored view mode stays.
    EXPECT_EQ(ReadFile(app / "pindrel.ini"),
              "[Default]\r\nStartX=" + typed[0] + "\r\nStartY=" + typed[1] +
                  "\r\nDeltaX=" + typed[2] + "\r\nDeltaY=" + typed[3] + "\r\n" + stored);
    EXPECT_EQ(pindrel->Wait(), std::optional<int>(0));
    EXPECT_EQ(FilesIn(app), (std::set<std::string>{"pindrel.exe", "pindrel.ini"}));
}

} // namespace
} // namespace e2e
