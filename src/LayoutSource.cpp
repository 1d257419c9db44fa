#include "LayoutSource.h"

#include "WindowsPaths.h"

#include <algorithm>
#include <cstring>

namespace pindrel {

std::size_t TextSource::Read(char* buffer, std::size_t size) {
    const std::size_t count = std::min({size, blockSize_, text_.size()});
    if (count > 0) {
        std::memcpy(buffer, text_.data(), count);
    }
    text_.remove_prefix(count);
    return count;
}

FileSource::FileSource(Runtime& runtime, std::u16string path)
    : runtime_(runtime), path_(std::move(path)) {
    try {
        file_ = runtime_.OpenForInput(FileSystemPath(path_));
    } catch (const Failure& failure) {
        if (failure.number() != errors::kFileNotFound &&
            failure.number() != errors::kPathNotFound) {
            Unreadable(failure);
        }
    }
}

FileSource::~FileSource() {
    if (file_ != 0) {
        try {
            runtime_.CloseFile(file_);
        } catch (const Failure&) {
            // Closing a file that was only read loses nothing.
        }
    }
}

std::size_t FileSource::Read(char* buffer, std::size_t size) {
    if (file_ == 0) {
        return 0;
    }
    try {
        return runtime_.ReadBlock(file_, buffer, size);
    } catch (const Failure& failure) {
        Unreadable(failure);
    }
}

void FileSource::Unreadable(const Failure& failure) const {
    throw Failure(failure.number(), "The layout could not be read (" + failure.description() + ")",
                  PathText(path_));
}

} // namespace pindrel
