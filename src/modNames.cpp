#include "modNames.h"

#include <cstring>

namespace pindrel::modNames {

std::string GetUserNameString(WindowsApi& api) {
    char buffer[100] = {};
    DWORD size = sizeof buffer;
    // The query's own result is not looked at: on failure the buffer stays all NUL.
    api.GetUserNameA(buffer, &size);
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

std::string GetComputerNameString(WindowsApi& api) {
    char buffer[512] = {};
    DWORD size = sizeof buffer;
    if (api.GetComputerNameA(buffer, &size) == 0 || size > sizeof buffer) {
        return {};
    }
    return std::string(buffer, size);
}

std::string ProfileKey(WindowsApi& api) {
    std::string key = GetUserNameString(api);
    key += '@';
    key += GetComputerNameString(api);
    return key;
}

} // namespace pindrel::modNames
