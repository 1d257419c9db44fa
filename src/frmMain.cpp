#include "frmMain.h"

#include "ContinueOnFailure.h"
#include "Conversions.h"
#include "modDesktopViewMode.h"
#include "modIni.h"
#include "modNames.h"
#include "modPindrel.h"

#include <exception>
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
        try {
            action();
        } catch (const RunFailure& failure) {
            exitStatus_ = failure.status();
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

// ---- save and restore --------------------------------------------------------------------------

void frmMain::cmdSave_Click() {
    controls_.SetEnabled(Button::Save, false);
    modPindrel::SaveLayout(api_, runtime_, state_);
    controls_.SetEnabled(Button::Save, true);
}

// Only one of the four names switches the view: with none of them selected (nothing stored, a
// text no entry has) the desktop keeps the view it shows, rather than going to small icons.
void frmMain::ApplyViewMode(DesktopAccess& desktop) {
    const std::string text = controls_.ComboItemText(controls_.ComboListIndex());
    const std::pair<const char*, DWORD> modes[] = {
        {"Icon", modDesktopViewMode::kViewIcon},
        {"List", modDesktopViewMode::kViewList},
        {"Report", modDesktopViewMode::kViewReport},
        {"Small Icon", modDesktopViewMode::kViewSmallIcon}};
    for (const auto& [name, code] : modes) {
        if (text == name) {
            desktop.SetViewMode(code);
            return;
        }
    }
}

void frmMain::cmdLoad_Click() {
    controls_.SetEnabled(Button::Load, false);
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

    modPindrel::RestoreLayout(api_, runtime_, state_,
                              [this](DesktopAccess& desktop) { ApplyViewMode(desktop); });
    controls_.SetEnabled(Button::Load, true);
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
    // the view and puts the icons back there. It runs even when the view mode could not be
    // stored (a read-only settings file), so that the desktop is not left half done (auto-arrange
    // off, the view not switched); that failure is reported after it.
    cmdSave_Click();
    const std::u16string key = ProfileKey();
    const std::string view = controls_.ComboItemText(controls_.ComboListIndex());
    std::optional<Failure> notStored;
    try {
        modIni::WriteIniString(api_, runtime_, key, u"IconType", view, SettingsFilePath());
    } catch (const Failure& failure) {
        notStored = failure;
    }
    cmdLoad_Click();
    if (notStored) {
        throw *notStored;
    }
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
