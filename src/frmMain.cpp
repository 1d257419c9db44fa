#include "frmMain.h"

#include "ContinueOnFailure.h"
#include "Conversions.h"
#include "LayoutFile.h"
#include "LayoutLines.h"
#include "LayoutSource.h"
#include "modDesktopViewMode.h"
#include "modIni.h"
#include "modNames.h"
#include "modPindrel.h"

#include <exception>
#include <memory>
#include <vector>

namespace pindrel {

namespace {

const char* const kViewModeNames[] = {"Icon", "List", "Report", "Small Icon"};

constexpr std::int16_t kKeyEscape = 27;

using modPindrel::kDesktopWindows;

} // namespace

bool IsSilentCommand(const std::string& argumentText) {
    const std::string command = Trim(LCase(argumentText));
    return command == "-s" || command == "-r";
}

frmMain::frmMain(WindowsApi& api, Runtime& runtime, Controls& controls)
    : api_(api), runtime_(runtime), controls_(controls) {}

std::string frmMain::ProfileKey() {
    return modNames::ProfileKey(api_);
}

std::string frmMain::SettingsFilePath() {
    return modIni::SettingsFilePath(runtime_);
}

// ---- start-up ----------------------------------------------------------------------------------

void frmMain::Form_Load() {
    // Every step runs whatever happened to the step before it; a failing step is dropped. The
    // save and the restore are such steps too, but how they ended becomes the exit status.
    auto silentRun = [this](auto&& action) {
        failureStatus_ = ExitStatus::Failed;
        try {
            action();
        } catch (const Failure& failure) {
            exitStatus_ = failure.number() == errors::kObjectRequired ? ExitStatus::NoDesktop
                                                                      : failureStatus_;
        } catch (const std::exception&) {
            exitStatus_ = ExitStatus::Failed;
        }
    };

    std::string command;
    ContinueOnFailure([&] { command = Trim(LCase(runtime_.Command())); });
    for (const char* name : kViewModeNames) {
        ContinueOnFailure([&] { controls_.ComboAddItem(name); });
    }
    std::string storedView;
    ContinueOnFailure([&] {
        storedView = modIni::ReadIniString(api_, ProfileKey(), "IconType", SettingsFilePath());
    });
    // A stored text that no entry has leaves the list without a selection.
    ContinueOnFailure([&] { controls_.ComboSelectText(storedView); });

    if (command == "-s") {
        silentRun([&] { cmdSave_Click(); });
        ContinueOnFailure([&] { controls_.CloseWindow(); });
    } else if (command == "-r") {
        silentRun([&] { cmdLoad_Click(); });
        ContinueOnFailure([&] { controls_.CloseWindow(); });
    } else {
        ContinueOnFailure([&] { LoadSettingsIntoFields(); });
    }
}

void frmMain::LoadSettingsIntoFields() {
    const std::string path = SettingsFilePath();
    const std::string key = ProfileKey();
    controls_.SetText(TextBox::StartX, LongToText(ReadSettingLong("StartX", key, path, 0)));
    controls_.SetText(TextBox::StartY, LongToText(ReadSettingLong("StartY", key, path, 0)));
    controls_.SetText(TextBox::DeltaX, LongToText(ReadSettingLong("DeltaX", key, path, 0)));
    controls_.SetText(TextBox::DeltaY, LongToText(ReadSettingLong("DeltaY", key, path, 20)));
}

void frmMain::Form_KeyUp(std::int16_t keyCode, std::int16_t /*shift*/) {
    if (keyCode == kKeyEscape) {
        controls_.CloseWindow();
    }
}

void frmMain::Fail(ExitStatus status, const Failure& failure) {
    failureStatus_ = status;
    throw failure;
}

// ---- save --------------------------------------------------------------------------------------

namespace {

Failure DesktopUnreadable(int number, const std::string& why) {
    return Failure(number, "The desktop icons could not be read (" + why + ")", kDesktopWindows);
}

Failure DesktopUnreadable(modPindrel::Reach reach) {
    const int number = reach == modPindrel::Reach::ProcessNotOpened ? errors::kPermissionDenied
                                                                    : errors::kOutOfMemory;
    return DesktopUnreadable(number, modPindrel::DescribeReach(reach));
}

Failure DesktopUnreadable(const Failure& failure) {
    return DesktopUnreadable(failure.number(), failure.description());
}

} // namespace

void frmMain::cmdSave_Click() {
    controls_.SetEnabled(Button::Save, false);
    modPindrel::Reach positionsReach = modPindrel::Reach::Reached;
    std::int32_t captured = 0;
    try {
        captured = modPindrel::CapturePositions(api_, state_, &positionsReach);
    } catch (const Failure& failure) {
        Fail(ExitStatus::DesktopUnreadable, DesktopUnreadable(failure));
    }

    const Hwnd listView = modPindrel::FindDesktopListView(api_);
    if (listView == Hwnd{0}) {
        // Nothing to save: the layout file is left as it is.
        Fail(ExitStatus::NoDesktop,
             Failure(errors::kObjectRequired, "The desktop icons could not be found",
                     kDesktopWindows));
    }
    // An item added after the capture has no position: the file stops at the last item the
    // capture saw. Fewer items than the capture saw (an icon deleted, the list view gone) would
    // pair the names with the wrong positions: the save fails instead. The count is asked again
    // after the names, which must belong to the items the capture saw too.
    auto itemsLeft = [&] {
        try {
            return modPindrel::GetItemCount(api_, listView);
        } catch (const Failure& failure) {
            Fail(ExitStatus::DesktopUnreadable, DesktopUnreadable(failure));
        }
    };
    auto checkNothingWentAway = [&] {
        if (itemsLeft() < captured) {
            Fail(
                ExitStatus::DesktopUnreadable,
                DesktopUnreadable(errors::kDeviceIo, "icons went away while they were being read"));
        }
    };
    checkNothingWentAway();
    const std::int32_t count = captured;

    const std::string user = modNames::GetUserNameString(api_);
    const std::string computer = modNames::GetComputerNameString(api_);
    const std::string path = LayoutFilePath(runtime_, user, computer);

    // Every name is read before the file is touched. Icons whose positions could not be asked for,
    // or of which not one name could be asked for, would replace a good layout with one that
    // restores nothing: the old file stays. Some names empty is no failure (icons may have none).
    if (count > 0 && positionsReach != modPindrel::Reach::Reached) {
        Fail(ExitStatus::DesktopUnreadable, DesktopUnreadable(positionsReach));
    }
    std::vector<std::string> names;
    modPindrel::Reach textReach = modPindrel::Reach::Reached;
    bool anyTextReached = false;
    for (std::int32_t i = 0; i < count; ++i) {
        modPindrel::Reach reach = modPindrel::Reach::Reached;
        names.push_back(modPindrel::GetItemText(api_, listView, i, &reach));
        if (reach == modPindrel::Reach::Reached) {
            anyTextReached = true;
        } else {
            textReach = reach;
        }
    }
    if (count > 0 && !anyTextReached) {
        Fail(ExitStatus::DesktopUnreadable, DesktopUnreadable(textReach));
    }
    checkNothingWentAway();

    // The new layout goes to a temporary file beside the old one, which it replaces only when it
    // is complete: a save that fails half-way leaves the old layout as it was.
    const std::string temporary = path + ".tmp";
    int file = 0;
    try {
        file = runtime_.OpenForOutput(temporary);
        for (std::int32_t i = 0; i < count; ++i) {
            const Point& p = state_.positions[static_cast<std::size_t>(i)];
            runtime_.WriteLine(file,
                               FormatLayoutLine(p.x, p.y, names[static_cast<std::size_t>(i)]));
        }
        const int closing = file;
        file = 0;
        runtime_.CloseFile(closing);
        runtime_.ReplaceFile(temporary, path);
    } catch (const Failure& failure) {
        if (file != 0) {
            try {
                runtime_.CloseFile(file);
            } catch (const Failure&) {
                // The write failure is the one to report.
            }
        }
        runtime_.DeleteFileQuietly(temporary);
        Fail(ExitStatus::WriteFailed,
             Failure(failure.number(),
                     "The layout could not be saved (" + failure.description() + ")", path));
    }
    controls_.SetEnabled(Button::Save, true);
}

// ---- restore -----------------------------------------------------------------------------------

void frmMain::ApplyViewMode() {
    const std::string text = controls_.ComboItemText(controls_.ComboListIndex());
    DWORD code = modDesktopViewMode::kViewSmallIcon;
    if (text == "Icon") {
        code = modDesktopViewMode::kViewIcon;
    } else if (text == "List") {
        code = modDesktopViewMode::kViewList;
    } else if (text == "Report") {
        code = modDesktopViewMode::kViewReport;
    }
    modDesktopViewMode::SetDesktopViewMode(api_, code);
}

void frmMain::cmdLoad_Click() {
    controls_.SetEnabled(Button::Load, false);
    // The layout is opened, and its first block read, before anything changes: a file that exists
    // but cannot be read stops the restore with every icon and the view mode as they were. A
    // missing file is a first run. The rest is read as the restore needs it.
    std::unique_ptr<FileSource> file;
    std::unique_ptr<LayoutLines> lines;
    try {
        const std::string user = modNames::GetUserNameString(api_);
        const std::string computer = modNames::GetComputerNameString(api_);
        file = std::make_unique<FileSource>(runtime_, LayoutFilePath(runtime_, user, computer));
        lines = std::make_unique<LayoutLines>(*file);
    } catch (const Failure& failure) {
        Fail(ExitStatus::LayoutUnreadable, failure);
    }
    ApplyViewMode();
    const std::string key = ProfileKey();

    // The defaults put the first unplaced item in the middle of the screen: whole twips divided
    // by whole twips per pixel, then halved, each step rounded half to even.
    auto halfScreen = [](float twips, float twipsPerPixel) {
        const std::int32_t divisor = DoubleToLong(twipsPerPixel);
        const std::int32_t pixels = divisor == 0 ? 0 : DoubleToLong(twips) / divisor;
        return DoubleToLong(static_cast<double>(pixels) / 2.0);
    };
    const std::int32_t defaultX =
        halfScreen(runtime_.ScreenWidthTwips(), runtime_.TwipsPerPixelX());
    state_.startX = TextToLong(ReadSettingText("StartX", key, defaultX));
    const std::int32_t defaultY =
        halfScreen(runtime_.ScreenHeightTwips(), runtime_.TwipsPerPixelY());
    state_.startY = TextToLong(ReadSettingText("StartY", key, defaultY));
    state_.deltaX = TextToLong(ReadSettingText("DeltaX", key, 0));
    state_.deltaY = TextToLong(ReadSettingText("DeltaY", key, 20));

    const modPindrel::RestoreReport report = modPindrel::RestoreLayout(api_, state_, *lines);
    controls_.SetEnabled(Button::Load, true);
    if (!report.listViewFound) {
        // Nothing was restored; say so rather than end as if all went well.
        Fail(ExitStatus::NoDesktop,
             Failure(errors::kObjectRequired, "The desktop icons could not be found",
                     kDesktopWindows));
    }
    if (report.countRefused) {
        Fail(ExitStatus::DesktopUnreadable, DesktopUnreadable(*report.countRefused));
    }
    if (report.layoutUnreadable) {
        Fail(ExitStatus::LayoutUnreadable, *report.layoutUnreadable);
    }
}

// ---- settings ----------------------------------------------------------------------------------

namespace {

// A stored value counts when it is non-empty, numeric and within the 32-bit range.
bool Usable(const std::string& text, std::int32_t& value) {
    return !text.empty() && TryTextToLong(text, value);
}

} // namespace

std::string frmMain::ReadSettingText(const std::string& key, const std::string& section,
                                     std::int32_t defaultValue) {
    const std::string path = SettingsFilePath();
    std::int32_t value = 0;
    if (Usable(modIni::ReadIniString(api_, key, section, path), value)) {
        return LongToText(value);
    }
    if (Usable(modIni::ReadIniString(api_, key, "Default", path), value)) {
        return LongToText(value);
    }
    return LongToText(defaultValue);
}

std::int32_t frmMain::ReadSettingLong(const std::string& key, const std::string& section,
                                      const std::string& filePath, std::int32_t defaultValue) {
    std::int32_t value = 0;
    const std::string own = modIni::ReadIniString(api_, key, section, filePath);
    if (!own.empty()) {
        // Present under the profile key: it decides, numeric or not.
        return TryTextToLong(own, value) ? value : defaultValue;
    }
    if (Usable(modIni::ReadIniString(api_, key, "Default", filePath), value)) {
        return value;
    }
    return defaultValue;
}

void frmMain::StoreFields(const std::string& section) {
    const std::string path = SettingsFilePath();
    modIni::WriteIniString(api_, "StartX", section, controls_.GetText(TextBox::StartX), path);
    modIni::WriteIniString(api_, "StartY", section, controls_.GetText(TextBox::StartY), path);
    modIni::WriteIniString(api_, "DeltaX", section, controls_.GetText(TextBox::DeltaX), path);
    modIni::WriteIniString(api_, "DeltaY", section, controls_.GetText(TextBox::DeltaY), path);
}

void frmMain::cmdSetDefault_Click() {
    StoreFields("Default");
}

void frmMain::cmdSetUnique_Click() {
    StoreFields(ProfileKey());
}

void frmMain::cmdSetIconType_Click() {
    // The positions from before the switch go to the layout file first; the restore then switches
    // the view and puts the icons back there.
    cmdSave_Click();
    const std::string key = ProfileKey();
    const std::string view = controls_.ComboItemText(controls_.ComboListIndex());
    modIni::WriteIniString(api_, key, "IconType", view, SettingsFilePath());
    cmdLoad_Click();
}

// ---- the real window's click -------------------------------------------------------------------

void frmMain::ButtonClicked(Button button) {
    try {
        switch (button) {
        case Button::Save:
            cmdSave_Click();
            break;
        case Button::Load:
            cmdLoad_Click();
            break;
        case Button::SetIconType:
            cmdSetIconType_Click();
            break;
        case Button::SetDefault:
            cmdSetDefault_Click();
            break;
        case Button::SetUnique:
            cmdSetUnique_Click();
            break;
        }
    } catch (const std::exception& failure) {
        // Tell the user what failed and carry on with the window usable again.
        controls_.SetEnabled(Button::Save, true);
        controls_.SetEnabled(Button::Load, true);
        controls_.ShowError(failure.what());
    }
}

} // namespace pindrel
