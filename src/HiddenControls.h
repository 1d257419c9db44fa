// The window's controls kept in memory, for running frmMain without a window: the watcher's
// restores ("-w") run the "-r" path on them, and tests run the window's logic on them. The state
// is public so that tests can set it up and look at it.
#pragma once

#include "platform/Controls.h"

#include <array>
#include <string>
#include <vector>

namespace pindrel {

class HiddenControls final : public Controls {
  public:
    // The four text boxes, indexed by TextBox.
    std::array<std::string, 4> texts;
    // cmbView's entries and the selected index (-1 when none is selected).
    std::vector<std::string> comboItems;
    int comboIndex = -1;
    // The five buttons' enabled flags, indexed by Button; all enabled at the start.
    std::array<bool, 5> enabled{{true, true, true, true, true}};
    // Set by CloseWindow.
    bool closed = false;
    // The messages given to ShowError, in order.
    std::vector<std::string> errors;

    std::string GetText(TextBox box) override;
    void SetText(TextBox box, const std::string& text) override;
    void ComboAddItem(const std::string& text) override;
    bool ComboSelectText(const std::string& text) override;
    int ComboListIndex() override;
    std::string ComboItemText(int index) override;
    void SetEnabled(Button button, bool isEnabled) override;
    bool IsEnabled(Button button) override;
    void CloseWindow() override;
    void ShowError(const std::string& message) override;

    // Shorthands for tests.
    std::string& Text(TextBox box) { return texts[static_cast<std::size_t>(box)]; }
    std::string SelectedText() { return ComboItemText(comboIndex); }
};

} // namespace pindrel
