#include "PindrelRunTest.h"

#include <algorithm>
#include <cmath>

namespace e2e {

namespace {

// Nearest integer, a half to the even neighbour (the default rounding mode).
long Round(double v) {
    return std::lrint(v);
}

int HalfScreen(int pixels, int dpi) {
    const float twipsPerPixel = 1440.0f / static_cast<float>(dpi);
    const long twips = Round(static_cast<double>(static_cast<float>(pixels) * twipsPerPixel));
    const long divisor = Round(static_cast<double>(twipsPerPixel));
    return static_cast<int>(Round(static_cast<double>(twips / divisor) / 2.0));
}

} // namespace

std::string PindrelRunTest::ProfileKey() {
    return sysInfo().user + "@" + sysInfo().computer;
}

std::string PindrelRunTest::LayoutFileName() {
    return ProfileKey() + "@" + std::to_string(sysInfo().screenWidth) + "x" +
           std::to_string(sysInfo().screenHeight) + ".txt";
}

fs::path PindrelRunTest::LayoutOf(const fs::path& exe) {
    return exe.parent_path() / LayoutFileName();
}

ExactRun PindrelRunTest::Pindrel(const fs::path& exe, const std::string& arguments) {
    return RunExact(exe, exe.filename().string() + " " + arguments);
}

ExactRun PindrelRunTest::PindrelWhileHeld(const fs::path& held, const fs::path& exe,
                                          const std::string& arguments) {
    ProcessResult r = HostCtl(
        {"runlocked", WinPath(held), WinPath(exe), exe.filename().string() + " " + arguments});
    const std::string mark = "exit=";
    const size_t at = r.out.rfind(mark);
    if (at == std::string::npos)
        throw HarnessError("hostctl runlocked did not run " + exe.string() + ": status " +
                           std::to_string(r.status) + ", " + r.out + r.err);
    return ExactRun{std::stoul(r.out.substr(at + mark.size())), r.out, r.err};
}

void PindrelRunTest::WriteSettings(const fs::path& ini, const std::vector<IniValue>& values) {
    std::vector<std::string> args{"writeini", WinPath(ini)};
    for (const IniValue& v : values) {
        args.push_back(v.section);
        args.push_back(v.key);
        args.push_back(v.value);
    }
    ProcessResult r = HostCtl(args);
    if (r.status != 0)
        throw HarnessError("hostctl writeini failed: " + r.err);
}

Point2 PindrelRunTest::DefaultStart() {
    return Point2{HalfScreen(sysInfo().screenWidth, sysInfo().dpiX),
                  HalfScreen(sysInfo().screenHeight, sysInfo().dpiY)};
}

std::vector<std::string> FilesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace e2e
