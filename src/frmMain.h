// The logic of the program's only window: its event procedures and private procedures.
//
// frmMain talks to Windows through WindowsApi, to the run-time through Runtime and to its own
// controls through Controls, so the same logic runs in the real window and headless in tests.
#pragma once

#include "DesktopAccess.h"
#include "ProgramState.h"
#include "RunStatus.h"
#include "platform/Controls.h"
#include "platform/Runtime.h"
#include "platform/WindowsApi.h"

#include <cstdint>
#include <string>

namespace pindrel {

// Whether the argument text asks for a silent save ("-s") or restore ("-r"): letter case and the
// blanks around the switch do not count.
bool IsSilentCommand(const std::string& argumentText);

class frmMain {
  public:
    frmMain(WindowsApi& api, Runtime& runtime, Controls& controls);

    // ---- events --------------------------------------------------------------------------
    // Runs before the window is first shown. Under "-s" / "-r" it saves or restores and closes
    // the window; otherwise it fills the placement fields.
    void Form_Load();
    // A key release anywhere in the window (key preview). Escape (27) closes the window.
    void Form_KeyUp(std::int16_t keyCode, std::int16_t shift);

    // Button handlers; each is also called directly as an ordinary procedure. A failure that
    // stops one is thrown to the caller as pindrel::Failure (a RunFailure for a save or a restore,
    // with the status a silent run ends with).
    void cmdSave_Click();
    void cmdLoad_Click();
    void cmdSetIconType_Click();
    void cmdSetDefault_Click();
    void cmdSetUnique_Click();

    // What the real window calls on a click: runs the button's handler and, when a failure leaves
    // it, shows the failure to the user, enables the button again and carries on.
    void ButtonClicked(Button button);

    // The exit status of the run so far.
    ExitStatus exitStatus() const { return exitStatus_; }
    ProgramState& state() { return state_; }
    const ProgramState& state() const { return state_; }

  private:
    std::string ReadSettingText(const std::u16string& key, const std::u16string& section,
                                std::int32_t defaultValue);
    std::int32_t ReadSettingLong(const std::u16string& key, const std::u16string& section,
                                 const std::u16string& filePath, std::int32_t defaultValue);
    void LoadSettingsIntoFields();
    // The view mode selected in cmbView, through the desktop the restore opened.
    void ApplyViewMode(DesktopAccess& desktop);
    std::u16string ProfileKey();
    std::u16string SettingsFilePath();
    void StoreFields(const std::u16string& section);

    WindowsApi& api_;
    Runtime& runtime_;
    Controls& controls_;
    ProgramState state_;
    ExitStatus exitStatus_ = ExitStatus::Ok;
};

} // namespace pindrel
