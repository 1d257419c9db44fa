// A Runtime that gives the program a command line of its own choosing and is the given Runtime in
// everything else: the watcher runs the "-r" path through it.
#pragma once

#include "platform/Runtime.h"

#include <string>
#include <utility>

namespace pindrel {

class CommandRuntime final : public Runtime {
  public:
    CommandRuntime(Runtime& runtime, std::string command)
        : runtime_(runtime), command_(std::move(command)) {}

    std::string Command() override { return command_; }

    float ScreenWidthTwips() override { return runtime_.ScreenWidthTwips(); }
    float ScreenHeightTwips() override { return runtime_.ScreenHeightTwips(); }
    float TwipsPerPixelX() override { return runtime_.TwipsPerPixelX(); }
    float TwipsPerPixelY() override { return runtime_.TwipsPerPixelY(); }
    bool ScreenPixels(std::int32_t& width, std::int32_t& height) override {
        return runtime_.ScreenPixels(width, height);
    }
    std::u16string AppPath() override { return runtime_.AppPath(); }
    std::u16string AppExeName() override { return runtime_.AppExeName(); }
    int OpenForOutput(const std::u16string& path) override { return runtime_.OpenForOutput(path); }
    void WriteLine(int fileNumber, const std::string& text) override {
        runtime_.WriteLine(fileNumber, text);
    }
    void WriteBytes(int fileNumber, const std::string& bytes) override {
        runtime_.WriteBytes(fileNumber, bytes);
    }
    int OpenForInput(const std::u16string& path) override { return runtime_.OpenForInput(path); }
    std::size_t ReadBlock(int fileNumber, char* buffer, std::size_t size) override {
        return runtime_.ReadBlock(fileNumber, buffer, size);
    }
    void CloseFile(int fileNumber) override { runtime_.CloseFile(fileNumber); }
    void ReplaceFile(const std::u16string& source, const std::u16string& target,
                     const std::u16string& backup = {}) override {
        runtime_.ReplaceFile(source, target, backup);
    }
    void DeleteFileQuietly(const std::u16string& path) noexcept override {
        runtime_.DeleteFileQuietly(path);
    }

  private:
    Runtime& runtime_;
    std::string command_;
};

} // namespace pindrel
