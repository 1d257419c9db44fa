// What the tests of pindrel.exe's saves, restores, command texts and settings share: the names of
// the files the program reads and writes, runs of the program with a switch, settings written by
// the real WritePrivateProfileStringA, and the restore's default start worked out from what the
// Windows session reports.
#pragma once

#include "E2eTest.h"

#include <ostream>
#include <string>
#include <vector>

namespace e2e {

// One WritePrivateProfileStringA call.
struct IniValue {
    std::string section;
    std::string key;
    std::string value;
};

struct Point2 {
    int x = 0;
    int y = 0;

    friend bool operator==(const Point2& a, const Point2& b) { return a.x == b.x && a.y == b.y; }
    friend std::ostream& operator<<(std::ostream& out, const Point2& p) {
        return out << "(" << p.x << "," << p.y << ")";
    }
};

class PindrelRunTest : public PindrelTest {
  protected:
    // User, "@", computer, as this Windows session reports them.
    static std::string ProfileKey();
    // ProfileKey(), "@", W, "x", H, ".txt" for this session's screen.
    static std::string LayoutFileName();
    // The layout file that `exe` reads and writes: beside it.
    static fs::path LayoutOf(const fs::path& exe);

    // Runs `exe` with the command line "<its file name> <arguments>".
    ExactRun Pindrel(const fs::path& exe, const std::string& arguments);
    // The same while another process holds `held` open and shares it with nobody.
    ExactRun PindrelWhileHeld(const fs::path& held, const fs::path& exe,
                              const std::string& arguments);

    // Writes the values in order through the real WritePrivateProfileStringA.
    void WriteSettings(const fs::path& ini, const std::vector<IniValue>& values);

    // The restore's first placement-cursor position when no setting gives one: half the screen
    // in pixels by the integer rule (screen twips and twips per pixel each rounded to whole
    // numbers, divided as integers, halved with a half going to the even neighbour).
    static Point2 DefaultStart();
};

// The names of the files in `folder`, sorted.
std::vector<std::string> FilesIn(const fs::path& folder);
// The names sorted, to compare with FilesIn.
std::vector<std::string> Sorted(std::vector<std::string> names);

} // namespace e2e
