#include "platform/sim/SimSystem.h"

#include <cstdio>
#include <cstring>

namespace pindrel::sim {

namespace {
void CopyName(const std::u16string& name, char16_t* buffer) {
    std::memcpy(buffer, name.c_str(), (name.size() + 1) * sizeof(char16_t));
}
} // namespace

// GetUserNameW: the size counts UTF-16 units and the terminator both ways; too small a buffer
// fails, writing nothing, and gives the size needed.
BOOL SimSystem::GetUserNameW(char16_t* buffer, DWORD* size) const {
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

// GetComputerNameW: as GetUserNameW, except that on success the size excludes the terminator
// (ERROR_BUFFER_OVERFLOW on failure, with the size needed including it).
BOOL SimSystem::GetComputerNameW(char16_t* buffer, DWORD* size) const {
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
    info->dwMajorVersion = nt ? major : 4; // the NT version set, or Windows 98 (4.10.1998)
    info->dwMinorVersion = nt ? minor : 10;
    info->dwBuildNumber = nt ? build : 0x040A07CE;
    info->dwPlatformId = platformId;
    std::snprintf(info->szCSDVersion, sizeof info->szCSDVersion, "%s",
                  nt ? "Service Pack 3" : " A ");
    return 1;
}

std::u16string SimSystem::AppPath() const {
    const std::size_t slash = executable.find_last_of(u'\\');
    const std::u16string folder =
        slash == std::u16string::npos ? executable : executable.substr(0, slash);
    return (folder.size() == 2 && folder[1] == u':') ? folder + u"\\" : folder;
}

std::u16string SimSystem::AppExeName() const {
    std::u16string name = executable.substr(executable.find_last_of(u'\\') + 1);
    const std::size_t dot = name.find_last_of(u'.');
    return dot == std::u16string::npos ? name : name.substr(0, dot);
}

} // namespace pindrel::sim
