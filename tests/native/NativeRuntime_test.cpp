// The real Runtime (under Wine in the cross build): text files, their failures and the
// executable's location.
#include "platform/native/NativeRuntime.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <windows.h>
#undef ReplaceFile

namespace pindrel {
namespace {

class NativeRuntimeTest : public ::testing::Test {
  protected:
    NativeRuntimeTest() {
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    ~NativeRuntimeTest() override { std::filesystem::remove_all(folder_); }
    std::string Path(const std::string& name) const { return (folder_ / name).string(); }
    void Put(const std::string& name, const std::string& text) {
        const int file = runtime.OpenForOutput(Path(name));
        runtime.WriteLine(file, text);
        runtime.CloseFile(file);
    }
    // A whole file through the input functions, in blocks of 1000 bytes.
    std::string Read(const std::string& path) {
        const int file = runtime.OpenForInput(path);
        std::string text;
        char block[1000];
        while (const std::size_t n = runtime.ReadBlock(file, block, sizeof block))
            text.append(block, n);
        runtime.CloseFile(file);
        return text;
    }
    // Another program holding the file open, sharing only what `share` allows.
    HANDLE Hold(const std::string& name, DWORD share) {
        return ::CreateFileA(Path(name).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
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

    NativeRuntime runtime;
    const std::filesystem::path folder_ = std::filesystem::temp_directory_path() / "pindrel-native";
};

TEST_F(NativeRuntimeTest, WritesLinesWithCrLfAndReadsThemBackInBlocks) {
    Put("layout.txt", "old content that must go away entirely");
    int file = runtime.OpenForOutput(Path("layout.txt"));
    for (const char* line : {"10,20,My Computer", "", "-5,7,caf\xE9"})
        runtime.WriteLine(file, line);
    runtime.CloseFile(file);
    EXPECT_EQ(Read(Path("layout.txt")), "10,20,My Computer\r\n\r\n-5,7,caf\xE9\r\n");
    // More than one block of output, and an empty file.
    const std::string block(70000, 'b');
    file = runtime.OpenForOutput(Path("big.txt"));
    for (const std::string& line : {block, std::string(), block, block})
        runtime.WriteLine(file, line);
    runtime.CloseFile(file);
    EXPECT_EQ(Read(Path("big.txt")), block + "\r\n\r\n" + block + "\r\n" + block + "\r\n");
    runtime.CloseFile(runtime.OpenForOutput(Path("empty.txt")));
    EXPECT_EQ(Read(Path("empty.txt")), "");

    // A closed or unknown file number is refused, and so is a line for a file opened for input.
    const std::string closed = "52 file number " + std::to_string(file);
    EXPECT_EQ(FailureOf([&] { runtime.WriteLine(file, "x"); }), closed);
    EXPECT_EQ(FailureOf([&] { runtime.CloseFile(file); }), closed);
    file = runtime.OpenForInput(Path("empty.txt"));
    EXPECT_EQ(FailureOf([&] { runtime.WriteLine(file, "x"); }), "54 " + Path("empty.txt"));
    runtime.CloseFile(file);
}

TEST_F(NativeRuntimeTest, FailuresCarryTheRunTimeNumberAndNameTheFile) {
    const std::string missing = Path("missing.txt"), inMissingFolder = Path("none\\layout.txt");
    EXPECT_EQ(FailureOf([&] { Read(missing); }), "53 " + missing);
    EXPECT_EQ(FailureOf([&] { runtime.OpenForOutput(inMissingFolder); }), "76 " + inMissingFolder);
    EXPECT_EQ(FailureOf([&] { Read(inMissingFolder); }), "76 " + inMissingFolder);

    // A file another program holds open without sharing can be neither written nor read; a
    // target held open stays as it was when a new file would replace it.
    const std::string layout = Path("layout.txt"), held = "70 " + layout;
    Put("layout.txt", "old");
    Put("layout.txt.tmp", "new");
    HANDLE holder = Hold("layout.txt", 0);
    EXPECT_EQ(FailureOf([&] { runtime.OpenForOutput(layout); }), held);
    EXPECT_EQ(FailureOf([&] { Read(layout); }), held);
    ::CloseHandle(holder);
    holder = Hold("layout.txt", FILE_SHARE_READ);
    EXPECT_EQ(FailureOf([&] { runtime.ReplaceFile(layout + ".tmp", layout); }), held);
    ::CloseHandle(holder);
    EXPECT_EQ(Read(layout), "old\r\n");

    // Once free the new file takes the target's place; a target that is missing is created.
    runtime.ReplaceFile(layout + ".tmp", layout);
    EXPECT_EQ(Read(layout), "new\r\n");
    EXPECT_FALSE(std::filesystem::exists(layout + ".tmp"));
    Put("fresh.tmp", "fresh");
    runtime.ReplaceFile(Path("fresh.tmp"), Path("fresh.txt"));
    EXPECT_EQ(Read(Path("fresh.txt")), "fresh\r\n");
    runtime.DeleteFileQuietly(Path("fresh.txt"));
    EXPECT_FALSE(std::filesystem::exists(Path("fresh.txt")));
}

TEST(NativeRuntime, ExecutableLocation) {
    NativeRuntime runtime;
    char module[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameA(nullptr, module, MAX_PATH), 0u);
    EXPECT_EQ(module, runtime.AppPath() + "\\" + runtime.AppExeName() + ".exe");
    EXPECT_NE(runtime.AppPath().back(), '\\');
    EXPECT_EQ(runtime.AppExeName().find('.'), std::string::npos);
}

} // namespace
} // namespace pindrel
