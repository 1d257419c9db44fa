#include "platform/sim/SimSystem.h"

#include <cstdio>
#include <cstring>

namespace pindrel::sim {

namespace {
void CopyName(const std::string& name, char* buffer) {
    std::memcpy(buffer, name.c_str(), name.size() + 1);
}
} // namespace

// GetUserNameA: the size counts the terminator both ways; too small a buffer fails, writing
// nothing, and gives the size needed.
BOOL SimSystem::GetUserNameA(char* buffer, DWORD* size) const {
    if (!size)
        return 0;
    const auto needed = static_cast<DWORD>(user.size() + 1);
    if (!buffer || *size < needed) {
        *size = needed;
        return 0;
    }
    CopyName(user, buffer);
    *size = needed;
    return 1;
}

// GetComputerNameA: as GetUserNameA, except that on success the size excludes the terminator
// (ERROR_BUFFER_OVERFLOW on failure, with the size needed including it).
BOOL SimSystem::GetComputerNameA(char* buffer, DWORD* size) const {
    if (!size)
        return 0;
    const auto length = static_cast<DWORD>(computer.size());
    if (!buffer || *size < length + 1) {
        *size = length + 1;
        return 0;
    }
    CopyName(computer, buffer);
    *size = length;
    return 1;
}

BOOL SimSystem::GetVersionExA(OsVersionInfoA* info) const {
    if (!info || info->dwOSVersionInfoSize != sizeof(OsVersionInfoA) || versionFails)
        return 0;
    const bool nt = Nt();
    info->dwMajorVersion = nt ? 5 : 4; // Windows XP (5.1.2600) or Windows 98 (4.10.1998)
    info->dwMinorVersion = nt ? 1 : 10;
    info->dwBuildNumber = nt ? 2600 : 0x040A07CE;
    info->dwPlatformId = platformId;
    std::snprintf(info->szCSDVersion, sizeof info->szCSDVersion, "%s",
                  nt ? "Service Pack 3" : " A ");
    return 1;
}

std::string SimSystem::AppPath() const {
    const std::size_t slash = executable.find_last_of('\\');
    const std::string folder =
        slash == std::string::npos ? executable : executable.substr(0, slash);
    return (folder.size() == 2 && folder[1] == ':') ? folder + "\\" : folder;
}

std::string SimSystem::AppExeName() const {
    std::string name = executable.substr(executable.find_last_of('\\') + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

} // namespace pindrel::sim
