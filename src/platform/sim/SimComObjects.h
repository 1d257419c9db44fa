// The session's COM bookkeeping: interface pointers with their reference counts, the objects
// behind them, and the item ids handed out, each with what the program may and may not do with it.
//
// Each interface pointer handed to the program is a handle of its own with a count of 1; Release
// takes it to 0, and a call or a second Release through it afterwards is a fault (on Windows a
// call through a released pointer may crash, and an extra Release frees an object someone else
// holds). An object lives while any of its pointers does. Each item id is freed once, with
// CoTaskMemFree; using or freeing it again is a fault. What is left unreleased or unfreed is
// counted, for the tests to see.
#pragma once

#include "platform/ShellComApi.h"
#include "platform/sim/SimLog.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace pindrel::sim {

// The objects of the simulated shell's COM chain.
enum class SimComKind { ShellWindows, DesktopDispatch, Browser, View, Folder };

class SimComObjects {
  public:
    explicit SimComObjects(SimLog& log) : log_(log) {}

    // A new object, and its first pointer (`iid`).
    ComObject Create(SimComKind kind, ComInterface iid);
    // Another pointer to the object behind `pointer`, for `iid`; the pointer must be live.
    ComObject Another(ComObject pointer, ComInterface iid);
    // The kind behind a live pointer whose interface has the method being called; nothing (and
    // a fault naming `method`) otherwise.
    const SimComKind* Use(ComObject pointer, std::initializer_list<ComInterface> interfaces,
                          const char* method);
    std::uint32_t Release(ComObject pointer);

    ComItemId NewId(std::uint64_t itemSerial);
    // The item a live id names; nothing (and a fault naming `method`) for one freed or unknown.
    const std::uint64_t* Item(ComItemId id, const char* method);
    void Free(ComItemId id);

    int LivePointers() const { return static_cast<int>(pointers_.size()); }
    int LiveItemIds() const { return static_cast<int>(ids_.size()); }

  private:
    struct Pointer {
        std::uint32_t object;
        ComInterface iid;
    };
    SimLog& log_;
    std::map<std::uint32_t, SimComKind> objects_;
    std::map<std::uint64_t, Pointer> pointers_;
    std::set<std::uint64_t> released_;
    std::map<std::uint64_t, std::uint64_t> ids_; // id -> item serial
    std::set<std::uint64_t> freed_;
    std::uint32_t nextObject_ = 1;
    std::uint64_t nextPointer_ = 0x7F0000001000;
    std::uint64_t nextId_ = 0x7F0000800000;
};

} // namespace pindrel::sim
