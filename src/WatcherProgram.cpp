#include "WatcherProgram.h"

#include "CommandRuntime.h"
#include "HiddenControls.h"
#include "LayoutFile.h"
#include "ListViewDesktop.h"
#include "WindowsPaths.h"
#include "modNames.h"

#include <exception>

namespace pindrel {

std::optional<std::int32_t> WatcherProgram::ItemCount() {
    try {
        const Hwnd listView = modPindrel::FindDesktopListView(api_);
        if (listView == Hwnd{0}) {
            return std::nullopt;
        }
        const std::int32_t count = modPindrel::GetItemCount(api_, listView);
        // The count is asked of the list view on every Windows (a read Explorer does not mind);
        // a list view replaced while it was counted is looked for again.
        if (modPindrel::FindDesktopListView(api_) != listView) {
            return std::nullopt;
        }
        return count;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool WatcherProgram::LayoutExistsForScreen() {
    // The very file the restore will open: the same names and the same screen size.
    try {
        const std::u16string user = modNames::GetUserNameString(api_);
        const std::u16string computer = modNames::GetComputerNameString(api_);
        const int file =
            runtime_.OpenForInput(FileSystemPath(LayoutFilePath(runtime_, user, computer)));
        try {
            runtime_.CloseFile(file);
        } catch (const Failure&) {
            // Closing a file that was only opened loses nothing.
        }
        return true;
    } catch (const Failure& failure) {
        return failure.number() != errors::kFileNotFound &&
               failure.number() != errors::kPathNotFound;
    } catch (const std::exception&) {
        return false;
    }
}

void WatcherProgram::Restore() {
    try {
        CommandRuntime restoreRun(runtime_, "-r");
        HiddenControls controls;
        frmMain form(api_, restoreRun, controls);
        form.Form_Load();
        lastStatus_ = form.exitStatus();
    } catch (const std::exception&) {
        lastStatus_ = ExitStatus::Failed;
    }
}

} // namespace pindrel
