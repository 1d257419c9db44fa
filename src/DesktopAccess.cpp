#include "DesktopAccess.h"

#include "DesktopRequest.h"
#include "FolderViewDesktop.h"
#include "ListViewDesktop.h"

namespace pindrel {

std::string DescribeReach(Reach reach) {
    switch (reach) {
    case Reach::Reached:
        return "the request was made";
    case Reach::ProcessNotOpened:
        return "the process of the desktop window could not be opened";
    case Reach::NoBuffer:
        return "no memory could be had that the desktop window's process can reach";
    }
    return {};
}

Failure CountRefused(std::int32_t count) {
    return Failure(errors::kOutOfMemory,
                   "The desktop window reports " + std::to_string(count) +
                       " icons, more than a desktop holds",
                   kDesktopWindows);
}

bool PacksIntoLParam(std::int32_t x, std::int32_t y) {
    const std::int64_t high = static_cast<std::int64_t>(y) * 65536;
    const std::int64_t packed = high + x;
    return high >= INT32_MIN && high <= INT32_MAX && packed >= INT32_MIN && packed <= INT32_MAX;
}

namespace {

// Windows Vista (NT 6.0) or later, where the desktop's folder view keeps the icons' positions.
bool HasFolderView(WindowsApi& api) {
    OsVersionInfoA info;
    info.dwOSVersionInfoSize = sizeof info;
    return api.GetVersionExA(&info) != 0 && info.dwPlatformId == win::VER_PLATFORM_WIN32_NT &&
           info.dwMajorVersion >= 6;
}

} // namespace

std::unique_ptr<DesktopAccess> OpenDesktop(WindowsApi& api) {
    const Hwnd listView = modPindrel::FindDesktopListView(api);
    if (listView == Hwnd{0}) {
        return nullptr;
    }
    if (HasFolderView(api)) {
        if (auto folderView = FolderViewDesktop::Connect(api, listView, api.GetParent(listView))) {
            return folderView;
        }
    }
    return std::make_unique<modPindrel::ListViewDesktop>(api, listView);
}

} // namespace pindrel
