#include "ProgramStart.h"

#include "ContinueOnFailure.h"

#include <exception>

namespace pindrel {

int RunProgram(WindowsApi& api, Runtime& runtime, ProgramWindow& window) {
    bool silent = false;
    ContinueOnFailure([&] { silent = IsSilentCommand(runtime.Command()); });
    bool created = false;
    try {
        window.Create();
        created = true;
        frmMain form(api, runtime, window.controls());
        window.Attach(&form);
        form.Form_Load();
        if (window.closeRequested()) {
            // "-s" and "-r": the window closed during its load and is never shown.
            window.Attach(nullptr);
            window.Destroy();
            return static_cast<int>(form.exitStatus());
        }
        window.Show();
        const int exitCode = window.RunMessageLoop();
        window.Attach(nullptr);
        return exitCode;
    } catch (const std::exception& e) {
        window.Attach(nullptr);
        if (!silent) {
            window.ShowStartFailure(e.what());
        }
        return static_cast<int>(created ? ExitStatus::Failed : ExitStatus::StartFailed);
    }
}

} // namespace pindrel
