#include "FileErrors.h"

#include "WindowsPaths.h"
#include "platform/WindowsApi.h"

namespace pindrel {

namespace {

struct Unreachable {
    DWORD error;
    const char* what;
};

// What Windows says when a volume or a network path cannot be reached.
constexpr Unreachable kUnreachable[] = {
    {win::ERROR_INVALID_DRIVE, "the drive cannot be found"},
    {win::ERROR_NOT_READY, "the device is not ready"},
    {win::ERROR_REM_NOT_LIST, "the remote computer is not available"},
    {win::ERROR_BAD_NETPATH, "the network path was not found"},
    {win::ERROR_DEV_NOT_EXIST, "the network resource is no longer available"},
    {win::ERROR_BAD_NET_RESP, "the network server did not answer"},
    {win::ERROR_UNEXP_NET_ERR, "an unexpected network error occurred"},
    {win::ERROR_NETNAME_DELETED, "the network name is no longer available"},
    {win::ERROR_BAD_NET_NAME, "the network name cannot be found"},
    {win::ERROR_NO_NET_OR_BAD_PATH, "no network provider accepted the path"},
    {win::ERROR_NO_NETWORK, "the network is not present"},
    {win::ERROR_NETWORK_UNREACHABLE, "the network cannot be reached"},
    {win::ERROR_HOST_UNREACHABLE, "the remote computer cannot be reached"},
};

} // namespace

Failure FileFailure(DWORD windowsError, const std::u16string& path) {
    const std::string subject = PathText(path);
    for (const Unreachable& entry : kUnreachable) {
        if (entry.error == windowsError) {
            return Failure(errors::kDeviceUnavailable,
                           std::string("Device unavailable: ") + entry.what, subject);
        }
    }
    switch (windowsError) {
    case win::ERROR_FILE_NOT_FOUND:
        return Failure(errors::kFileNotFound, "File not found", subject);
    case win::ERROR_PATH_NOT_FOUND:
        return Failure(errors::kPathNotFound, "Path not found", subject);
    case win::ERROR_ACCESS_DENIED:
    case win::ERROR_SHARING_VIOLATION:
    case win::ERROR_LOCK_VIOLATION:
    case win::ERROR_WRITE_PROTECT:
        return Failure(errors::kPermissionDenied, "Permission denied", subject);
    case win::ERROR_FILENAME_EXCED_RANGE:
        return Failure(errors::kPathFileAccess, "Path/File access error (the name is too long)",
                       subject);
    case win::ERROR_UNABLE_TO_REMOVE_REPLACED:
    case win::ERROR_UNABLE_TO_MOVE_REPLACEMENT:
    case win::ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
        return Failure(errors::kPathFileAccess,
                       "Path/File access error (the file could not be replaced)", subject);
    case win::ERROR_INVALID_NAME:
    case win::ERROR_BAD_PATHNAME:
    case win::ERROR_DIRECTORY:
        return Failure(errors::kPathFileAccess, "Path/File access error", subject);
    case win::ERROR_DISK_FULL:
    case win::ERROR_HANDLE_DISK_FULL:
        return Failure(errors::kDiskFull, "Disk full", subject);
    default:
        return Failure(errors::kDeviceIo,
                       "Device I/O error (Windows error " + std::to_string(windowsError) + ")",
                       subject);
    }
}

} // namespace pindrel
