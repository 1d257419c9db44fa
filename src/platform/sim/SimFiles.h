// The session's file system: Windows paths mapped to a host folder, with read-only files and
// folders, files locked by another program, volumes and network paths that cannot be reached, and
// an injectable "disk full". It serves the Runtime's sequential files and the tests' set-up.
//
// The Runtime's functions behave as the wide file functions of a Windows without long-path support
// switched on (the default): a path of MAX_PATH units or more works only in the "\\?\" form. A
// file open for output is shared with nobody (no other open, no replace, no delete); one open for
// input may be opened again, but not replaced or deleted, as NTFS refuses to supersede a file that
// is open unless the newest Windows 10 and 11 rename it with POSIX semantics. Failures are those of
// FileFailure for the Windows error each one meets.
#pragma once

#include "platform/Types.h"

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace pindrel::sim {

class SimFiles {
  public:
    // Drive-letter paths map to root/<lower-case drive letter>/...; drive C's folder is created.
    explicit SimFiles(std::filesystem::path root);

    // ---- set-up and observation (paths in UTF-8, of any length)
    std::filesystem::path Host(const std::string& windowsPath) const;
    bool Exists(const std::string& windowsPath) const;
    std::string Bytes(const std::string& windowsPath) const; // "" when missing
    void Write(const std::string& windowsPath, const std::string& bytes);
    void CreateFolder(const std::string& windowsPath);
    // A read-only file cannot be replaced, emptied or deleted; in a read-only folder no file can
    // be created, replaced or deleted.
    void SetReadOnly(const std::string& windowsPath, bool readOnly);
    // A file held open without sharing by another program: it cannot be opened, read, replaced or
    // deleted.
    void SetLocked(const std::string& windowsPath, bool locked);
    // A file that opens but whose reading fails, from its start or once `afterBytes` are read.
    void SetReadError(const std::string& windowsPath, bool fails, long long afterBytes = 0);
    // Every path at or under `windowsPrefix` ("Z:", "\\server\share") cannot be reached: each
    // operation on it fails with `windowsError` (ERROR_BAD_NETPATH, ERROR_INVALID_DRIVE, ...);
    // ERROR_SUCCESS makes it reachable again.
    void SetUnreachable(const std::string& windowsPrefix, DWORD windowsError);
    // The disk fills after `bytes` more bytes of output; negative: never.
    void SetDiskSpace(long long bytes) { diskSpace_ = bytes < 0 ? -1 : bytes; }
    std::vector<std::string> List(const std::string& windowsFolder) const; // files only, sorted
    int OpenFiles() const { return static_cast<int>(files_.size()); }

    // ---- the Runtime's files (failures throw the Failure of the Windows error, naming the file)
    int OpenForOutput(const std::u16string& path);
    void WriteLine(int fileNumber, const std::string& text);
    void WriteBytes(int fileNumber, const std::string& bytes);
    int OpenForInput(const std::u16string& path);
    std::size_t ReadBlock(int fileNumber, char* buffer, std::size_t size);
    void CloseFile(int fileNumber);
    // ReplaceFileW where the target exists and a backup is asked for (the target becomes the
    // backup, the source the target, in one step), MoveFileExW otherwise.
    void ReplaceFile(const std::u16string& source, const std::u16string& target,
                     const std::u16string& backup = {});
    void DeleteFileQuietly(const std::u16string& path) noexcept;

    // ---- for the profile functions: the host file a path names, as the file functions reach it
    // (MAX_PATH applies), and the Windows error that stops it being read or written (0: none).
    std::filesystem::path Reach(const std::u16string& path) const;
    DWORD ReadRefusal(const std::filesystem::path& host) const;
    DWORD WriteRefusal(const std::filesystem::path& host) const;
    // Takes `bytes` from the disk's free space; false when it has less.
    bool TakeSpace(long long bytes);

  private:
    struct OpenFile {
        std::filesystem::path host;
        std::u16string path;
        std::ofstream out;
        std::ifstream in;
        bool input = false;
    };
    int AddFile();
    OpenFile& Find(int fileNumber);
    bool IsReadOnly(const std::filesystem::path& host) const;
    bool IsLocked(const std::filesystem::path& host) const;
    bool OpenForOutputNow(const std::filesystem::path& host) const;
    bool OpenNow(const std::filesystem::path& host) const;
    DWORD Unreachable(const std::filesystem::path& host) const;
    // Writes what fits of `bytes` and fails with "Disk full" for the rest.
    void Put(OpenFile& file, const std::string& bytes);

    std::filesystem::path root_;
    std::map<int, OpenFile> files_;
    std::set<std::string> readOnly_; // HostKey() of read-only files and folders
    std::set<std::string> locked_;
    std::map<std::string, long long> readErrors_; // where reading starts to fail
    std::map<std::string, DWORD> unreachable_;    // HostKey() of a prefix, and its error
    long long diskSpace_ = -1;
};

} // namespace pindrel::sim
