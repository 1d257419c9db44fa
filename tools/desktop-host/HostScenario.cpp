// Reads desktop-host's scenario file: options, icon lines and the "[second]" marker, one a line.
#include "HostScenario.h"

#include <cstdint>
#include <cstdio>

namespace desktophost {

namespace {

// Reads a signed 32-bit decimal number; false unless the whole text is one.
bool ParseInt(const std::string& text, int& value) {
    if (text.empty() || text.size() > 11)
        return false;
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size())
        return false;
    long long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
    }
    if (text[0] == '-')
        v = -v;
    if (v < INT32_MIN || v > INT32_MAX)
        return false;
    value = static_cast<int>(v);
    return true;
}

bool ParseOption(const std::string& key, const std::string& value, Scenario& s) {
    if (key == "autoarrange" && (value == "0" || value == "1")) {
        s.autoArrange = value == "1";
        return true;
    }
    if (key == "allocwatch" && (value == "0" || value == "1")) {
        s.allocWatch = value == "1";
        return true;
    }
    if (key == "vanish")
        return ParseInt(value, s.vanishAfter) && s.vanishAfter > 0;
    if (key == "hangafter")
        return ParseInt(value, s.hangAfter) && s.hangAfter > 0;
    if (key == "hangms")
        return ParseInt(value, s.hangMs) && s.hangMs >= 0;
    if (key == "comvanish")
        return ParseInt(value, s.comVanishAfter) && s.comVanishAfter > 0;
    if (key == "com") {
        static const struct {
            const char* name;
            ComMode mode;
        } modes[] = {{"0", ComMode::Off}, {"1", ComMode::On}, {"hollow", ComMode::Hollow}};
        for (const auto& m : modes) {
            if (value == m.name) {
                s.com = m.mode;
                return true;
            }
        }
        return false;
    }
    if (key == "view") {
        static const struct {
            const char* name;
            int view;
        } views[] = {{"icon", LV_VIEW_ICON},
                     {"report", LV_VIEW_DETAILS},
                     {"smallicon", LV_VIEW_SMALLICON},
                     {"list", LV_VIEW_LIST}};
        for (const auto& v : views) {
            if (value == v.name) {
                s.view = v.view;
                return true;
            }
        }
        return false;
    }
    if (key == "shape") {
        static const struct {
            const char* name;
            Shape shape;
        } shapes[] = {{"standard", Shape::Standard},
                      {"noprogman", Shape::NoProgman},
                      {"nolistview", Shape::NoListView},
                      {"twolistviews", Shape::TwoListViews},
                      {"workerw", Shape::WorkerW}};
        for (const auto& sh : shapes) {
            if (value == sh.name) {
                s.shape = sh.shape;
                s.shapeName = value;
                return true;
            }
        }
        return false;
    }
    return false;
}

} // namespace

bool ParseScenario(const std::string& text, Scenario& s) {
    size_t pos = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;
    int target = 0;
    int lineNumber = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        if (line == "[second]") {
            target = 1;
            continue;
        }
        char first = line[0];
        if (first == '-' || (first >= '0' && first <= '9')) {
            size_t c1 = line.find(',');
            size_t c2 = c1 == std::string::npos ? c1 : line.find(',', c1 + 1);
            Icon icon;
            if (c2 != std::string::npos && ParseInt(line.substr(0, c1), icon.x) &&
                ParseInt(line.substr(c1 + 1, c2 - c1 - 1), icon.y)) {
                icon.name = line.substr(c2 + 1);
                s.icons[target].push_back(icon);
                continue;
            }
        } else {
            size_t eq = line.find('=');
            if (eq != std::string::npos && ParseOption(line.substr(0, eq), line.substr(eq + 1), s))
                continue;
        }
        std::fprintf(stderr, "desktop-host: scenario line %d not understood: %s\n", lineNumber,
                     line.c_str());
        return false;
    }
    if (!s.icons[1].empty() && s.shape != Shape::TwoListViews) {
        std::fprintf(stderr, "desktop-host: [second] needs shape=twolistviews\n");
        return false;
    }
    return true;
}

} // namespace desktophost
