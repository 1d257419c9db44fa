#include "LayoutLock.h"

#include "WindowsPaths.h"

#include <cstdint>

namespace pindrel {

std::u16string LayoutMutexName(const std::u16string& layoutPath, bool global) {
    // FNV-1a over the path's UTF-16 units, ASCII letters folded to capitals: mutex names may not
    // hold "\" and are limited in length, and Windows paths do not count letter case.
    std::uint64_t hash = 14695981039346656037ULL;
    for (char16_t unit : layoutPath) {
        if (unit >= u'a' && unit <= u'z') {
            unit = static_cast<char16_t>(unit - u'a' + u'A');
        } else if (unit == u'/') {
            unit = u'\\';
        }
        hash = (hash ^ unit) * 1099511628211ULL;
    }
    std::u16string name = global ? u"Global\\Pindrel.Layout." : u"Local\\Pindrel.Layout.";
    for (int shift = 60; shift >= 0; shift -= 4) {
        name += u"0123456789ABCDEF"[(hash >> shift) & 0xF];
    }
    return name;
}

LayoutLock::LayoutLock(WindowsApi& api, const std::u16string& layoutPath) : api_(api) {
    mutex_ = api_.CreateMutexW(nullptr, 0, LayoutMutexName(layoutPath).c_str());
    if (mutex_ == Handle{0}) {
        // A global name may be refused (a restricted account): the session's own will do.
        mutex_ = api_.CreateMutexW(nullptr, 0, LayoutMutexName(layoutPath, false).c_str());
    }
    if (mutex_ == Handle{0}) {
        return;
    }
    const DWORD waited = api_.WaitForSingleObject(mutex_, kLayoutWaitMs);
    if (waited == win::WAIT_OBJECT_0 || waited == win::WAIT_ABANDONED) {
        owned_ = true;
        return;
    }
    api_.CloseHandle(mutex_);
    mutex_ = Handle{0};
    if (waited == win::WAIT_TIMEOUT) {
        throw Failure(errors::kPermissionDenied,
                      "Another run of Pindrel is saving or restoring this layout and did not "
                      "finish within " +
                          std::to_string(kLayoutWaitMs / 1000) + " seconds",
                      PathText(layoutPath));
    }
}

LayoutLock::~LayoutLock() {
    if (owned_) {
        api_.ReleaseMutex(mutex_);
    }
    if (mutex_ != Handle{0}) {
        api_.CloseHandle(mutex_);
    }
}

} // namespace pindrel
