// The COM identity of desktop-host's shell part, and the item ids its folder view hands out.
//
// Clients ask for the shell's window list by CLSID_ShellWindows. Under Wine that class is served by
// Wine's explorer.exe, and a second registration of it from another process does not take over;
// so the test prefix's registry says HKEY_CLASSES_ROOT\CLSID\{9BA05972-...}\TreatAs =
// kHostShellWindowsClsid (scripts/wine-env.sh writes it), and the host registers its class object
// under that CLSID of its own. An unchanged client then reaches the host.
#pragma once

#include <windows.h>

#include <shtypes.h>

#include <cstddef>
#include <cstring>

namespace desktophost {

// {F4529484-5DEB-4B24-84AE-6D4CDF02C3AE}; scripts/wine-env.sh writes the same text.
constexpr GUID kHostShellWindowsClsid = {
    0xf4529484, 0x5deb, 0x4b24, {0x84, 0xae, 0x6d, 0x4c, 0xdf, 0x02, 0xc3, 0xae}};

// Item ids.
//
// Wine's interface definitions give ITEMIDLIST no wire form: an id that crosses processes
// arrives as its `cb` (2 bytes) and its first byte abID[0] only. Measured under Wine 8 with ids
// whose bytes after abID[0] were 0xAB: the receiver (either side) gets a new block (32 bytes by
// IMalloc::GetSize) holding cb and abID[0], then zeros, none of the sender's other bytes and no
// terminator of its own. (On Windows ids cross whole.) So what names the item must be in those 3
// bytes: the id of item k is a real, valid one-item list whose SHITEMID has cb = 3 + k,
// abID[0] = the low byte of k, the rest of it zero, then the 2-byte terminator. A received id is
// read by its cb and abID[0] only, never walked or measured. That names up to 65,533 items.
constexpr int kMostItemIds = 0xFFFF - 3 + 1;

// A new id (CoTaskMemAlloc) for item `k`, 0 <= k < kMostItemIds; nullptr when no memory could be
// had.
inline LPITEMIDLIST NewItemId(int k) {
    const std::size_t cb = 3 + static_cast<std::size_t>(k);
    auto* bytes = static_cast<BYTE*>(CoTaskMemAlloc(cb + 2));
    if (!bytes)
        return nullptr;
    std::memset(bytes, 0, cb + 2);
    const auto cbField = static_cast<USHORT>(cb);
    std::memcpy(bytes, &cbField, sizeof cbField);
    bytes[2] = static_cast<BYTE>(k & 0xFF);
    return reinterpret_cast<LPITEMIDLIST>(bytes);
}

// The item a received id names, from the 3 bytes that cross: false when it is no id of ours.
inline bool ItemOfId(LPCITEMIDLIST id, int& k) {
    if (!id)
        return false;
    USHORT cb = 0;
    std::memcpy(&cb, id, sizeof cb);
    if (cb < 3)
        return false;
    k = cb - 3;
    return reinterpret_cast<const BYTE*>(id)[2] == static_cast<BYTE>(k & 0xFF);
}

} // namespace desktophost
