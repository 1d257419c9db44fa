#include "platform/sim/HeadlessControls.h"

#include <cstddef>

namespace pindrel::sim {

std::string HeadlessControls::GetText(TextBox box) {
    return Text(box);
}

void HeadlessControls::SetText(TextBox box, const std::string& text) {
    Text(box) = text;
}

void HeadlessControls::ComboAddItem(const std::string& text) {
    comboItems.push_back(text);
}

bool HeadlessControls::ComboSelectText(const std::string& text) {
    for (std::size_t i = 0; i < comboItems.size(); ++i) {
        if (comboItems[i] == text) {
            comboIndex = static_cast<int>(i);
            return true;
        }
    }
    comboIndex = -1;
    return false;
}

int HeadlessControls::ComboListIndex() {
    return comboIndex;
}

std::string HeadlessControls::ComboItemText(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= comboItems.size())
        return "";
    return comboItems[static_cast<std::size_t>(index)];
}

void HeadlessControls::SetEnabled(Button button, bool isEnabled) {
    enabled[static_cast<std::size_t>(button)] = isEnabled;
}

bool HeadlessControls::IsEnabled(Button button) {
    return enabled[static_cast<std::size_t>(button)];
}

void HeadlessControls::CloseWindow() {
    closed = true;
}

void HeadlessControls::ShowError(const std::string& message) {
    errors.push_back(message);
}

} // namespace pindrel::sim
