// Where the bytes of a layout come from, block by block: the layout file, or a text in memory.
#pragma once

#include "platform/Runtime.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace pindrel {

class LayoutSource {
  public:
    virtual ~LayoutSource() = default;
    // Copies the next bytes, at most `size`, to `buffer` and returns how many; 0 at the end.
    // Throws Failure when the bytes cannot be read.
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

// A layout in memory, handed out at most `blockSize` bytes at a time.
class TextSource final : public LayoutSource {
  public:
    explicit TextSource(std::string_view text, std::size_t blockSize = std::string_view::npos)
        : text_(text), blockSize_(blockSize == 0 ? 1 : blockSize) {}
    std::size_t Read(char* buffer, std::size_t size) override;

  private:
    std::string_view text_;
    std::size_t blockSize_;
};

// The layout file. A file (or folder) that does not exist is an empty layout, as on a first run; a
// file that exists but cannot be opened or read, or that lies on a drive or network path that
// cannot be reached, throws Failure naming it: such a file must not be taken for a missing one.
// The file is closed when the source ends.
class FileSource final : public LayoutSource {
  public:
    FileSource(Runtime& runtime, std::u16string path);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    std::size_t Read(char* buffer, std::size_t size) override;

  private:
    [[noreturn]] void Unreadable(const Failure& failure) const;

    Runtime& runtime_;
    std::u16string path_;
    int file_ = 0; // 0: no file
};

} // namespace pindrel
