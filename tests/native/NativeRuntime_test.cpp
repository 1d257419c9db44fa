// The real Runtime (under Wine in the cross build): text files and their failures, the run-time
// error numbers naming the file, and the executable's location. (A replaced file that is missing
// and the temporary file's removal are driven through the real pindrel.exe by the end-to-end
// tests.)
#include "WindowsPaths.h"
#include "platform/native/NativeRuntime.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>

#include <windows.h>
#undef ReplaceFile

namespace pindrel {
namespace {

// A whole file through the input functions, in blocks of 1000 bytes.
std::string Read(NativeRuntime& runtime, const std::u16string& path) {
    const int file = runtime.OpenForInput(path);
    std::string text;
    char block[1000];
    while (const std::size_t n = runtime.ReadBlock(file, block, sizeof block))
        text.append(block, n);
    runtime.CloseFile(file);
    return text;
}

// The failure `action` throws, as "number subject".
template <typename Action> std::string FailureOf(Action action) {
    try {
        action();
    } catch (const Failure& failure) {
        return std::to_string(failure.number()) + " " + failure.subject();
    } catch (const std::exception& other) {
        return std::string("another failure: ") + other.what();
    }
    return "no failure";
}

std::u16string U16(const std::filesystem::path& path) {
    const std::wstring wide = path.wstring();
    return std::u16string(wide.begin(), wide.end());
}

const wchar_t* W(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// Removes a folder and everything in it, at any depth (std::filesystem stops at MAX_PATH here).
void RemoveTree(const std::u16string& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(W(FileSystemPath(folder + u"\\*")), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::u16string name = U16(found.cFileName);
            if (name == u"." || name == u"..")
                continue;
            const std::u16string inner = folder + u"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(inner);
            else
                ::DeleteFileW(W(FileSystemPath(inner)));
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(W(FileSystemPath(folder)));
}

// The folder's name holds characters no ANSI code page has all of (Cyrillic, Greek, CJK), so the
// wide functions are the only ones that reach the files.
TEST(NativeRuntime, WritesCrLfLinesAndFailsWithTheRunTimeNumberNamingTheFile) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         L"pindrel-native \u0418\u0432\u0430\u043d \u03a3 \u65e5";
    RemoveTree(U16(folder));
    std::filesystem::create_directories(folder);
    NativeRuntime runtime;
    const std::u16string layout = U16(folder / "layout.txt"), temporary = layout + u".tmp";
    const std::string layoutText = PathText(layout);
    const auto put = [&](const std::u16string& path,
                         const std::initializer_list<std::string> lines) {
        const int file = runtime.OpenForOutput(path);
        for (const std::string& line : lines)
            runtime.WriteLine(file, line);
        runtime.CloseFile(file);
        return file;
    };
    // Lines go out with CR LF, longer than one block of output, and come back whole in blocks
    // (and a shorter file over them below replaces them all). A closed file number is refused, so
    // is a line for a file opened for input.
    const std::string block(70000, 'b');
    const int closed = put(layout, {"-5,7,caf\xE9", "", block, block});
    EXPECT_EQ(Read(runtime, layout), "-5,7,caf\xE9\r\n\r\n" + block + "\r\n" + block + "\r\n");
    const std::string numbered = "52 file number " + std::to_string(closed);
    EXPECT_EQ(FailureOf([&] { runtime.WriteLine(closed, "x"); }), numbered);
    EXPECT_EQ(FailureOf([&] { runtime.CloseFile(closed); }), numbered);
    const int input = runtime.OpenForInput(layout);
    EXPECT_EQ(FailureOf([&] { runtime.WriteLine(input, "x"); }), "54 " + layoutText);
    runtime.CloseFile(input);

    const std::u16string missing = U16(folder / "missing.txt");
    const std::u16string inMissingFolder = U16(folder) + u"\\none\\layout.txt";
    EXPECT_EQ(FailureOf([&] { Read(runtime, missing); }), "53 " + PathText(missing));
    EXPECT_EQ(FailureOf([&] { runtime.OpenForOutput(inMissingFolder); }),
              "76 " + PathText(inMissingFolder));
    EXPECT_EQ(FailureOf([&] { Read(runtime, inMissingFolder); }),
              "76 " + PathText(inMissingFolder));

    // A path past MAX_PATH in the form the program gives it: written, read, replaced and
    // deleted through the "\\?\" prefix.
    std::u16string deep = U16(folder);
    while (deep.size() < 300) {
        deep += u"\\" + std::u16string(40, u'd');
        ::CreateDirectoryW(W(FileSystemPath(deep)), nullptr);
    }
    const std::u16string longLayout = FileSystemPath(deep + u"\\layout.txt");
    put(longLayout + u".tmp", {"long"});
    runtime.ReplaceFile(longLayout + u".tmp", longLayout);
    EXPECT_EQ(Read(runtime, longLayout), "long\r\n");
    runtime.DeleteFileQuietly(longLayout);
    EXPECT_EQ(FailureOf([&] { Read(runtime, longLayout); }), "53 " + PathText(longLayout));

    // A file another program holds open without sharing can be neither written nor read; a
    // target held open stays as it was when a new file would replace it, and is replaced once
    // free.
    put(layout, {"old"});
    put(temporary, {"new"});
    const auto hold = [&](DWORD share) {
        return ::CreateFileW(W(layout), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE holder = hold(0);
    EXPECT_EQ(FailureOf([&] { runtime.OpenForOutput(layout); }), "70 " + layoutText);
    EXPECT_EQ(FailureOf([&] { Read(runtime, layout); }), "70 " + layoutText);
    ::CloseHandle(holder);
    holder = hold(FILE_SHARE_READ);
    EXPECT_EQ(FailureOf([&] { runtime.ReplaceFile(temporary, layout); }), "70 " + layoutText);
    ::CloseHandle(holder);
    EXPECT_EQ(Read(runtime, layout), "old\r\n");
    runtime.ReplaceFile(temporary, layout);
    EXPECT_EQ(Read(runtime, layout), "new\r\n");
    // The folder without a separator at its end, the name without its extension.
    wchar_t module[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameW(nullptr, module, MAX_PATH), 0u);
    EXPECT_EQ(U16(module), runtime.AppPath() + u"\\" + runtime.AppExeName() + u".exe");
    RemoveTree(U16(folder));
}

} // namespace
} // namespace pindrel
