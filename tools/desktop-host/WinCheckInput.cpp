// Sends wincheck's keys and mouse clicks with SendInput, and waits with a marker key until
// pindrel's window has handled them.
#include "WinCheckInput.h"

#include <cstdlib>
#include <vector>

namespace wincheck {

namespace {

// The key that marks the end of a step: nothing in the window reacts to it.
constexpr WORD kMarkerKey = VK_F24;

bool IsExtended(WORD vk) {
    switch (vk) {
    case VK_HOME:
    case VK_END:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_DELETE:
    case VK_INSERT:
    case VK_PRIOR:
    case VK_NEXT:
        return true;
    default:
        return false;
    }
}

void SendKey(WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0u) | (IsExtended(vk) ? KEYEVENTF_EXTENDEDKEY : 0u);
    SendInput(1, &input, sizeof input);
}

void SendUnicode(wchar_t c) {
    INPUT inputs[2]{};
    for (int i = 0; i < 2; ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wScan = static_cast<WORD>(c);
        inputs[i].ki.dwFlags = KEYEVENTF_UNICODE | (i == 1 ? KEYEVENTF_KEYUP : 0u);
    }
    SendInput(2, inputs, sizeof inputs[0]);
}

bool KeyDown(WORD vk) {
    return (GetKeyState(vk) & 0x8000) != 0;
}

WORD NamedKey(const std::string& name) {
    struct Named {
        const char* name;
        WORD vk;
    };
    static const Named keys[] = {
        {"Tab", VK_TAB},     {"Enter", VK_RETURN}, {"Escape", VK_ESCAPE}, {"Space", VK_SPACE},
        {"Home", VK_HOME},   {"End", VK_END},      {"Left", VK_LEFT},     {"Right", VK_RIGHT},
        {"Up", VK_UP},       {"Down", VK_DOWN},    {"Delete", VK_DELETE}, {"Back", VK_BACK},
        {"Shift", VK_SHIFT}, {"Ctrl", VK_CONTROL}, {"Alt", VK_MENU},
    };
    for (const Named& key : keys) {
        if (name == key.name)
            return key.vk;
    }
    if (name.size() == 1 &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9')))
        return static_cast<WORD>(name[0]);
    if (name.size() >= 2 && name[0] == 'F') {
        const int n = std::atoi(name.c_str() + 1);
        if (n >= 1 && n <= 12)
            return static_cast<WORD>(VK_F1 + n - 1);
    }
    return 0;
}

// "Shift+Ctrl+Tab" into its modifiers and its key; false for an unknown name.
bool ParseChord(const std::string& chord, std::vector<WORD>& modifiers, WORD& key) {
    size_t start = 0;
    for (;;) {
        const size_t plus = chord.find('+', start);
        const std::string part =
            chord.substr(start, plus == std::string::npos ? plus : plus - start);
        const WORD vk = NamedKey(part);
        if (vk == 0)
            return false;
        if (plus == std::string::npos) {
            key = vk;
            return true;
        }
        if (vk != VK_SHIFT && vk != VK_CONTROL && vk != VK_MENU)
            return false;
        modifiers.push_back(vk);
        start = plus + 1;
    }
}

void TypeText(const std::string& text) {
    for (char c : text) {
        const SHORT scan = VkKeyScanA(c);
        const int shift = (scan >> 8) & 0xFF;
        if (scan == -1 || (shift & ~1) != 0) {
            SendUnicode(static_cast<wchar_t>(static_cast<unsigned char>(c)));
            continue;
        }
        const auto vk = static_cast<WORD>(scan & 0xFF);
        if (shift & 1)
            SendKey(VK_SHIFT, false);
        SendKey(vk, false);
        SendKey(vk, true);
        if (shift & 1)
            SendKey(VK_SHIFT, true);
    }
}

} // namespace

bool Waiter::MarkerSeen(bool down) const {
    SendKey(kMarkerKey, !down);
    for (DWORD waited = 0; waited < kHangGuardMs; ++waited) {
        if (KeyDown(kMarkerKey) == down || !Open())
            return true;
        Sleep(1);
    }
    return false;
}

bool SendStep(const std::string& step) {
    if (step.rfind("text:", 0) == 0) {
        TypeText(step.substr(5));
        return true;
    }
    const bool downOnly = step.rfind("down:", 0) == 0;
    const bool upOnly = step.rfind("up:", 0) == 0;
    const std::string chord = downOnly ? step.substr(5) : upOnly ? step.substr(3) : step;
    std::vector<WORD> modifiers;
    WORD key = 0;
    if (!ParseChord(chord, modifiers, key))
        return false;
    if (!upOnly) {
        for (WORD modifier : modifiers)
            SendKey(modifier, false);
        SendKey(key, false);
    }
    if (!downOnly) {
        SendKey(key, true);
        for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
            SendKey(*it, true);
    }
    return true;
}

void SendMouse(DWORD flags, LONG x, LONG y) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    // Absolute coordinates run from 0 to 65535 over the screen; aim at the pixel's middle.
    input.mi.dx = static_cast<LONG>((static_cast<long long>(x) * 65536 + 32768) / width);
    input.mi.dy = static_cast<LONG>((static_cast<long long>(y) * 65536 + 32768) / height);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

} // namespace wincheck
