#include "WatcherStart.h"

#include "Conversions.h"
#include "WatcherProgram.h"
#include "frmMain.h"

#include <exception>

namespace pindrel {

namespace {

std::string SwitchOf(const std::string& argumentText) {
    return Trim(LCase(argumentText));
}

// The mutex that marks this session's watcher, held from its start to its end.
class SessionMark {
  public:
    explicit SessionMark(WindowsApi& api) : api_(api) {
        mutex_ = api_.CreateMutexW(nullptr, 1, kWatcherMutex);
        taken_ = api_.GetLastError() == win::ERROR_ALREADY_EXISTS;
    }
    ~SessionMark() {
        if (mutex_ == Handle{0}) {
            return;
        }
        if (!taken_) {
            api_.ReleaseMutex(mutex_);
        }
        api_.CloseHandle(mutex_);
    }
    SessionMark(const SessionMark&) = delete;
    SessionMark& operator=(const SessionMark&) = delete;

    // Another watcher (or a "-q" waiting for one to end) holds the mark.
    bool takenByAnother() const { return mutex_ != Handle{0} && taken_; }
    bool held() const { return mutex_ != Handle{0} && !taken_; }

  private:
    WindowsApi& api_;
    Handle mutex_{};
    bool taken_ = false;
};

} // namespace

bool IsWatchCommand(const std::string& argumentText) {
    return SwitchOf(argumentText) == "-w";
}

bool IsQuitCommand(const std::string& argumentText) {
    return SwitchOf(argumentText) == "-q";
}

int RunWatcher(WindowsApi& api, Runtime& runtime, WatcherHost& host) {
    const SessionMark mark(api);
    if (mark.takenByAnother()) {
        return static_cast<int>(ExitStatus::Ok);
    }
    // Where no mutex can be had at all, the window of a running watcher still tells.
    if (!mark.held() && api.FindWindowA(kWatcherClass, nullptr) != Hwnd{0}) {
        return static_cast<int>(ExitStatus::Ok);
    }
    try {
        host.Create();
    } catch (const std::exception&) {
        return static_cast<int>(ExitStatus::StartFailed);
    }
    int status = static_cast<int>(ExitStatus::Ok);
    try {
        WatcherProgram program(api, runtime);
        Watcher watcher(program, host.clock());
        const UINT taskbarCreated = host.TaskbarCreatedMessage();
        host.Run([&](UINT message, WPARAM wParam, LPARAM lParam) {
            return DispatchWatcherMessage(watcher, taskbarCreated, message, wParam, lParam);
        });
        watcher.Stop();
    } catch (const std::exception&) {
        status = static_cast<int>(ExitStatus::Failed);
    }
    host.Destroy();
    return status;
}

int QuitWatcher(WindowsApi& api) {
    const Hwnd window = api.FindWindowA(kWatcherClass, nullptr);
    if (window == Hwnd{0}) {
        return static_cast<int>(ExitStatus::Ok);
    }
    // The mark is opened before the request, so that it cannot go and come back unseen.
    const Handle mark = api.OpenMutexW(win::SYNCHRONIZE, 0, kWatcherMutex);
    if (api.PostMessageA(window, win::WM_CLOSE, 0, 0) != 0 && mark != Handle{0}) {
        const DWORD waited = api.WaitForSingleObject(mark, kQuitWaitMs);
        if (waited == win::WAIT_OBJECT_0 || waited == win::WAIT_ABANDONED) {
            api.ReleaseMutex(mark);
        }
    }
    if (mark != Handle{0}) {
        api.CloseHandle(mark);
    }
    return static_cast<int>(ExitStatus::Ok);
}

} // namespace pindrel
