#include "frmMain.h"

#include "ContinueOnFailure.h"
#include "Conversions.h"
#include "LayoutFile.h"
#include "LayoutLines.h"
#include "LayoutLock.h"
#include "LayoutSource.h"
#include "Utf.h"
#include "WindowsPaths.h"
#include "modDesktopViewMode.h"
#include "modIni.h"
#include "modNames.h"
#include "modPindrel.h"

#include <exception>
#include <memory>
#include <optional>
#include <vector>

namespace pindrel {

namespace {

const char* const kViewModeNames[] = {"Icon", "List", "Report", "Small Icon"};

constexpr std::int16_t kKeyEscape = 27;

} // namespace

bool IsSilentCommand(const std::string& argumentText) {
    const std::string command = Trim(LCase(argumentText));
    return command == "-s" || command == "-r";
}

frmMain::frmMain(WindowsApi& api, Runtime& runtime, Controls& controls)
    : api_(api), runtime_(runtime), controls_(controls) {}

std::u16string frmMain::ProfileKey() {
    return modNames::ProfileKey(api_);
}

std::u16string frmMain::SettingsFilePath() {
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
        storedView =
            modIni::ReadIniString(api_, runtime_, ProfileKey(), u"IconType", SettingsFilePath());
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
    const std::u16string path = SettingsFilePath();
    const std::u16string key = ProfileKey();
    controls_.SetText(TextBox::StartX, LongToText(ReadSettingLong(u"StartX", key, path, 0)));
    controls_.SetText(TextBox::StartY, LongToText(ReadSettingLong(u"StartY", key, path, 0)));
    controls_.SetText(TextBox::DeltaX, LongToText(ReadSettingLong(u"DeltaX", key, path, 0)));
    controls_.SetText(TextBox::DeltaY, LongToText(ReadSettingLong(u"DeltaY", key, path, 20)));
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
    const std::u16string user = modNames::GetUserNameString(api_);
    const std::u16string computer = modNames::GetComputerNameString(api_);
    const std::u16string path = LayoutFilePath(runtime_, user, computer);
    std::optional<LayoutLock> lock;
    try {
        lock.emplace(api_, path);
    } catch (const Failure& failure) {
        Fail(ExitStatus::WriteFailed, failure);
    }

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
        try {
            names.push_back(modPindrel::GetItemText(api_, listView, i, &reach));
        } catch (const Failure& failure) {
            Fail(ExitStatus::DesktopUnreadable, DesktopUnreadable(failure));
        }
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
    // Its name is this run's own, so that two saves at once never meet in one temporary file.
    const std::u16string temporary =
        path + u"." + Utf8ToUtf16(std::to_string(api_.GetCurrentProcessId())) + u".tmp";
    int file = 0;
    try {
        file = runtime_.OpenForOutput(FileSystemPath(temporary));
        for (std::int32_t i = 0; i < count; ++i) {
            const Point& p = state_.positions[static_cast<std::size_t>(i)];
            runtime_.WriteLine(file,
                               FormatLayoutLine(p.x, p.y, names[static_cast<std::size_t>(i)]));
        }
        const int closing = file;
        file = 0;
        runtime_.CloseFile(closing);
        runtime_.ReplaceFile(FileSystemPath(temporary), FileSystemPath(path));
    } catch (const Failure& failure) {
        if (file != 0) {
            try {
                runtime_.CloseFile(file);
            } catch (const Failure&) {
                // The write failure is the one to report.
            }
        }
        runtime_.DeleteFileQuietly(FileSystemPath(temporary));
        Fail(ExitStatus::WriteFailed,
             Failure(failure.number(),
                     "The layout could not be saved (" + failure.description() + ")",
                     PathText(path)));
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
    std::optional<LayoutLock> lock;
    std::unique_ptr<FileSource> file;
    std::unique_ptr<LayoutLines> lines;
    try {
        const std::u16string user = modNames::GetUserNameString(api_);
        const std::u16string computer = modNames::GetComputerNameString(api_);
        const std::u16string path = LayoutFilePath(runtime_, user, computer);
        lock.emplace(api_, path);
        file = std::make_unique<FileSource>(runtime_, path);
        lines = std::make_unique<LayoutLines>(*file);
    } catch (const Failure& failure) {
        Fail(ExitStatus::LayoutUnreadable, failure);
    }
    try {
        ApplyViewMode();
    } catch (const Failure& failure) {
        // Only a desktop that does not answer makes the switch fail; nothing was moved.
        Fail(ExitStatus::DesktopUnreadable, DesktopUnreadable(failure));
    }
    const std::u16string key = ProfileKey();

    // The defaults put the first unplaced item in the middle of the screen: whole twips divided
    // by whole twips per pixel, then halved, each step rounded half to even.
    auto halfScreen = [](float twips, float twipsPerPixel) {
        const std::int32_t divisor = DoubleToLong(twipsPerPixel);
        const std::int32_t pixels = divisor == 0 ? 0 : DoubleToLong(twips) / divisor;
        return DoubleToLong(static_cast<double>(pixels) / 2.0);
    };
    const std::int32_t defaultX =
        halfScreen(runtime_.ScreenWidthTwips(), runtime_.TwipsPerPixelX());
    state_.startX = TextToLong(ReadSettingText(u"StartX", key, defaultX));
    const std::int32_t defaultY =
        halfScreen(runtime_.ScreenHeightTwips(), runtime_.TwipsPerPixelY());
    state_.startY = TextToLong(ReadSettingText(u"StartY", key, defaultY));
    state_.deltaX = TextToLong(ReadSettingText(u"DeltaX", key, 0));
    state_.deltaY = TextToLong(ReadSettingText(u"DeltaY", key, 20));

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
    if (report.unanswered) {
        Fail(ExitStatus::DesktopUnreadable, DesktopUnreadable(*report.unanswered));
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

std::string frmMain::ReadSettingText(const std::u16string& key, const std::u16string& section,
                                     std::int32_t defaultValue) {
    const std::u16string path = SettingsFilePath();
    std::int32_t value = 0;
    if (Usable(modIni::ReadIniString(api_, runtime_, key, section, path), value)) {
        return LongToText(value);
    }
    if (Usable(modIni::ReadIniString(api_, runtime_, key, u"Default", path), value)) {
        return LongToText(value);
    }
    return LongToText(defaultValue);
}

std::int32_t frmMain::ReadSettingLong(const std::u16string& key, const std::u16string& section,
                                      const std::u16string& filePath, std::int32_t defaultValue) {
    std::int32_t value = 0;
    const std::string own = modIni::ReadIniString(api_, runtime_, key, section, filePath);
    if (!own.empty()) {
        // Present under the profile key: it decides, numeric or not.
        return TryTextToLong(own, value) ? value : defaultValue;
    }
    if (Usable(modIni::ReadIniString(api_, runtime_, key, u"Default", filePath), value)) {
        return value;
    }
    return defaultValue;
}

void frmMain::StoreFields(const std::u16string& section) {
    const std::u16string path = SettingsFilePath();
    const std::pair<const char16_t*, TextBox> fields[] = {{u"StartX", TextBox::StartX},
                                                          {u"StartY", TextBox::StartY},
                                                          {u"DeltaX", TextBox::DeltaX},
                                                          {u"DeltaY", TextBox::DeltaY}};
    for (const auto& [key, box] : fields) {
        modIni::WriteIniString(api_, runtime_, key, section, controls_.GetText(box), path);
    }
}

void frmMain::cmdSetDefault_Click() {
    StoreFields(u"Default");
}

void frmMain::cmdSetUnique_Click() {
    StoreFields(ProfileKey());
}

void frmMain::cmdSetIconType_Click() {
    // The positions from before the switch go to the layout file first; the restore then switches
    // the view and puts the icons back there.
    cmdSave_Click();
    const std::u16string key = ProfileKey();
    const std::string view = controls_.ComboItemText(controls_.ComboListIndex());
    modIni::WriteIniString(api_, runtime_, key, u"IconType", view, SettingsFilePath());
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
