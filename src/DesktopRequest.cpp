#include "DesktopRequest.h"

#include <string>

namespace pindrel {

const char* const kDesktopWindows =
    "desktop window Progman (or WorkerW) > SHELLDLL_DefView > SysListView32";

LRESULT DesktopRequest(WindowsApi& api, Hwnd window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::uintptr_t answer = 0;
    if (api.SendMessageTimeoutA(window, message, wParam, lParam,
                                win::SMTO_NORMAL | win::SMTO_ABORTIFHUNG, kAnswerLimitMs,
                                &answer) != 0) {
        return static_cast<LRESULT>(answer);
    }
    // Windows 2000 left the error at 0 on a timeout; every later Windows says ERROR_TIMEOUT.
    const DWORD error = api.GetLastError();
    if (error == win::ERROR_TIMEOUT || error == win::ERROR_SUCCESS) {
        throw Failure(errors::kNoAnswer,
                      "The desktop did not answer within " + std::to_string(kAnswerLimitMs / 1000) +
                          " seconds",
                      kDesktopWindows);
    }
    if (error == win::ERROR_INVALID_WINDOW_HANDLE) {
        throw Failure(errors::kObjectRequired, "The desktop window went away", kDesktopWindows);
    }
    return 0;
}

bool IsNoAnswer(const Failure& failure) {
    return failure.number() == errors::kNoAnswer;
}

bool IsWindowGone(const Failure& failure) {
    return failure.number() == errors::kObjectRequired;
}

} // namespace pindrel
