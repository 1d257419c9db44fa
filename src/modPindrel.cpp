#include "modPindrel.h"

#include "ContinueOnFailure.h"
#include "Conversions.h"
#include "DesktopRequest.h"
#include "LayoutFile.h"
#include "LayoutLock.h"
#include "LayoutMatch.h"
#include "LayoutSource.h"
#include "PaintingHold.h"
#include "Utf.h"
#include "WindowsPaths.h"
#include "modNames.h"

#include <algorithm>
#include <limits>
#include <memory>

namespace pindrel::modPindrel {

namespace {

Failure DesktopUnreadable(int number, const std::string& why) {
    return Failure(number, "The desktop icons could not be read (" + why + ")", kDesktopWindows);
}

RunFailure Unreadable(const Failure& failure) {
    return RunFailure(ExitStatus::DesktopUnreadable,
                      DesktopUnreadable(failure.number(), failure.description()));
}

RunFailure Unreadable(Reach reach) {
    const int number =
        reach == Reach::ProcessNotOpened ? errors::kPermissionDenied : errors::kOutOfMemory;
    return RunFailure(ExitStatus::DesktopUnreadable,
                      DesktopUnreadable(number, DescribeReach(reach)));
}

RunFailure NoDesktop() {
    return RunFailure(
        ExitStatus::NoDesktop,
        Failure(errors::kObjectRequired, "The desktop icons could not be found", kDesktopWindows));
}

std::u16string ThisLayoutPath(WindowsApi& api, Runtime& runtime) {
    const std::u16string user = modNames::GetUserNameString(api);
    const std::u16string computer = modNames::GetComputerNameString(api);
    return LayoutFilePath(runtime, user, computer);
}

// The desktop for one operation; a desktop that does not answer while the transport is chosen
// fails the operation with status 4.
std::unique_ptr<DesktopAccess> Open(WindowsApi& api) {
    try {
        return OpenDesktop(api);
    } catch (const Failure& failure) {
        throw Unreadable(failure);
    }
}

// Writes the layout to a temporary file of this run's own beside the old one and puts it in the
// old one's place only when it is complete: a save that fails half-way leaves the old layout as
// it was, and no temporary file.
void WriteLayout(WindowsApi& api, Runtime& runtime, const std::u16string& path,
                 const std::vector<Point>& positions, const std::vector<std::string>& names) {
    // The layout replaced stays beside the new one as <layout>.bak: one bad save can be undone by
    // renaming a file.
    const std::u16string backup = path + u".bak";
    const std::u16string temporary =
        path + u"." + Utf8ToUtf16(std::to_string(api.GetCurrentProcessId())) + u".tmp";
    int file = 0;
    try {
        file = runtime.OpenForOutput(FileSystemPath(temporary));
        for (std::size_t i = 0; i < names.size(); ++i) {
            runtime.WriteLine(file, FormatLayoutLine(positions[i].x, positions[i].y, names[i]));
        }
        const int closing = file;
        file = 0;
        runtime.CloseFile(closing);
        runtime.ReplaceFile(FileSystemPath(temporary), FileSystemPath(path),
                            FileSystemPath(backup));
    } catch (const Failure& failure) {
        if (file != 0) {
            try {
                runtime.CloseFile(file);
            } catch (const Failure&) {
                // The write failure is the one to report.
            }
        }
        runtime.DeleteFileQuietly(FileSystemPath(temporary));
        throw RunFailure(ExitStatus::WriteFailed,
                         Failure(failure.number(),
                                 "The layout could not be saved (" + failure.description() + ")",
                                 PathText(path)));
    }
}

// Whether the layout file names any icon; one that cannot be read may, and counts as naming one.
// It is read only as far as its first named line.
bool NamesAnIcon(Runtime& runtime, const std::u16string& path) {
    try {
        FileSource file(runtime, path);
        LayoutLines lines(file);
        LayoutEntry entry;
        while (lines.Next(entry)) {
            if (entry.candidate && !entry.name.empty()) {
                return true;
            }
        }
        return false;
    } catch (const Failure&) {
        return true;
    }
}

} // namespace

std::int32_t CapturePositions(DesktopAccess& desktop, ProgramState& state, Reach* reach,
                              bool readPositions) {
    // Before the count: auto-arrange goes off even on an empty desktop.
    if (desktop.IsAutoArrangeOn()) {
        state.autoArrangeFlag = true;
        desktop.ToggleAutoArrange();
    }
    const std::int32_t count = desktop.GetItemCount();
    if (count <= 0 || !readPositions) {
        return count;
    }
    state.positions.assign(static_cast<std::size_t>(count), Point{});
    const Reach outcome = desktop.ReadItemPositions(count, state.positions);
    if (reach != nullptr) {
        *reach = outcome;
    }
    return count;
}

void SaveLayout(WindowsApi& api, Runtime& runtime, ProgramState& state) {
    const std::u16string path = ThisLayoutPath(api, runtime);
    std::optional<LayoutLock> lock;
    try {
        lock.emplace(api, path);
    } catch (const Failure& failure) {
        throw RunFailure(ExitStatus::WriteFailed, failure);
    }
    const std::unique_ptr<DesktopAccess> desktop = Open(api);
    if (!desktop) {
        throw NoDesktop(); // nothing to save: the layout file is left as it is
    }
    try {
        Reach positionsReach = Reach::Reached;
        const std::int32_t count = CapturePositions(*desktop, state, &positionsReach);
        // An item added after the capture has no position: the file stops at the last item the
        // capture saw. Fewer items than the capture saw (an icon deleted, the list view gone)
        // would pair the names with the wrong positions: the save fails instead. The count is
        // asked again after the names, which must belong to the items the capture saw too.
        auto checkNothingWentAway = [&] {
            if (desktop->GetItemCount() < count) {
                throw RunFailure(ExitStatus::DesktopUnreadable,
                                 DesktopUnreadable(errors::kDeviceIo,
                                                   "icons went away while they were being read"));
            }
        };
        checkNothingWentAway();
        // Icons whose positions could not be asked for, or of which not one name could be,
        // would replace a good layout with one that restores nothing: the old file stays. Some
        // names empty is no failure (icons may have none).
        if (count > 0 && positionsReach != Reach::Reached) {
            throw Unreadable(positionsReach);
        }
        const ItemNames names = desktop->ReadItemNames(count);
        if (count > 0 && names.reach != Reach::Reached) {
            throw Unreadable(names.reach);
        }
        checkNothingWentAway();
        // A desktop that shows no icons yet (Explorer still filling it at log-on, or emptying it
        // at log-off), or none with a name, would replace a layout that restores icons with one
        // that restores none: the old one stays. A first save still writes the empty layout.
        const bool nameless =
            std::all_of(names.names.begin(), names.names.end(),
                        [](const std::string& name) { return Trim(name).empty(); });
        if (nameless && NamesAnIcon(runtime, path)) {
            throw RunFailure(ExitStatus::DesktopUnreadable,
                             DesktopUnreadable(
                                 errors::kDeviceIo,
                                 count == 0 ? "the desktop shows no icons; the layout of the icons "
                                              "it showed before is kept"
                                            : "no icon on the desktop has a name; the layout "
                                              "of the icons it showed before is kept"));
        }
        const std::vector<Point> positions(state.positions.begin(),
                                           state.positions.begin() + (count > 0 ? count : 0));
        WriteLayout(api, runtime, path, positions, names.names);
    } catch (const RunFailure&) {
        throw;
    } catch (const Failure& failure) {
        throw Unreadable(failure);
    }
}

namespace {

// A failure that stops the restore: the desktop did not answer or went away, or its folder view
// failed.
bool Stops(const Failure& failure) {
    return IsNoAnswer(failure) || IsWindowGone(failure) || failure.number() == errors::kAutomation;
}

} // namespace

RestoreReport RestoreLayout(WindowsApi& api, DesktopAccess& desktop, ProgramState& state,
                            LayoutLines& lines, const ViewSwitch& applyViewMode) {
    RestoreReport report;
    report.transport = desktop.Transport();
    // The count and every name are read before anything changes: a count no desktop has, a
    // desktop that does not answer, or names that cannot be asked for at all (the shell's process
    // not opened, no memory in it) leave the view, auto-arrange and every icon as they were.
    std::int32_t count = 0;
    ItemNames names;
    try {
        count = desktop.GetItemCount();
        names = desktop.ReadItemNames(count);
    } catch (const Failure& failure) {
        (Stops(failure) ? report.stopped : report.countRefused) = failure;
        return report;
    } catch (const std::exception& other) {
        report.countRefused = Failure(errors::kDeviceIo, other.what(), kDesktopWindows);
        return report;
    }
    if (count > 0 && names.reach != Reach::Reached) {
        report.namesUnreached = names.reach;
        return report;
    }

    // From here each step that fails is dropped, but a desktop that stops answering or goes away
    // (or a folder view that fails) stops the restore at that step; painting and auto-arrange are
    // put back all the same.
    auto step = [&report](auto&& action) {
        if (report.stopped) {
            return;
        }
        try {
            action();
        } catch (const Failure& failure) {
            if (Stops(failure)) {
                report.stopped = failure;
            }
        } catch (const std::exception&) {
            // Dropped, as every failed step of the restore.
        }
    };
    if (applyViewMode) {
        step([&] { applyViewMode(desktop); });
    }
    // Auto-arrange off for the moves (the items counted above are the ones visited).
    step([&] { CapturePositions(desktop, state, nullptr, false); });

    if (!report.stopped && count > 0) {
        // The list view paints once, after the last move, instead of after each one. Its
        // painting is on again when the hold ends here, however the moves went.
        PaintingHold hold(api, desktop.ListView());
        step([&] { hold.Engage(); });
        std::vector<ItemMove> moves;
        step([&] {
            MatchCounts counts;
            try {
                MatchItems(state, names.names, lines, moves, counts);
            } catch (const Failure& failure) {
                report.layoutUnreadable = failure;
            }
            report.items = count;
            report.fromFile = counts.fromFile;
            report.fromCursor = counts.fromCursor;
            report.linesParsed = counts.linesParsed;
        });
        step([&] { desktop.MoveItems(moves); });
        if (!desktop.Answering()) {
            hold.PostOnly();
        }
    }

    if (state.autoArrangeFlag) {
        ContinueOnFailure([&] { desktop.ToggleAutoArrange(); });
    }
    return report;
}

RestoreReport RestoreLayout(WindowsApi& api, ProgramState& state, std::string_view layoutText) {
    TextSource text(layoutText);
    LayoutLines lines(text);
    std::unique_ptr<DesktopAccess> desktop;
    try {
        desktop = OpenDesktop(api);
    } catch (const Failure& failure) {
        RestoreReport report;
        report.stopped = failure;
        return report;
    }
    if (!desktop) {
        return RestoreReport{};
    }
    return RestoreLayout(api, *desktop, state, lines);
}

RestoreReport RestoreLayout(WindowsApi& api, Runtime& runtime, ProgramState& state,
                            const ViewSwitch& applyViewMode) {
    // The layout is opened, and its first block read, before anything changes: a file that exists
    // but cannot be read stops the restore with every icon and the view mode as they were. A
    // missing file is a first run. The rest is read as the restore needs it.
    const std::u16string path = ThisLayoutPath(api, runtime);
    std::optional<LayoutLock> lock;
    std::unique_ptr<FileSource> file;
    std::unique_ptr<LayoutLines> lines;
    try {
        lock.emplace(api, path);
        file = std::make_unique<FileSource>(runtime, path);
        lines = std::make_unique<LayoutLines>(*file);
    } catch (const Failure& failure) {
        throw RunFailure(ExitStatus::LayoutUnreadable, failure);
    }
    const std::unique_ptr<DesktopAccess> desktop = Open(api);
    if (!desktop) {
        throw NoDesktop();
    }
    RestoreReport report = RestoreLayout(api, *desktop, state, *lines, applyViewMode);
    if (report.countRefused) {
        throw Unreadable(*report.countRefused);
    }
    if (report.namesUnreached) {
        throw Unreadable(*report.namesUnreached);
    }
    if (report.stopped) {
        throw Unreadable(*report.stopped);
    }
    if (report.layoutUnreadable) {
        throw RunFailure(ExitStatus::LayoutUnreadable, *report.layoutUnreadable);
    }
    return report;
}

} // namespace pindrel::modPindrel
