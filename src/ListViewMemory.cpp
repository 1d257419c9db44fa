#include "ListViewMemory.h"

#include <limits>

namespace pindrel::modPindrel {

namespace {
constexpr DWORD kMemoryAccess =
    win::PROCESS_VM_OPERATION | win::PROCESS_VM_READ | win::PROCESS_VM_WRITE;
} // namespace

bool IsWindowsNT(WindowsApi& api) {
    OsVersionInfoA info;
    info.dwOSVersionInfoSize = sizeof info;
    return api.GetVersionExA(&info) != 0 && info.dwPlatformId == win::VER_PLATFORM_WIN32_NT;
}

RemoteAddr MapSharedBuffer(WindowsApi& api, DWORD size, Handle& mapping) {
    mapping =
        api.CreateFileMappingA(kInvalidHandleValue, nullptr, win::PAGE_READWRITE, 0, size, nullptr);
    return api.MapViewOfFile(mapping, win::FILE_MAP_ALL_ACCESS, 0, 0, 0);
}

void UnmapSharedBuffer(WindowsApi& api, Handle mapping, RemoteAddr view) {
    api.UnmapViewOfFile(view);
    api.CloseHandle(mapping);
}

LPARAM AddressParam(RemoteAddr address) {
    const std::uint64_t value = raw(address);
    if (value > std::numeric_limits<std::uintptr_t>::max()) {
        return 0;
    }
    return static_cast<LPARAM>(static_cast<std::uintptr_t>(value));
}

ListViewMemory::~ListViewMemory() {
    // Only what was obtained is released: no call is made with address or handle 0.
    for (Obtained& buffer : buffers_) {
        if (abandoned_) {
            break;
        }
        if (nt_ && buffer.address != RemoteAddr{0}) {
            api_.VirtualFreeEx(process_, buffer.address, 0, win::MEM_RELEASE);
        } else if (!nt_ && buffer.address != RemoteAddr{0}) {
            UnmapSharedBuffer(api_, buffer.mapping, buffer.address);
        } else if (!nt_ && buffer.mapping != Handle{0}) {
            api_.CloseHandle(buffer.mapping);
        }
    }
    if (process_ != Handle{0}) {
        api_.CloseHandle(process_);
    }
}

Handle ListViewMemory::Process() {
    if (!opened_) {
        opened_ = true;
        // One handle serves the whole operation: memory access, and the question of the
        // process's bitness where Windows grants that too.
        process_ =
            api_.OpenProcess(kMemoryAccess | win::PROCESS_QUERY_LIMITED_INFORMATION, 0, pid_);
        queryAccess_ = process_ != Handle{0};
        if (process_ == Handle{0}) {
            process_ = api_.OpenProcess(kMemoryAccess, 0, pid_);
        }
    }
    return process_;
}

records::RecordForm ListViewMemory::Form() {
    using records::RecordForm;
    if (formKnown_) {
        return form_;
    }
    formKnown_ = true;
    const RecordForm own = api_.IsProgram64Bit() ? RecordForm::Bits64 : RecordForm::Bits32;
    form_ = own;
    if (!nt_) {
        form_ = RecordForm::Bits32; // the non-NT Windows are 32-bit throughout
        return form_;
    }
    // A 32-bit program that is not itself under WOW64 runs on 32-bit Windows, where every process
    // is 32-bit.
    if (own == RecordForm::Bits32) {
        BOOL selfWow64 = 0;
        if (api_.IsWow64Process(api_.GetCurrentProcess(), &selfWow64) == 0 || selfWow64 == 0) {
            return form_;
        }
    }
    // On 64-bit Windows the list view's process is 32-bit exactly when it runs under WOW64.
    const Handle process = Process();
    BOOL wow64 = 0;
    if (process != Handle{0} && queryAccess_ && api_.IsWow64Process(process, &wow64) != 0) {
        form_ = wow64 != 0 ? RecordForm::Bits32 : RecordForm::Bits64;
    }
    return form_;
}

RemoteAddr ListViewMemory::Buffer(Slot slot, DWORD size) {
    Obtained& buffer = buffers_[slot];
    if (buffer.tried) {
        return buffer.address;
    }
    buffer.tried = true;
    buffer.size = size;
    if (nt_) {
        const Handle process = Process();
        if (process == Handle{0}) {
            reach_ = Reach::ProcessNotOpened;
            return RemoteAddr{0};
        }
        buffer.address = api_.VirtualAllocEx(
            process, RemoteAddr{0}, size, win::MEM_COMMIT | win::MEM_RESERVE, win::PAGE_READWRITE);
    } else {
        buffer.address = MapSharedBuffer(api_, size, buffer.mapping);
    }
    if (buffer.address == RemoteAddr{0}) {
        reach_ = Reach::NoBuffer;
    }
    return buffer.address;
}

void ListViewMemory::Write(RemoteAddr address, const void* data, DWORD size) {
    if (nt_) {
        api_.WriteProcessMemory(process_, address, data, size, nullptr);
    } else {
        api_.RtlMoveMemory(address, data, size);
    }
}

void ListViewMemory::Read(RemoteAddr address, void* data, DWORD size) {
    if (nt_) {
        api_.ReadProcessMemory(process_, address, data, size, nullptr);
    } else {
        api_.RtlMoveMemory(data, address, size);
    }
}

} // namespace pindrel::modPindrel
