#include "HiddenControls.h"

#include <cstddef>

namespace pindrel {

std::string HiddenControls::GetText(TextBox box) {
    return Text(box);
}

void HiddenControls::SetText(TextBox box, const std::string& text) {
    Text(box) = text;
}

void HiddenControls::ComboAddItem(const std::string& text) {
    comboItems.push_back(text);
}

bool HiddenControls::ComboSelectText(const std::string& text) {
    for (std::size_t i = 0; i < comboItems.size(); ++i) {
        if (comboItems[i] == text) {
            comboIndex = static_cast<int>(i);
            return true;
        }
    }
    comboIndex = -1;
    return false;
}

int HiddenControls::ComboListIndex() {
    return comboIndex;
}

std::string HiddenControls::ComboItemText(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= comboItems.size())
        return "";
    return comboItems[static_cast<std::size_t>(index)];
}

void HiddenControls::SetEnabled(Button button, bool isEnabled) {
    enabled[static_cast<std::size_t>(button)] = isEnabled;
}

bool HiddenControls::IsEnabled(Button button) {
    return enabled[static_cast<std::size_t>(button)];
}

void HiddenControls::CloseWindow() {
    closed = true;
}

void HiddenControls::ShowError(const std::string& message) {
    errors.push_back(message);
}

} // namespace pindrel
