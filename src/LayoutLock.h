// One run at a time per layout file: a save and a restore of the same file, in this program or in
// another run of it (a scheduled "-r" meeting a "-s" from a log-off script), wait for each other
// instead of meeting in the file.
#pragma once

#include "platform/WindowsApi.h"

#include <string>

namespace pindrel {

// How long a run waits for another one to finish with the same layout: far longer than any save or
// restore takes (a restore of a thousand icons takes about a second, one against a desktop that
// stopped answering ends after its request's time limit).
constexpr DWORD kLayoutWaitMs = 30000;

// The name of the mutex of a layout file: one per file whatever the letter case of its path, in
// the global namespace so that runs in other sessions of the same user see it too.
std::u16string LayoutMutexName(const std::u16string& layoutPath, bool global = true);

// Holds the layout's mutex from construction to destruction. Waits for another run that holds it,
// at most kLayoutWaitMs, then throws Failure naming the layout file. A mutex left behind by a run
// that ended without letting go is taken over: the layout file itself is always whole. Where no
// mutex can be had at all, the run goes on unserialised, as before.
class LayoutLock {
  public:
    LayoutLock(WindowsApi& api, const std::u16string& layoutPath);
    ~LayoutLock();
    LayoutLock(const LayoutLock&) = delete;
    LayoutLock& operator=(const LayoutLock&) = delete;

  private:
    WindowsApi& api_;
    Handle mutex_{};
    bool owned_ = false;
};

} // namespace pindrel
