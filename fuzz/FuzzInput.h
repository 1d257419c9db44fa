// What the fuzz targets share: reading numbers and texts off the front of the fuzzer's input, a
// host folder for the simulated session's drives, and the check that ends the run when an
// invariant is broken.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace pindrel::fuzz {

// Ends the run, so that libFuzzer keeps the input, when `holds` is false. Where the unit tests
// replay the corpus through the same oracle (PINDREL_FUZZ_REPLAY), it throws instead, naming the
// rule, and the test fails.
inline void Require(bool holds, const char* rule) {
    if (holds)
        return;
#ifdef PINDREL_FUZZ_REPLAY
    throw std::runtime_error(std::string("broken: ") + rule);
#else
    std::fprintf(stderr, "broken: %s\n", rule);
    std::abort();
#endif
}

// The input, read from the front. Once it is used up every number reads as 0 and every text as "".
class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Done() const { return pos_ >= size_; }
    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    // The next `bytes` bytes (1 to 4), little-endian, as a signed number of that width.
    std::int32_t Signed(int bytes) {
        std::uint32_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= static_cast<std::uint32_t>(Byte()) << (8 * i);
        return static_cast<std::int32_t>(value << (32 - 8 * bytes)) >> (32 - 8 * bytes);
    }
    std::string Take(std::size_t count) {
        const std::size_t start = pos_;
        pos_ += std::min(count, size_ - pos_);
        return std::string(reinterpret_cast<const char*>(data_ + start), pos_ - start);
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A folder of this process for the simulated drives, removed when the process ends.
inline const std::filesystem::path& ScratchFolder() {
    struct Folder {
        std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("pindrel-fuzz-" + std::to_string(::getpid()));
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const Folder folder;
    return folder.path;
}

} // namespace pindrel::fuzz
