// Memory the desktop list view's process can reach, for the records its messages point at: on NT
// memory committed inside that process (VirtualAllocEx through one handle of the process), on
// the other Windows views of unnamed page-file mappings, which every process reaches at the same
// address.
#pragma once

#include "DesktopAccess.h"
#include "Records.h"
#include "platform/WindowsApi.h"

namespace pindrel::modPindrel {

// True when the version query succeeds and reports the NT platform (id 2).
bool IsWindowsNT(WindowsApi& api);

// An unnamed page-file mapping and a view of it (other platforms).
RemoteAddr MapSharedBuffer(WindowsApi& api, DWORD size, Handle& mapping);
void UnmapSharedBuffer(WindowsApi& api, Handle mapping, RemoteAddr view);

// An address in the list view's process as a message parameter. Every address passed here came
// from this program's own VirtualAllocEx or MapViewOfFile, which give a 32-bit program only
// addresses that fit its LPARAM; one that would not fit gives 0, which no request acts on.
LPARAM AddressParam(RemoteAddr address);

// The memory of one operation: the list view's process opened once, its record form decided
// once, and two buffers (the records, the texts) obtained once, on first use, and released when
// the operation ends. Every release happens after the requests that use the buffer have been
// answered and their results copied back.
class ListViewMemory {
  public:
    ListViewMemory(WindowsApi& api, Pid processId, bool nt) : api_(api), pid_(processId), nt_(nt) {}
    ~ListViewMemory();
    ListViewMemory(const ListViewMemory&) = delete;
    ListViewMemory& operator=(const ListViewMemory&) = delete;

    bool nt() const { return nt_; }
    // The form of LVITEM the list view's process reads: that of its own bitness. A 64-bit program
    // takes the 32-bit form for a shell under WOW64; a 32-bit program under WOW64 (so on 64-bit
    // Windows) the 64-bit form for a shell that is not. Where the question cannot be answered (no
    // IsWow64Process, no query access to the process) the program's own form is taken. Off NT,
    // where every process is 32-bit, the 32-bit form.
    records::RecordForm Form();

    enum Slot { kRecords = 0, kTexts = 1 };
    // The slot's buffer of `size` bytes (the same size at every use), its address 0 when none
    // could be had; `reach` then says why.
    RemoteAddr Buffer(Slot slot, DWORD size);
    Reach reach() const { return reach_; }
    void Write(RemoteAddr address, const void* data, DWORD size);
    void Read(RemoteAddr address, void* data, DWORD size);
    // A request pointing into the buffers went unanswered: the list view may still take it once
    // its thread runs again, so the buffers are left as they are (a few pages of the shell's
    // memory) rather than freed under it; only the handle is closed.
    void Abandon() { abandoned_ = true; }

  private:
    // The process handle with memory access, opened once; 0 when it cannot be opened.
    Handle Process();

    WindowsApi& api_;
    Pid pid_;
    bool nt_;
    bool opened_ = false;
    Handle process_{};
    bool queryAccess_ = false; // the handle also has PROCESS_QUERY_LIMITED_INFORMATION
    bool formKnown_ = false;
    records::RecordForm form_ = records::RecordForm::Bits32;
    struct Obtained {
        bool tried = false;
        RemoteAddr address{};
        Handle mapping{}; // off NT
        DWORD size = 0;
    };
    Obtained buffers_[2];
    Reach reach_ = Reach::Reached;
    bool abandoned_ = false;
};

} // namespace pindrel::modPindrel
