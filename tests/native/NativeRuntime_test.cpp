// The real Runtime on Windows (run under Wine in the cross build): text files, their failures and
// the executable's location.
#include "platform/native/NativeRuntime.h"

#include <gtest/gtest.h>

#include <string>

#include <windows.h>
#undef ReplaceFile

namespace pindrel {
namespace {

class NativeRuntimeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char temp[MAX_PATH] = {};
        ASSERT_GT(::GetTempPathA(MAX_PATH, temp), 0u);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::string(temp) + "pindrel-native-" + info->name();
        Clean();
        ASSERT_TRUE(::CreateDirectoryA(folder_.c_str(), nullptr)) << folder_;
    }
    void TearDown() override { Clean(); }

    std::string Path(const std::string& name) const { return folder_ + "\\" + name; }

    // Writes a file directly, without the runtime.
    void Put(const std::string& name, const std::string& bytes) {
        HANDLE file = ::CreateFileA(Path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        ::DWORD written = 0;
        ::WriteFile(file, bytes.data(), static_cast<::DWORD>(bytes.size()), &written, nullptr);
        ::CloseHandle(file);
    }

    // Runs `action` and returns the failure it throws.
    template <typename Action> Failure FailureOf(Action action) {
        try {
            action();
        } catch (const Failure& failure) {
            return failure;
        }
        ADD_FAILURE() << "no failure was thrown";
        return Failure(0, "none");
    }

    NativeRuntime runtime;

  private:
    void Clean() {
        WIN32_FIND_DATAA found{};
        HANDLE search = ::FindFirstFileA((folder_ + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = found.cFileName;
                if (name != "." && name != "..") {
                    ::SetFileAttributesA(Path(name).c_str(), FILE_ATTRIBUTE_NORMAL);
                    ::DeleteFileA(Path(name).c_str());
                }
            } while (::FindNextFileA(search, &found));
            ::FindClose(search);
        }
        ::RemoveDirectoryA(folder_.c_str());
    }

    std::string folder_;
};

TEST_F(NativeRuntimeTest, WritesLinesWithCrLfAndReadsThemBackWhole) {
    Put("layout.txt", "old content that must go away entirely");
    const int file = runtime.OpenForOutput(Path("layout.txt"));
    runtime.WriteLine(file, "10,20,My Computer");
    runtime.WriteLine(file, "");
    runtime.WriteLine(file, "-5,7,caf\xE9");
    runtime.CloseFile(file);
    EXPECT_EQ(runtime.ReadWholeFile(Path("layout.txt")),
              "10,20,My Computer\r\n\r\n-5,7,caf\xE9\r\n");

    // More than one block of output, and an empty file.
    std::string expected;
    const int big = runtime.OpenForOutput(Path("big.txt"));
    for (int i = 0; i < 20000; ++i) {
        const std::string line =
            std::to_string(i) + "," + std::to_string(-i) + ",Icon " + std::to_string(i);
        runtime.WriteLine(big, line);
        expected += line + "\r\n";
    }
    runtime.CloseFile(big);
    EXPECT_EQ(runtime.ReadWholeFile(Path("big.txt")), expected);

    runtime.CloseFile(runtime.OpenForOutput(Path("empty.txt")));
    EXPECT_EQ(runtime.ReadWholeFile(Path("empty.txt")), "");
}

TEST_F(NativeRuntimeTest, FileNumbersAreTheLowestFreeAndUnknownOnesFail) {
    const int first = runtime.OpenForOutput(Path("a.txt"));
    const int second = runtime.OpenForOutput(Path("b.txt"));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    runtime.CloseFile(first);
    EXPECT_EQ(runtime.OpenForOutput(Path("c.txt")), 1);
    runtime.CloseFile(1);
    runtime.CloseFile(second);

    EXPECT_EQ(FailureOf([&] { runtime.WriteLine(second, "x"); }).number(), errors::kBadFileName);
    EXPECT_EQ(FailureOf([&] { runtime.CloseFile(7); }).number(), errors::kBadFileName);
}

TEST_F(NativeRuntimeTest, FailuresCarryTheRunTimeNumberAndNameTheFile) {
    const Failure missing = FailureOf([&] { runtime.ReadWholeFile(Path("missing.txt")); });
    EXPECT_EQ(missing.number(), errors::kFileNotFound);
    EXPECT_EQ(missing.description(), "File not found");
    EXPECT_EQ(missing.subject(), Path("missing.txt"));

    const std::string inMissingFolder = Path("no such folder\\layout.txt");
    const Failure noFolder = FailureOf([&] { runtime.OpenForOutput(inMissingFolder); });
    EXPECT_EQ(noFolder.number(), errors::kPathNotFound);
    EXPECT_EQ(noFolder.subject(), inMissingFolder);
    EXPECT_EQ(FailureOf([&] { runtime.ReadWholeFile(inMissingFolder); }).number(),
              errors::kPathNotFound);

    // A file another program holds open without sharing cannot be written or read.
    Put("locked.txt", "keep");
    HANDLE holder = ::CreateFileA(Path("locked.txt").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const Failure locked = FailureOf([&] { runtime.OpenForOutput(Path("locked.txt")); });
    EXPECT_EQ(locked.number(), errors::kPermissionDenied);
    EXPECT_EQ(locked.subject(), Path("locked.txt"));
    EXPECT_EQ(FailureOf([&] { runtime.ReadWholeFile(Path("locked.txt")); }).number(),
              errors::kPermissionDenied);
    ::CloseHandle(holder);
    EXPECT_EQ(runtime.ReadWholeFile(Path("locked.txt")), "keep");
}

TEST_F(NativeRuntimeTest, ReplaceFileSwapsInTheNewFileOrLeavesTheOldOneWhole) {
    Put("layout.txt", "old\r\n");
    Put("layout.txt.tmp", "new\r\n");
    runtime.ReplaceFile(Path("layout.txt.tmp"), Path("layout.txt"));
    EXPECT_EQ(runtime.ReadWholeFile(Path("layout.txt")), "new\r\n");
    EXPECT_EQ(::GetFileAttributesA(Path("layout.txt.tmp").c_str()), INVALID_FILE_ATTRIBUTES);

    // A target that does not exist yet is simply created.
    Put("fresh.tmp", "fresh\r\n");
    runtime.ReplaceFile(Path("fresh.tmp"), Path("fresh.txt"));
    EXPECT_EQ(runtime.ReadWholeFile(Path("fresh.txt")), "fresh\r\n");

    // A target held open by another program stays as it was, and the failure names it.
    Put("layout.txt.tmp", "newer\r\n");
    HANDLE holder = ::CreateFileA(Path("layout.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const Failure failure =
        FailureOf([&] { runtime.ReplaceFile(Path("layout.txt.tmp"), Path("layout.txt")); });
    ::CloseHandle(holder);
    EXPECT_EQ(failure.number(), errors::kPermissionDenied);
    EXPECT_EQ(failure.subject(), Path("layout.txt"));
    EXPECT_EQ(runtime.ReadWholeFile(Path("layout.txt")), "new\r\n");

    runtime.DeleteFileQuietly(Path("layout.txt.tmp"));
    EXPECT_EQ(::GetFileAttributesA(Path("layout.txt.tmp").c_str()), INVALID_FILE_ATTRIBUTES);
    runtime.DeleteFileQuietly(Path("layout.txt.tmp")); // already gone: nothing happens
}

TEST(NativeRuntime, ExecutableLocation) {
    NativeRuntime runtime;
    char module[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameA(nullptr, module, MAX_PATH), 0u);
    const std::string path = module;

    const std::string folder = runtime.AppPath();
    const std::string name = runtime.AppExeName();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '\\');
    EXPECT_EQ(path, folder + "\\" + name + ".exe");
    EXPECT_EQ(name.find('.'), std::string::npos);
}

} // namespace
} // namespace pindrel
