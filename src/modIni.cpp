#include "modIni.h"

#include "Conversions.h"

namespace pindrel::modIni {

std::string SettingsFilePath(Runtime& runtime) {
    return Trim(runtime.AppPath() + "\\" + runtime.AppExeName() + ".ini");
}

std::string ReadIniString(WindowsApi& api, const std::string& key, const std::string& section,
                          const std::string& filePath) {
    char buffer[128] = {};
    const std::string path = Trim(filePath);
    DWORD copied = api.GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer,
                                                sizeof buffer, path.c_str());
    if (copied > sizeof buffer - 1) {
        copied = sizeof buffer - 1;
    }
    return std::string(buffer, copied);
}

void WriteIniString(WindowsApi& api, const std::string& key, const std::string& section,
                    const std::string& value, const std::string& filePath) {
    const std::string path = Trim(filePath);
    api.WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str());
}

} // namespace pindrel::modIni
