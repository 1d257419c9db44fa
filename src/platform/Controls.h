// What the window's logic (frmMain) needs of its window's controls.
//
// The native window implements this with real Win32 controls; HiddenControls keeps the same state
// in memory, for the watcher's restores and for tests.
#pragma once

#include <string>

namespace pindrel {

enum class TextBox { StartX, StartY, DeltaX, DeltaY };
enum class Button { Save, Load, SetIconType, SetDefault, SetUnique };

class Controls {
  public:
    virtual ~Controls() = default;

    virtual std::string GetText(TextBox box) = 0;
    virtual void SetText(TextBox box, const std::string& text) = 0;

    // cmbView, a drop-down list.
    virtual void ComboAddItem(const std::string& text) = 0;
    // Selects the entry whose text equals `text` exactly; when none has it, nothing is selected
    // and the call returns false.
    virtual bool ComboSelectText(const std::string& text) = 0;
    // The index of the selected entry, -1 when none is selected.
    virtual int ComboListIndex() = 0;
    // The text of the entry at `index`; "" for -1 (and for any index without an entry).
    virtual std::string ComboItemText(int index) = 0;

    virtual void SetEnabled(Button button, bool enabled) = 0;
    virtual bool IsEnabled(Button button) = 0;

    // Closes the window, which ends the program.
    virtual void CloseWindow() = 0;
    // Shows a message about a failure to the user (a message box in the real window).
    virtual void ShowError(const std::string& message) = 0;
};

} // namespace pindrel
