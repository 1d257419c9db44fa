#include "modNames.h"

namespace pindrel::modNames {

namespace {

std::u16string UpToNul(const char16_t* buffer, std::size_t size) {
    std::size_t length = 0;
    while (length < size && buffer[length] != u'\0') {
        ++length;
    }
    return std::u16string(buffer, length);
}

} // namespace

std::u16string GetUserNameString(WindowsApi& api) {
    char16_t buffer[100] = {};
    DWORD size = 100;
    // The query's own result is not looked at: on failure the buffer stays all NUL.
    api.GetUserNameW(buffer, &size);
    return UpToNul(buffer, 100);
}

std::u16string GetComputerNameString(WindowsApi& api) {
    char16_t buffer[512] = {};
    DWORD size = 512;
    if (api.GetComputerNameW(buffer, &size) == 0 || size > 512) {
        return {};
    }
    return std::u16string(buffer, size);
}

std::u16string ProfileKey(WindowsApi& api) {
    std::u16string key = GetUserNameString(api);
    key += u'@';
    key += GetComputerNameString(api);
    return key;
}

} // namespace pindrel::modNames
