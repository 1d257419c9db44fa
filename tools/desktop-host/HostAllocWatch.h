// desktop-host's watch for memory that other programs allocate in its process (VirtualAllocEx),
// which the state shows as foreignallocs=.
//
// Nothing in the host is told of such an allocation: under Wine another program's VirtualAllocEx
// is carried out inside the host by one of its own threads, in Wine's own code, and lands where the
// host's own allocations land (the lowest free gap of Wine's reserved areas). So the host looks at
// its address space (VirtualQuery) and tells blocks apart by when they appeared: its main thread is
// "at work" while it handles a message (sent or posted; COM's calls apart), and "idle" in between.
// A block that appears while the thread is idle is another program's; one that appears while it is
// at work is the host's own (Wine makes such blocks while the list view paints and arranges). The
// thread looks when it starts and ends work, and at the start of each COM call of another program
// (the calls' own work makes no such blocks, so their end is not looked at). Around the read-only
// list-view requests of other programs (LVM_GETITEM* and the like, which allocate nothing) it
// does not look, so that they stay cheap; instead a block such a request points into (its record,
// or the text buffer the record names) is another program's, whenever it appeared.
//
// Only blocks of the shape VirtualAllocEx(MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE) gives are
// considered: private, committed read-write throughout, under 256 KiB. A heap's blocks are never
// separate allocations that small, and the host's other threads (Wine's RPC threads) make only
// thread stacks, which have guard pages, and 1 MiB blocks beside them. What is counted is a lower
// bound: a block is counted once while it lives, one freed and made again at the same place
// between two looks counts once, and one that lives and dies while the host does nothing at all
// is not seen. Under Wine 8 here a look takes about 100 us.
#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <utility>

namespace desktophost {

class AllocWatch {
  public:
    AllocWatch() = default;
    AllocWatch(const AllocWatch&) = delete;
    AllocWatch& operator=(const AllocWatch&) = delete;
    ~AllocWatch();

    // Takes every block there now as the host's own and starts watching the calling thread (the
    // main one): its sent messages through window hooks, its posted ones through Dispatch.
    bool Start();
    // DispatchMessageW as work of the host's own.
    LRESULT Dispatch(const MSG& msg);
    // A pointer that another program's request carries (it may point nowhere).
    void NotePointer(const void* p);
    // The blocks of other programs seen so far.
    int count() const { return count_; }

    // The thread's work begins and ends (nested work counts as one).
    void BeginWork();
    void EndWork();
    // A COM call of another program begins: what appeared since the last look is another
    // program's (the calls' own work makes no blocks of this shape).
    void ForeignCall();

  private:
    using Block = std::pair<ULONG_PTR, SIZE_T>; // allocation base, size
    // The blocks of VirtualAllocEx's shape now in the address space.
    std::set<Block> Blocks();
    // Blocks that appeared since the last look are the host's own (`idle` false) or another
    // program's (`idle` true); those gone are forgotten.
    void Look(bool idle);

    // Allocations that cannot be blocks (images, mappings, large ones): base → size and type.
    std::map<ULONG_PTR, std::pair<SIZE_T, DWORD>> stable_;
    std::set<Block> own_;
    std::set<Block> foreign_;
    int depth_ = 0;
    int count_ = 0;
    HHOOK before_ = nullptr;
    HHOOK after_ = nullptr;
};

} // namespace desktophost
