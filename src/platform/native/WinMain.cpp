// pindrel.exe: creates the window, runs its load event, and either ends there (a silent save or
// restore closes the window before it is shown) or shows the window and runs its message loop.
#include "platform/native/MainWindow.h"
#include "platform/native/NativeRuntime.h"
#include "platform/native/NativeWindowsApi.h"

#include <commctrl.h>

#include <exception>
#include <string>

namespace {
// The exit status when the program cannot start at all (its window cannot be created).
constexpr int kStartFailed = 3;
} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    INITCOMMONCONTROLSEX commonControls{};
    commonControls.dwSize = sizeof(commonControls);
    commonControls.dwICC = ICC_STANDARD_CLASSES;
    ::InitCommonControlsEx(&commonControls);

    try {
        pindrel::NativeWindowsApi api;
        pindrel::NativeRuntime runtime;
        pindrel::MainWindow window(instance);
        window.Create();

        pindrel::frmMain form(api, runtime, window);
        window.Attach(&form);
        form.Form_Load();
        if (window.closeRequested()) {
            // "-s" and "-r": the window closed during its load and is never shown.
            window.Attach(nullptr);
            window.Destroy();
            return static_cast<int>(form.exitStatus());
        }
        window.Show(showCommand);
        const int exitCode = window.RunMessageLoop();
        window.Attach(nullptr);
        return exitCode;
    } catch (const std::exception& e) {
        ::MessageBoxA(nullptr, e.what(), "Pindrel", MB_OK | MB_ICONERROR);
        return kStartFailed;
    }
}
