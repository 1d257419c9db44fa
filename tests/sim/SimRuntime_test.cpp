// The simulated run-time: screen, executable location, and files whose failures name the file.
#include "platform/sim/HeadlessControls.h"
#include "platform/sim/SimSession.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <functional>

namespace pindrel::sim {
namespace {

class SimRuntimeTest : public ::testing::Test {
  protected:
    // Runs `step` and gives the failure it throws (number 0 when it throws none).
    static Failure FailureOf(const std::function<void()>& step) {
        try {
            step();
        } catch (const Failure& failure) {
            return failure;
        }
        return Failure(0, "none");
    }
    static void ExpectFailure(int number, const std::string& path,
                              const std::function<void()>& step) {
        const Failure f = FailureOf(step);
        EXPECT_EQ(f.number(), number) << f.what();
        EXPECT_EQ(f.subject(), path);
        EXPECT_NE(std::string(f.what()).find(path), std::string::npos);
    }

    TempFolder temp;
    SimSession s{temp.path()};
};

TEST_F(SimRuntimeTest, ScreenAndExecutableAsWindowsReportsThem) {
    EXPECT_EQ(s.ScreenWidthTwips(), 15360.0f);
    EXPECT_EQ(s.ScreenHeightTwips(), 11520.0f);
    EXPECT_EQ(s.TwipsPerPixelX(), 15.0f);
    EXPECT_EQ(s.AppPath(), "C:\\Tools");
    EXPECT_EQ(s.AppExeName(), "Pindrel");
    EXPECT_EQ(s.Command(), "");
    s.SetScreenPixels(3840, 2160, 7.5f);
    EXPECT_EQ(s.ScreenWidthTwips() / s.TwipsPerPixelX(), 3840.0f);
    s.SetExecutable("D:\\pin.drel.exe");
    EXPECT_EQ(s.AppPath(), "D:\\");
    EXPECT_EQ(s.AppExeName(), "pin.drel");
    EXPECT_TRUE(std::filesystem::is_directory(s.HostPath("D:\\")));
    s.SetCommandLine(" -s  x");
    EXPECT_EQ(s.Command(), " -s  x");
}

TEST_F(SimRuntimeTest, PathsMapToTheHostFolderLikeWindowsNamesThem) {
    EXPECT_EQ(s.HostPath("C:\\Tools\\a.txt"), temp.path() / "c" / "Tools" / "a.txt");
    EXPECT_EQ(s.HostPath("C:\\\\Tools\\\\a.txt"), s.HostPath("C:\\Tools\\a.txt"));
    s.WriteFileBytes("C:\\Tools\\Layout.TXT", "x");
    EXPECT_EQ(s.HostPath("c:\\TOOLS\\layout.txt"), temp.path() / "c" / "Tools" / "Layout.TXT");
    EXPECT_EQ(s.ReadWholeFile("c:\\tools\\LAYOUT.txt"), "x");
    for (const std::string bad : {"Tools\\a.txt", "C:\\a?.txt", "C:\\a\\b|c", ""})
        ExpectFailure(errors::kBadFileName, bad, [&] { s.HostPath(bad); });
}

TEST_F(SimRuntimeTest, OutputFilesAreWrittenLineByLineAndCounted) {
    const std::string path = "C:\\Tools\\out.txt";
    s.WriteFileBytes(path, "old content that must go");
    const int first = s.OpenForOutput(path);
    const int second = s.OpenForOutput("C:\\Tools\\other.txt");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    EXPECT_EQ(s.OpenFiles(), 2);
    s.WriteLine(first, "10,20,Recycle Bin");
    s.WriteLine(first, "");
    s.CloseFile(first);
    s.CloseFile(second);
    EXPECT_EQ(s.OpenFiles(), 0);
    EXPECT_EQ(s.FileBytes(path), "10,20,Recycle Bin\r\n\r\n");
    EXPECT_EQ(s.ReadWholeFile("C:\\Tools\\other.txt"), "");
    EXPECT_EQ(s.OpenForOutput(path), 1) << "the lowest free number again";
    EXPECT_EQ(FailureOf([&] { s.CloseFile(7); }).number(), errors::kBadFileName);
    EXPECT_EQ(FailureOf([&] { s.WriteLine(7, "x"); }).number(), errors::kBadFileName);
    EXPECT_EQ(s.ListFolder("C:\\Tools"), (std::vector<std::string>{"other.txt", "out.txt"}));
}

TEST_F(SimRuntimeTest, FileFailuresNameTheFile) {
    const std::string missingFolder = "C:\\Nowhere\\x.txt";
    ExpectFailure(errors::kPathNotFound, missingFolder, [&] { s.OpenForOutput(missingFolder); });
    ExpectFailure(errors::kPathNotFound, "Q:\\x.txt", [&] { s.OpenForOutput("Q:\\x.txt"); });
    ExpectFailure(errors::kFileNotFound, "C:\\Tools\\none.txt",
                  [&] { s.ReadWholeFile("C:\\Tools\\none.txt"); });

    const std::string readOnly = "C:\\Tools\\ro.txt";
    s.WriteFileBytes(readOnly, "keep");
    s.SetReadOnly(readOnly, true);
    ExpectFailure(errors::kPathFileAccess, readOnly, [&] { s.OpenForOutput(readOnly); });
    EXPECT_EQ(s.ReadWholeFile(readOnly), "keep") << "read-only files still read";

    const std::string locked = "C:\\Tools\\locked.txt";
    s.WriteFileBytes(locked, "held");
    s.SetLocked(locked, true);
    ExpectFailure(errors::kPermissionDenied, locked, [&] { s.OpenForOutput(locked); });
    ExpectFailure(errors::kPermissionDenied, locked, [&] { s.ReadWholeFile(locked); });
    s.SetLocked(locked, false);
    EXPECT_EQ(s.ReadWholeFile(locked), "held");

    s.CreateFolder("C:\\Shut");
    s.SetReadOnly("C:\\Shut", true);
    ExpectFailure(errors::kPathFileAccess, "C:\\Shut\\new.txt",
                  [&] { s.OpenForOutput("C:\\Shut\\new.txt"); });
    EXPECT_FALSE(s.FileExists("C:\\Shut\\new.txt"));
    EXPECT_EQ(s.OpenFiles(), 0);
}

TEST_F(SimRuntimeTest, DiskFullStopsTheWriteThatOverflowsIt) {
    const std::string path = "C:\\Tools\\full.txt";
    s.SetDiskSpace(10);
    const int n = s.OpenForOutput(path);
    s.WriteLine(n, "12345"); // 7 bytes
    ExpectFailure(errors::kDiskFull, path, [&] { s.WriteLine(n, "abcdef"); });
    s.CloseFile(n);
    EXPECT_EQ(s.FileBytes(path), "12345\r\nabc");
    s.SetDiskSpace(-1);
    const int again = s.OpenForOutput(path);
    s.WriteLine(again, std::string(1000, 'z'));
    s.CloseFile(again);
    EXPECT_EQ(s.FileBytes(path).size(), 1002u);
}

TEST_F(SimRuntimeTest, ReplaceFileRenamesOrLeavesBothFilesAlone) {
    const std::string source = "C:\\Tools\\new.tmp";
    const std::string target = "C:\\Tools\\layout.txt";
    s.WriteFileBytes(source, "new");
    s.WriteFileBytes(target, "old");
    const auto expectUnchanged = [&] {
        EXPECT_EQ(s.FileBytes(source), "new");
        EXPECT_EQ(s.FileBytes(target), "old");
    };
    s.SetReadOnly(target, true);
    ExpectFailure(errors::kPathFileAccess, target, [&] { s.ReplaceFile(source, target); });
    expectUnchanged();
    s.SetReadOnly(target, false);
    s.SetLocked(target, true);
    ExpectFailure(errors::kPermissionDenied, target, [&] { s.ReplaceFile(source, target); });
    expectUnchanged();
    s.SetLocked(target, false);
    s.SetReadOnly("C:\\Tools", true);
    ExpectFailure(errors::kPathFileAccess, target, [&] { s.ReplaceFile(source, target); });
    expectUnchanged();
    s.SetReadOnly("C:\\Tools", false);
    ExpectFailure(errors::kFileNotFound, "C:\\Tools\\gone.tmp",
                  [&] { s.ReplaceFile("C:\\Tools\\gone.tmp", target); });

    s.ReplaceFile(source, target);
    EXPECT_FALSE(s.FileExists(source));
    EXPECT_EQ(s.FileBytes(target), "new");
}

TEST_F(SimRuntimeTest, DeleteFileQuietlyNeverThrowsAndSparesProtectedFiles) {
    s.WriteFileBytes("C:\\Tools\\a.txt", "a");
    s.WriteFileBytes("C:\\Tools\\b.txt", "b");
    s.WriteFileBytes("C:\\Tools\\c.txt", "c");
    s.SetLocked("C:\\Tools\\b.txt", true);
    s.SetReadOnly("C:\\Tools\\c.txt", true);
    for (const char* path : {"C:\\Tools\\a.txt", "C:\\Tools\\b.txt", "C:\\Tools\\c.txt",
                             "C:\\Tools\\missing.txt", "no drive", "C:\\bad|name"})
        s.DeleteFileQuietly(path);
    EXPECT_EQ(s.ListFolder("C:\\Tools"), (std::vector<std::string>{"b.txt", "c.txt"}));
}

TEST(HeadlessControlsTest, ComboSelectsExactTextOnlyAndButtonsStartEnabled) {
    HeadlessControls c;
    for (const char* name : {"Icon", "List", "Report", "Small Icon"})
        c.ComboAddItem(name);
    EXPECT_EQ(c.ComboListIndex(), -1);
    EXPECT_EQ(c.ComboItemText(-1), "");
    EXPECT_TRUE(c.ComboSelectText("Small Icon"));
    EXPECT_EQ(c.ComboListIndex(), 3);
    EXPECT_FALSE(c.ComboSelectText("list")) << "exact match only";
    EXPECT_EQ(c.ComboListIndex(), -1);
    EXPECT_EQ(c.ComboItemText(4), "");
    EXPECT_TRUE(c.IsEnabled(Button::SetUnique));
    c.SetEnabled(Button::Load, false);
    EXPECT_FALSE(c.IsEnabled(Button::Load));
    EXPECT_TRUE(c.IsEnabled(Button::Save));
    c.SetText(TextBox::DeltaY, "20");
    EXPECT_EQ(c.GetText(TextBox::DeltaY), "20");
    EXPECT_EQ(c.GetText(TextBox::DeltaX), "");
    c.ShowError("Disk full: C:\\x.txt");
    c.CloseWindow();
    EXPECT_TRUE(c.closed);
    EXPECT_EQ(c.errors, (std::vector<std::string>{"Disk full: C:\\x.txt"}));
}

} // namespace
} // namespace pindrel::sim
