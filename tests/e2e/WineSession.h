// The Wine session shared by every end-to-end test of a run: one headless prefix, one wineserver,
// the paths of the Windows programs under test, and what that Windows session reports about
// itself.
//
// Environment variables:
//   PINDREL_EXE, DESKTOP_HOST_EXE, HOSTCTL_EXE, INIPROBE_EXE
//                            the programs (default: the windows-x86 build)
//   PINDREL_E2E_WINEPREFIX   the prefix (default: "wineprefix" beside the test binary). The run
//                            ends every Wine process of this prefix at its start and its end, so it
//                            must not be a prefix that anything else uses at the same time.
//   PINDREL_E2E_KEEP_WINESERVER=1   leave the wineserver running after the run
//   PINDREL_E2E_WITHOUT_WINE=1      skip every test that needs Wine, saying so (by default a
//                                   Wine that cannot be started fails those tests)
//   WINELOADER, WINESERVER   the 64-bit loader and server (default: Debian's wine64 ones)
#pragma once

#include "Process.h"

#include <string>
#include <vector>

namespace e2e {

// What the Windows session in the prefix reports (hostctl sysinfo).
struct SysInfo {
    std::string user;     // GetUserNameA
    std::string computer; // GetComputerNameA
    int screenWidth = 0;  // pixels
    int screenHeight = 0;
    int dpiX = 0;
    int dpiY = 0;
    int twipsPerPixelX = 0;
    int twipsPerPixelY = 0;
    unsigned ansiCodePage = 0;
};

SysInfo ParseSysInfo(const std::string& text);

// The 64-bit Wine loader and server, called directly: Debian's /usr/bin/wine wrapper would pick
// the 32-bit loader whenever wine32 is installed.
std::string WineLoader();
std::string WineServer();
// True when the person running the tests asked to leave Wine out (PINDREL_E2E_WITHOUT_WINE=1).
bool WineOptedOut();

// "Z:" and the absolute Unix path with "\" separators: how a Wine program sees a Unix file.
std::string WinPath(const fs::path& unixPath);

class WineSession {
  public:
    static WineSession& Instance();

    // Sets up the prefix and the server and asks the session about itself. On a machine that
    // cannot run the tests, `usable()` is false and `unusableReason()` says why.
    void Start();
    void Stop();

    bool usable() const { return usable_; }
    const std::string& unusableReason() const { return reason_; }
    bool hasPindrel() const;

    const fs::path& pindrelExe() const { return pindrel_; }
    const fs::path& desktopHostExe() const { return desktopHost_; }
    const fs::path& hostctlExe() const { return hostctl_; }
    const fs::path& iniprobeExe() const { return iniprobe_; }
    const fs::path& prefix() const { return prefix_; }
    // The folder under which each test gets a fresh folder of its own.
    fs::path workRoot() const;
    const SysInfo& sysInfo() const { return sysInfo_; }

    // `wine <args...>` in `cwd`, waited for.
    ProcessResult Wine(const std::vector<std::string>& args, const fs::path& cwd) const;
    // `wine <args...>` in `cwd`, left running; output to `log`.
    BackgroundProcess WineInBackground(const std::vector<std::string>& args, const fs::path& cwd,
                                       const fs::path& log) const;

  private:
    void Fail(const std::string& reason);

    bool started_ = false;
    bool usable_ = false;
    std::string reason_;
    fs::path pindrel_;
    fs::path desktopHost_;
    fs::path hostctl_;
    fs::path iniprobe_;
    fs::path prefix_;
    SysInfo sysInfo_;
};

} // namespace e2e
