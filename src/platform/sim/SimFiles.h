// The session's file system: Windows paths mapped to a host folder, with read-only files and
// folders, files locked by another program and an injectable "disk full". It serves the Runtime's
// sequential files and the tests' set-up.
#pragma once

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

    // ---- set-up and observation
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
    // The disk fills after `bytes` more bytes of output; negative: never.
    void SetDiskSpace(long long bytes) { diskSpace_ = bytes < 0 ? -1 : bytes; }
    std::vector<std::string> List(const std::string& windowsFolder) const; // files only, sorted
    int OpenFiles() const { return static_cast<int>(files_.size()); }

    // ---- the Runtime's files (failures throw the run-time's Failure naming the file)
    int OpenForOutput(const std::string& path);
    void WriteLine(int fileNumber, const std::string& text);
    int OpenForInput(const std::string& path);
    std::size_t ReadBlock(int fileNumber, char* buffer, std::size_t size);
    void CloseFile(int fileNumber);
    void ReplaceFile(const std::string& source, const std::string& target);
    void DeleteFileQuietly(const std::string& path) noexcept;

    // ---- for the profile functions
    bool IsLocked(const std::filesystem::path& host) const;
    // Why the file at `host` cannot be created, emptied or replaced: an error number, or 0.
    int WriteRefusal(const std::filesystem::path& host) const;
    // Takes `bytes` from the disk's free space; false when it has less.
    bool TakeSpace(long long bytes);

  private:
    struct OpenFile {
        std::filesystem::path host;
        std::string path;
        std::ofstream out;
        std::ifstream in;
        bool input = false;
    };
    int AddFile();
    OpenFile& Find(int fileNumber);
    bool IsReadOnly(const std::filesystem::path& host) const;

    std::filesystem::path root_;
    std::map<int, OpenFile> files_;
    std::set<std::string> readOnly_; // HostKey() of read-only files and folders
    std::set<std::string> locked_;
    std::map<std::string, long long> readErrors_; // where reading starts to fail
    long long diskSpace_ = -1;
};

} // namespace pindrel::sim
