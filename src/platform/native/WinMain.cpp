// pindrel.exe: the real window and the real Windows functions handed to the program's start-up, or
// to the watcher's ("-w", "-q").
#include "ProgramStart.h"
#include "Utf.h"
#include "WatcherStart.h"
#include "platform/native/MainWindow.h"
#include "platform/native/NativeRuntime.h"
#include "platform/native/NativeWindowsApi.h"
#include "platform/native/WatcherWindow.h"

#include <commctrl.h>

#include <string>

namespace {

// MainWindow as the start-up drives it, shown the way the program was asked to show.
class NativeProgramWindow final : public pindrel::ProgramWindow {
  public:
    NativeProgramWindow(HINSTANCE instance, int showCommand)
        : window_(instance), showCommand_(showCommand) {}

    void Create() override { window_.Create(); }
    pindrel::Controls& controls() override { return window_; }
    void Attach(pindrel::frmMain* logic) override { window_.Attach(logic); }
    bool closeRequested() const override { return window_.closeRequested(); }
    void Show() override { window_.Show(showCommand_); }
    void Destroy() override { window_.Destroy(); }
    int RunMessageLoop() override { return window_.RunMessageLoop(); }
    void ShowStartFailure(const std::string& message) override {
        const std::u16string text = pindrel::Utf8ToUtf16(message);
        ::MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()), L"Pindrel",
                      MB_OK | MB_ICONERROR);
    }

  private:
    pindrel::MainWindow window_;
    int showCommand_;
};

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    pindrel::NativeWindowsApi api;
    pindrel::NativeRuntime runtime;
    const std::string command = runtime.Command();
    const bool watch = pindrel::IsWatchCommand(command);
    const bool quit = pindrel::IsQuitCommand(command);
    if (watch || quit || pindrel::IsSilentCommand(command)) {
        // Nor may Windows itself stop a silent run with a dialog (no disk in a drive, a crash
        // report): the run fails instead, and its status says so.
        ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
    }

    if (quit) {
        return pindrel::QuitWatcher(api);
    }
    if (watch) {
        pindrel::WatcherWindow watcher(instance);
        return pindrel::RunWatcher(api, runtime, watcher);
    }

    INITCOMMONCONTROLSEX commonControls{};
    commonControls.dwSize = sizeof(commonControls);
    commonControls.dwICC = ICC_STANDARD_CLASSES;
    ::InitCommonControlsEx(&commonControls);

    NativeProgramWindow window(instance, showCommand);
    return pindrel::RunProgram(api, runtime, window);
}
