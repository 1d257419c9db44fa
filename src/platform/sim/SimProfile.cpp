#include "platform/sim/SimProfile.h"

#include "platform/sim/SimIni.h"
#include "platform/sim/SimPaths.h"

#include <cstring>

namespace pindrel::sim {

DWORD ProfileRead(SimFiles& files, SimLog& log, const char* section, const char* key,
                  const char* defaultValue, char* buffer, DWORD size, const char* fileName) {
    if (!section || !key) {
        log.Fault("GetPrivateProfileStringA: listing sections or keys is not simulated");
        if (buffer && size > 0)
            buffer[0] = '\0';
        return 0;
    }
    std::optional<std::string> file;
    try {
        const std::filesystem::path host = files.Host(fileName ? fileName : "");
        if (!files.IsLocked(host))
            file = ReadHostFile(host);
    } catch (const Failure&) {
        // A relative or malformed name: nothing there to read (the default is used).
    }
    if (!buffer)
        return 0;
    const std::string text = IniRead(file, section, key, defaultValue ? defaultValue : "", size);
    if (size > 0)
        std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

BOOL ProfileWrite(SimFiles& files, const char* section, const char* key, const char* value,
                  const char* fileName) {
    if (!section) // only the "flush the cache" call (all NULL) succeeds without a section
        return !key && !value ? 1 : 0;
    try {
        const std::filesystem::path host = files.Host(fileName ? fileName : "");
        if (files.WriteRefusal(host) != 0)
            return 0;
        const std::optional<std::string> old = ReadHostFile(host);
        const std::optional<std::string> bytes =
            IniWrite(old, section, key ? std::optional<std::string>(key) : std::nullopt,
                     value ? std::optional<std::string>(value) : std::nullopt);
        if (!bytes)
            return 1;
        const auto growth =
            static_cast<long long>(bytes->size()) - static_cast<long long>(old ? old->size() : 0);
        if (!files.TakeSpace(growth))
            return 0;
        return WriteHostFile(host, *bytes) ? 1 : 0;
    } catch (const Failure&) {
        return 0;
    }
}

} // namespace pindrel::sim
