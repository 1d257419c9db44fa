// The simulated machine's own facts: the user and computer names, the platform and its version,
// the screen, and the running executable with its command line. Names and paths are held as
// UTF-16, as Windows holds them.
#pragma once

#include "platform/WindowsApi.h"

#include <string>

namespace pindrel::sim {

class SimSystem {
  public:
    std::u16string user = u"USER1";
    std::u16string computer = u"DESK1";
    DWORD platformId = win::VER_PLATFORM_WIN32_NT;
    // The version of NT GetVersionExA reports (Windows XP unless a test says otherwise).
    DWORD major = 5, minor = 1, build = 2600;
    bool versionFails = false;
    float widthTwips = 1024 * 15.0f, heightTwips = 768 * 15.0f, tppX = 15.0f, tppY = 15.0f;
    // The size in pixels as the platform reports it; 0 where only the twips are known.
    int pixelsX = 1024, pixelsY = 768;
    std::u16string executable;
    std::string commandLine;

    bool Nt() const { return platformId == win::VER_PLATFORM_WIN32_NT; }

    BOOL GetUserNameW(char16_t* buffer, DWORD* size) const;
    BOOL GetComputerNameW(char16_t* buffer, DWORD* size) const;
    BOOL GetVersionExA(OsVersionInfoA* info) const;
    std::u16string AppPath() const;
    std::u16string AppExeName() const;
};

} // namespace pindrel::sim
