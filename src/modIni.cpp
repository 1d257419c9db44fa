#include "modIni.h"

#include "AnsiText.h"
#include "Conversions.h"
#include "Utf.h"
#include "WindowsPaths.h"

namespace pindrel::modIni {

namespace {

// The mark a UTF-16 profile file starts with (little-endian, the form Windows writes).
const std::string kUtf16Mark = "\xFF\xFE";

// The file's first bytes: "" when it is missing or cannot be read.
std::string FirstBytes(Runtime& runtime, const std::u16string& path, std::size_t count) {
    try {
        const int file = runtime.OpenForInput(FileSystemPath(path));
        std::string bytes(count, '\0');
        std::size_t got = 0;
        try {
            while (got < count) {
                const std::size_t read = runtime.ReadBlock(file, bytes.data() + got, count - got);
                if (read == 0) {
                    break;
                }
                got += read;
            }
        } catch (const Failure&) {
            got = 0;
        }
        runtime.CloseFile(file);
        bytes.resize(got);
        return bytes;
    } catch (const Failure&) {
        return {};
    }
}

bool IsUnicodeFile(Runtime& runtime, const std::u16string& path) {
    const std::string mark = FirstBytes(runtime, path, 2);
    return mark == kUtf16Mark || mark == "\xFE\xFF";
}

// The whole file; throws Failure when it exists but cannot be read. A missing file is empty.
std::string WholeFile(Runtime& runtime, const std::u16string& path) {
    int file = 0;
    try {
        file = runtime.OpenForInput(FileSystemPath(path));
    } catch (const Failure& failure) {
        if (failure.number() == errors::kFileNotFound) {
            return {};
        }
        throw;
    }
    std::string bytes;
    try {
        char block[64 * 1024];
        for (std::size_t read; (read = runtime.ReadBlock(file, block, sizeof block)) > 0;) {
            bytes.append(block, read);
        }
    } catch (const Failure&) {
        runtime.CloseFile(file);
        throw;
    }
    runtime.CloseFile(file);
    return bytes;
}

// Rewrites the ANSI file as UTF-16 with its mark, holding the same text, in one step: a new file
// beside it replaces it once complete. A missing file becomes one holding the mark only.
void MakeUnicode(WindowsApi& api, Runtime& runtime, const std::u16string& path) {
    const std::u16string text = AnsiToWide(api, WholeFile(runtime, path));
    std::string bytes = kUtf16Mark;
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    const std::u16string temporary =
        path + u"." + Utf8ToUtf16(std::to_string(api.GetCurrentProcessId())) + u".tmp";
    int file = 0;
    try {
        file = runtime.OpenForOutput(FileSystemPath(temporary));
        runtime.WriteBytes(file, bytes);
        const int closing = file;
        file = 0;
        runtime.CloseFile(closing);
        runtime.ReplaceFile(FileSystemPath(temporary), FileSystemPath(path));
    } catch (const Failure&) {
        if (file != 0) {
            try {
                runtime.CloseFile(file);
            } catch (const Failure&) {
                // The first failure is the one to report.
            }
        }
        runtime.DeleteFileQuietly(FileSystemPath(temporary));
        throw;
    }
}

Failure NotSaved(const std::u16string& path, const std::string& why) {
    return Failure(errors::kPathFileAccess, "The settings could not be saved" + why,
                   PathText(path));
}

} // namespace

std::u16string SettingsFilePath(Runtime& runtime) {
    return Trim(runtime.AppPath() + u"\\" + runtime.AppExeName() + u".ini");
}

std::string ReadIniString(WindowsApi& api, Runtime& runtime, const std::u16string& key,
                          const std::u16string& section, const std::u16string& filePath) {
    const std::u16string path = Trim(filePath);
    if (path.size() > kLongestSettingsPath) {
        return {};
    }
    // An ANSI file cannot hold a name the code page cannot write; asking for it would find the
    // section of whatever name turns into the same "?"s.
    if ((!FitsCodePage(api, section) || !FitsCodePage(api, key)) && !IsUnicodeFile(runtime, path)) {
        return {};
    }
    std::u16string buffer;
    for (DWORD size = 128;; size *= 4) {
        buffer.assign(size, u'\0');
        DWORD copied = api.GetPrivateProfileStringW(section.c_str(), key.c_str(), u"",
                                                    buffer.data(), size, path.c_str());
        // size - 1 units copied: the value may have been cut to fit.
        if (copied > size - 1) {
            copied = size - 1;
        }
        if (copied < size - 1 || size >= kLongestValue) {
            buffer.resize(copied);
            return WideToAnsi(api, buffer);
        }
    }
}

void WriteIniString(WindowsApi& api, Runtime& runtime, const std::u16string& key,
                    const std::u16string& section, const std::string& value,
                    const std::u16string& filePath) {
    const std::u16string path = Trim(filePath);
    if (path.size() > kLongestSettingsPath) {
        throw NotSaved(path, ": its path is " + std::to_string(path.size()) +
                                 " characters long, and the settings functions of Windows take "
                                 "at most " +
                                 std::to_string(kLongestSettingsPath));
    }
    const std::u16string wideValue = AnsiToWide(api, value);
    if ((!FitsCodePage(api, section) || !FitsCodePage(api, key)) && !IsUnicodeFile(runtime, path)) {
        try {
            MakeUnicode(api, runtime, path);
        } catch (const Failure& failure) {
            throw NotSaved(path, " (" + failure.description() + ")");
        }
    }
    if (api.WritePrivateProfileStringW(section.c_str(), key.c_str(), wideValue.c_str(),
                                       path.c_str()) == 0) {
        throw NotSaved(path, "");
    }
}

} // namespace pindrel::modIni
