// Runtime provided by Windows: the screen's metrics, the executable's location, the command line
// and text files.
//
// This header does not include <windows.h> (see NativeWindowsApi.h).
#pragma once

#include "platform/Runtime.h"

#include <map>
#include <string>

namespace pindrel {

class NativeRuntime final : public Runtime {
  public:
    NativeRuntime() = default;
    ~NativeRuntime() override;
    NativeRuntime(const NativeRuntime&) = delete;
    NativeRuntime& operator=(const NativeRuntime&) = delete;

    float ScreenWidthTwips() override;
    float ScreenHeightTwips() override;
    float TwipsPerPixelX() override;
    float TwipsPerPixelY() override;
    bool ScreenPixels(std::int32_t& width, std::int32_t& height) override;

    std::u16string AppPath() override;
    std::u16string AppExeName() override;
    std::string Command() override;

    int OpenForOutput(const std::u16string& path) override;
    void WriteLine(int fileNumber, const std::string& text) override;
    void WriteBytes(int fileNumber, const std::string& bytes) override;
    int OpenForInput(const std::u16string& path) override;
    std::size_t ReadBlock(int fileNumber, char* buffer, std::size_t size) override;
    void CloseFile(int fileNumber) override;
    void ReplaceFile(const std::u16string& source, const std::u16string& target,
                     const std::u16string& backup = {}) override;
    void DeleteFileQuietly(const std::u16string& path) noexcept override;

  private:
    // An open file: its handle (a HANDLE), and for output the lines not yet handed to WriteFile.
    struct OpenFile {
        void* handle = nullptr;
        std::u16string path;
        std::string pending;
        bool input = false;
    };
    int AddFile(OpenFile file);
    OpenFile& File(int fileNumber);
    // Hands the pending lines to WriteFile; returns the Windows error code (0 for success).
    unsigned long Flush(OpenFile& file);
    void Append(int fileNumber, const std::string& bytes);

    std::map<int, OpenFile> files_;
};

} // namespace pindrel
