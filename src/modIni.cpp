#include "modIni.h"

#include "Conversions.h"

namespace pindrel::modIni {

std::string SettingsFilePath(Runtime& runtime) {
    return Trim(runtime.AppPath() + "\\" + runtime.AppExeName() + ".ini");
}

std::string ReadIniString(WindowsApi& api, const std::string& key, const std::string& section,
                          const std::string& filePath) {
    const std::string path = Trim(filePath);
    std::string buffer;
    for (DWORD size = 128;; size *= 4) {
        buffer.assign(size, '\0');
        DWORD copied = api.GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                                                    size, path.c_str());
        // size - 1 characters copied: the value may have been cut to fit.
        if (copied > size - 1) {
            copied = size - 1;
        }
        if (copied < size - 1 || size >= kLongestValue) {
            buffer.resize(copied);
            return buffer;
        }
    }
}

void WriteIniString(WindowsApi& api, const std::string& key, const std::string& section,
                    const std::string& value, const std::string& filePath) {
    const std::string path = Trim(filePath);
    if (api.WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) ==
        0) {
        throw Failure(errors::kPathFileAccess, "The settings could not be saved", path);
    }
}

} // namespace pindrel::modIni
