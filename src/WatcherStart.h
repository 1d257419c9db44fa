// "pindrel.exe -w" and "pindrel.exe -q": the watcher's start-up, one per session, and the request
// that ends it.
//
// "-w" holds a named mutex in the session's own namespace ("Local\") for as long as it runs, so a
// second "-w" in the same session finds it and ends at once. It keeps a hidden top-level window of
// the class kWatcherClass (not a message-only window: those get no broadcasts, and
// WM_DISPLAYCHANGE and "TaskbarCreated" are broadcasts) and runs the watcher on its messages.
// "-q" finds that window by its class, asks it to close and waits until the watcher has let go of
// its mutex.
#pragma once

#include "Watcher.h"
#include "WatcherMessages.h"
#include "platform/Runtime.h"
#include "platform/WindowsApi.h"

#include <functional>
#include <string>

namespace pindrel {

constexpr const char* kWatcherClass = "PindrelWatcher";
constexpr const char16_t* kWatcherMutex = u"Local\\Pindrel.Watcher";
// How long "-q" waits for the watcher to end: longer than a restore under way can take (it may
// wait for the layout's lock, kLayoutWaitMs, and then for a desktop that stops answering).
constexpr DWORD kQuitWaitMs = 40000;

// The watcher's hidden window as the start-up drives it.
class WatcherHost {
  public:
    virtual ~WatcherHost() = default;
    // Creates the hidden top-level window of class kWatcherClass and signs it up for the session's
    // notifications. Throws std::exception naming the window when the platform refuses.
    virtual void Create() = 0;
    // The time, and the window's timer kWatcherTimerId.
    virtual WatcherClock& clock() = 0;
    // The number of the registered message "TaskbarCreated" in this session (0 if none).
    virtual UINT TaskbarCreatedMessage() = 0;
    // Hands every message of the window to `handle` until it answers WatcherReply::Quit.
    virtual void Run(const std::function<WatcherReply(UINT, WPARAM, LPARAM)>& handle) = 0;
    virtual void Destroy() = 0;
};

// Whether the argument text is "-w" or "-q" (letter case and the blanks around the switch do not
// count).
bool IsWatchCommand(const std::string& argumentText);
bool IsQuitCommand(const std::string& argumentText);

// "-w": runs the watcher until it is asked to quit or the session ends, and returns 0; 0 at once
// when a watcher already runs in this session; ExitStatus::StartFailed when its window cannot be
// created.
int RunWatcher(WindowsApi& api, Runtime& runtime, WatcherHost& host);
// "-q": asks the watcher of this session to quit and waits for it to end (at most kQuitWaitMs);
// 0 whether or not one was running.
int QuitWatcher(WindowsApi& api);

} // namespace pindrel
