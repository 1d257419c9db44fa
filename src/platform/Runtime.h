// The run-time services the program relies on besides the Windows functions: the screen's size,
// where the executable lives, the command line, and text files.
//
// Paths are Windows paths in UTF-16 ("C:\Tools\USER1@DESK1@1024x768.txt"), as the wide file
// functions take them: any name Windows can hold, in the "\\?\" form when they are MAX_PATH
// units or longer. Every file operation that fails throws the pindrel::Failure that FileFailure
// makes of the Windows error, naming the file.
#pragma once

#include "platform/Types.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace pindrel {

class Runtime {
  public:
    virtual ~Runtime() = default;

    // The primary screen's size in twips and the twips per pixel along each axis.
    virtual float ScreenWidthTwips() = 0;
    virtual float ScreenHeightTwips() = 0;
    virtual float TwipsPerPixelX() = 0;
    virtual float TwipsPerPixelY() = 0;
    // The primary screen's size in pixels, where the platform reports it directly; false where
    // only its size in twips is known.
    virtual bool ScreenPixels(std::int32_t& width, std::int32_t& height) = 0;

    // The folder that holds the running executable, without a trailing "\" except at a drive's
    // root ("C:\Tools", "C:\").
    virtual std::u16string AppPath() = 0;
    // The executable's file name without its extension ("Pindrel").
    virtual std::u16string AppExeName() = 0;
    // The whole argument text after the program's own name, as one text.
    virtual std::string Command() = 0;

    // Sequential text files. OpenForOutput creates the file, or empties an existing one, and
    // returns a file number; WriteLine writes the text followed by CR LF. OpenForInput opens an
    // existing file for reading (it fails when the file does not exist or cannot be opened);
    // ReadBlock copies its next bytes, at most `size`, and returns how many: 0 at the end.
    // CloseFile closes either kind; for an output file it flushes first, and fails when the data
    // could not be written. WriteBytes writes the bytes as they are. A file open for input is
    // shared for reading, writing and deleting (others may write it meanwhile, and delete or
    // replace it where the file system allows that for an open file); one open for output is
    // shared with nobody.
    virtual int OpenForOutput(const std::u16string& path) = 0;
    virtual void WriteLine(int fileNumber, const std::string& text) = 0;
    virtual void WriteBytes(int fileNumber, const std::string& bytes) = 0;
    virtual int OpenForInput(const std::u16string& path) = 0;
    virtual std::size_t ReadBlock(int fileNumber, char* buffer, std::size_t size) = 0;
    virtual void CloseFile(int fileNumber) = 0;

    // Replaces `target` by `source` in one step (the old target stays whole until the new one
    // takes its place), and flushes the change to disk; with a `backup` path, an existing target
    // becomes that file in the same step (an older backup is replaced). Fails when the target (or
    // the backup) is locked or read-only, or the folder cannot be written: every file is then as
    // it was.
    virtual void ReplaceFile(const std::u16string& source, const std::u16string& target,
                             const std::u16string& backup = {}) = 0;
    // Deletes a file; does nothing when it is missing. Never fails.
    virtual void DeleteFileQuietly(const std::u16string& path) noexcept = 0;
};

} // namespace pindrel
