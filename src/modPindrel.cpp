#include "modPindrel.h"

#include "ContinueOnFailure.h"
#include "Conversions.h"
#include "DesktopRequest.h"
#include "LayoutFile.h"
#include "LayoutLock.h"
#include "LayoutSource.h"
#include "PaintingHold.h"
#include "Utf.h"
#include "WindowsPaths.h"
#include "modNames.h"

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
        runtime.ReplaceFile(FileSystemPath(temporary), FileSystemPath(path));
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

// Where each item goes: the line of its name, or the placement cursor. The search moves forward
// only, from where the previous item's search stopped, so each line is read and parsed at most
// once per restore.
// The moves go to `moves` as they are found, so that a layout that cannot be read to its end still
// moves the items placed before.
void PlaceItems(const ProgramState& state, const std::vector<std::string>& names,
                LayoutLines& lines, RestoreReport& report, std::vector<ItemMove>& moves) {
    std::int32_t cursorX = state.startX;
    std::int32_t cursorY = state.startY;
    LayoutEntry match;
    for (std::size_t k = 0; k < names.size(); ++k) {
        ++report.items;
        const std::string name = Trim(names[k]);
        bool found = false;
        while (lines.Next(match)) {
            ++report.linesParsed;
            if (match.candidate && !match.nameTooLong && match.name == name) {
                found = true;
                break;
            }
        }
        const auto index = static_cast<std::int32_t>(k);
        if (found && !name.empty()) {
            // A line whose position does not convert or does not pack leaves the item where it
            // is, and the cursor where it is.
            std::int32_t x = 0;
            std::int32_t y = 0;
            if (TryTextToLong(match.x, x) && TryTextToLong(match.y, y) && PacksIntoLParam(x, y)) {
                moves.push_back(ItemMove{index, Point{x, y}});
                ++report.fromFile;
            }
            continue;
        }
        if (PacksIntoLParam(cursorX, cursorY)) {
            moves.push_back(ItemMove{index, Point{cursorX, cursorY}});
            ++report.fromCursor;
        }
        // The cursor advances even when the move was refused; an addition that would leave the
        // 32-bit range leaves that coordinate as it was.
        const std::int64_t nextX = static_cast<std::int64_t>(cursorX) + state.deltaX;
        const std::int64_t nextY = static_cast<std::int64_t>(cursorY) + state.deltaY;
        if (nextX >= INT32_MIN && nextX <= INT32_MAX) {
            cursorX = static_cast<std::int32_t>(nextX);
        }
        if (nextY >= INT32_MIN && nextY <= INT32_MAX) {
            cursorY = static_cast<std::int32_t>(nextY);
        }
    }
}

// A failure that stops the restore: the desktop did not answer, or its folder view failed.
bool Stops(const Failure& failure) {
    return IsNoAnswer(failure) || failure.number() == errors::kAutomation;
}

} // namespace

RestoreReport RestoreLayout(WindowsApi& api, DesktopAccess& desktop, ProgramState& state,
                            LayoutLines& lines, const ViewSwitch& applyViewMode) {
    RestoreReport report;
    report.transport = desktop.Transport();
    // Each step that fails is dropped, but a desktop that stops answering (or a folder view that
    // fails) stops the restore at that step; painting and auto-arrange are put back all the same.
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
    std::int32_t count = 0;
    step([&] {
        try {
            count = CapturePositions(desktop, state, nullptr, false);
        } catch (const Failure& failure) {
            if (Stops(failure)) {
                throw;
            }
            report.countRefused = failure;
        }
    });

    if (!report.countRefused && !report.stopped && count > 0) {
        // The list view paints once, after the last move, instead of after each one. Its
        // painting is on again when the hold ends here, however the moves went.
        PaintingHold hold(api, desktop.ListView());
        step([&] { hold.Engage(); });
        std::vector<std::string> names;
        step([&] { names = desktop.ReadItemNames(count).names; });
        std::vector<ItemMove> moves;
        step([&] {
            try {
                PlaceItems(state, names, lines, report, moves);
            } catch (const Failure& failure) {
                report.layoutUnreadable = failure;
            }
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
    if (report.stopped) {
        throw Unreadable(*report.stopped);
    }
    if (report.layoutUnreadable) {
        throw RunFailure(ExitStatus::LayoutUnreadable, *report.layoutUnreadable);
    }
    return report;
}

} // namespace pindrel::modPindrel
