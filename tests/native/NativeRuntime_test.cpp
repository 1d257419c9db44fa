// The real Runtime (under Wine in the cross build): text files and their failures, the run-time
// error numbers naming the file, and the executable's location. (A replaced file that is missing
// and the temporary file's removal are driven through the real pindrel.exe by the end-to-end
// tests.)
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
std::string Read(NativeRuntime& runtime, const std::string& path) {
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
    }
    return "no failure";
}

TEST(NativeRuntime, WritesCrLfLinesAndFailsWithTheRunTimeNumberNamingTheFile) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "pindrel-native";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    NativeRuntime runtime;
    const std::string layout = (folder / "layout.txt").string(), temporary = layout + ".tmp";
    const auto put = [&](const std::string& path, const std::initializer_list<std::string> lines) {
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
    EXPECT_EQ(FailureOf([&] { runtime.WriteLine(input, "x"); }), "54 " + layout);
    runtime.CloseFile(input);

    const std::string missing = (folder / "missing.txt").string();
    const std::string inMissingFolder = (folder / "none\\layout.txt").string();
    EXPECT_EQ(FailureOf([&] { Read(runtime, missing); }), "53 " + missing);
    EXPECT_EQ(FailureOf([&] { runtime.OpenForOutput(inMissingFolder); }), "76 " + inMissingFolder);
    EXPECT_EQ(FailureOf([&] { Read(runtime, inMissingFolder); }), "76 " + inMissingFolder);

    // A file another program holds open without sharing can be neither written nor read; a
    // target held open stays as it was when a new file would replace it, and is replaced once
    // free.
    put(layout, {"old"});
    put(temporary, {"new"});
    const auto hold = [&](DWORD share) {
        return ::CreateFileA(layout.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE holder = hold(0);
    EXPECT_EQ(FailureOf([&] { runtime.OpenForOutput(layout); }), "70 " + layout);
    EXPECT_EQ(FailureOf([&] { Read(runtime, layout); }), "70 " + layout);
    ::CloseHandle(holder);
    holder = hold(FILE_SHARE_READ);
    EXPECT_EQ(FailureOf([&] { runtime.ReplaceFile(temporary, layout); }), "70 " + layout);
    ::CloseHandle(holder);
    EXPECT_EQ(Read(runtime, layout), "old\r\n");
    runtime.ReplaceFile(temporary, layout);
    EXPECT_EQ(Read(runtime, layout), "new\r\n");
    // The folder without a separator at its end, the name without its extension.
    char module[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameA(nullptr, module, MAX_PATH), 0u);
    EXPECT_EQ(module, runtime.AppPath() + "\\" + runtime.AppExeName() + ".exe");
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace pindrel
