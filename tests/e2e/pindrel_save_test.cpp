// pindrel.exe "-s" against the stand-in desktop: the layout file's name and bytes, the desktop's
// auto-arrange afterwards, and what a save that cannot find the desktop or cannot write its file
// leaves behind.
#include "PindrelRunTest.h"

#include <utility>

namespace e2e {
namespace {

class PindrelSaveTest : public PindrelRunTest {};

// A 45-character name; the list view hands out only its first 40 characters.
const std::string kLong45 = "Quarterly figures for the northern region v2.";
const std::string kLong45First40 = "Quarterly figures for the northern regio";
// Exactly 40 characters: it comes back whole.
const std::string kExactly40 = "0123456789abcdefghijABCDEFGHIJ0123456789";

bool HasTemporaryFile(const fs::path& folder) {
    for (const std::string& name : FilesIn(folder)) {
        if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".tmp") == 0)
            return true;
    }
    return false;
}

// The Linux immutable attribute: the only way to make a file that root (the user the tests run
// as) cannot replace. Wine takes a file's read-only attribute from its Unix write bits and leaves
// the refusal to the Unix calls, which root passes, so under root a Windows read-only file is
// replaced all the same; an immutable one is refused, and Wine reports ERROR_ACCESS_DENIED as
// Windows does for a read-only file. The attribute is cleared again when the guard ends, so the
// test's folder can be removed.
class Immutable {
  public:
    explicit Immutable(fs::path file) : file_(std::move(file)) {
        fs::permissions(file_,
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
        set_ = RunProcess({"chattr", "+i", file_.string()}, file_.parent_path()).status == 0;
    }
    ~Immutable() { Clear(); }
    Immutable(const Immutable&) = delete;
    Immutable& operator=(const Immutable&) = delete;

    bool set() const { return set_; }
    void Clear() {
        if (set_)
            RunProcess({"chattr", "-i", file_.string()}, file_.parent_path());
        set_ = false;
        fs::permissions(file_, fs::perms::owner_write, fs::perm_options::add);
    }

  private:
    fs::path file_;
    bool set_ = false;
};

TEST_F(PindrelSaveTest, WritesEveryItemAsOneLineInIndexOrder) {
    ASSERT_EQ(sysInfo().ansiCodePage, 1252u)
        << "the expected bytes of the non-ASCII name are those of code page 1252";
    Scenario scenario;
    scenario.autoArrange = true;
    scenario.icons = {
        {120, 45, "Work files"},
        {-75, 20, "Notes"},
        {333, -23, "  padded name  "},
        {-8, 300, "a, b,c "},
        {5, 5, ""},
        {640, 412, "   "},
        {517, 96,
         "Caf\xC3\xA9 \xC3\x91"
         "and\xC3\xBA \xE2\x82\xAC"
         "5"},
        {999, 701, kLong45},
        {48, 160, kExactly40},
        {77, 431, "Work files"},
    };
    StartDesktop(scenario);
    const fs::path exe = CopyPindrel("pindrel.exe", "app");

    ExactRun run = Pindrel(exe, "-s");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    // Exactly one new file, named after this session's user, computer and screen.
    ASSERT_EQ(FilesIn(exe.parent_path()), Sorted({LayoutFileName(), "pindrel.exe"}));
    const std::string expected = "120,45,Work files\r\n"
                                 "-75,20,Notes\r\n"
                                 "333,-23,padded name\r\n"
                                 "-8,300,a, b,c\r\n"
                                 "5,5,\r\n"
                                 "640,412,\r\n"
                                 "517,96,Caf\xE9 \xD1"
                                 "and\xFA \x80"
                                 "5\r\n"
                                 "999,701," +
                                 kLong45First40 + "\r\n" + "48,160," + kExactly40 + "\r\n" +
                                 "77,431,Work files\r\n";
    EXPECT_EQ(ReadFile(LayoutOf(exe)), expected);

    // The save switched auto-arrange off and left it so; it moved nothing.
    ListViewState after = Dump().desktop();
    EXPECT_FALSE(after.autoArrange);
    EXPECT_EQ(after.moves, 0);
    EXPECT_EQ(after.Icons(), scenario.icons);

    // A second run finds auto-arrange off and leaves it off, and replaces the layout file with
    // the positions of the moment.
    ASSERT_EQ(HostCtl({"move", "1", "-2", "-3"}).status, 0);
    run = Pindrel(exe, "-s");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    std::string moved = expected;
    moved.replace(moved.find("-75,20,Notes"), 12, "-2,-3,Notes");
    EXPECT_EQ(ReadFile(LayoutOf(exe)), moved);
    EXPECT_FALSE(Dump().desktop().autoArrange);
    EXPECT_EQ(FilesIn(exe.parent_path()), Sorted({LayoutFileName(), "pindrel.exe"}));
}

TEST_F(PindrelSaveTest, AnEmptyDesktopGivesAnEmptyFile) {
    Scenario scenario;
    scenario.autoArrange = true;
    StartDesktop(scenario);
    const fs::path exe = CopyPindrel("pindrel.exe", "app");
    WriteFile(LayoutOf(exe), "1,2,Old icon\r\n");

    ExactRun run = Pindrel(exe, "-s");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    ASSERT_TRUE(fs::exists(LayoutOf(exe)));
    EXPECT_EQ(fs::file_size(LayoutOf(exe)), 0u);
    // Auto-arrange goes off before the items are counted, so even with none.
    EXPECT_FALSE(Dump().desktop().autoArrange);
    EXPECT_FALSE(HasTemporaryFile(exe.parent_path()));
}

TEST_F(PindrelSaveTest, WithoutADesktopListViewNothingIsWrittenAndTheStatusIs1) {
    // A shell view without a list view.
    Scenario scenario;
    scenario.shape = "nolistview";
    StartDesktop(scenario);
    const fs::path exe = CopyPindrel("pindrel.exe", "app");
    const std::string old = "10,20,Kept\r\n-5,7,a,b\r\n30,40,\r\n";
    WriteFile(LayoutOf(exe), old);

    ExactRun run = Pindrel(exe, "-s");
    EXPECT_EQ(run.exitCode, 1u) << run.err;
    EXPECT_EQ(ReadFile(LayoutOf(exe)), old);
    EXPECT_EQ(FilesIn(exe.parent_path()), Sorted({LayoutFileName(), "pindrel.exe"}));
    // A restore has nothing to place either, and says so the same way.
    run = Pindrel(exe, "-r");
    EXPECT_EQ(run.exitCode, 1u) << run.err;
    EXPECT_EQ(ReadFile(LayoutOf(exe)), old);
    EXPECT_EQ(FilesIn(exe.parent_path()), Sorted({LayoutFileName(), "pindrel.exe"}));

    // No desktop at all.
    EXPECT_EQ(StopDesktop(), 0);
    run = Pindrel(exe, "-s");
    EXPECT_EQ(run.exitCode, 1u) << run.err;
    EXPECT_EQ(ReadFile(LayoutOf(exe)), old);

    // Nor is a missing layout file created.
    fs::remove(LayoutOf(exe));
    run = Pindrel(exe, "-s");
    EXPECT_EQ(run.exitCode, 1u) << run.err;
    EXPECT_EQ(FilesIn(exe.parent_path()), (std::vector<std::string>{"pindrel.exe"}));
}

TEST_F(PindrelSaveTest, FindsTheListViewAsTheShellsDesktop) {
    // Without "Progman" the lookup goes on among the top-level windows and finds the shell view.
    Scenario noProgman;
    noProgman.shape = "noprogman";
    noProgman.icons = {{11, 12, "First"}, {13, 14, "Second"}};
    StartDesktop(noProgman);
    const fs::path exe = CopyPindrel("pindrel.exe", "app");
    ExactRun run = Pindrel(exe, "-s");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(ReadFile(LayoutOf(exe)), "11,12,First\r\n13,14,Second\r\n");
    EXPECT_EQ(StopDesktop(), 0);

    // With two list views in the shell view, the first is the desktop; the other is not saved.
    Scenario two;
    two.shape = "twolistviews";
    two.icons = {{21, 22, "Desktop item"}};
    two.second = {{31, 32, "Other one"}, {33, 34, "Other two"}};
    StartDesktop(two);
    run = Pindrel(exe, "-s");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(ReadFile(LayoutOf(exe)), "21,22,Desktop item\r\n");
}

TEST_F(PindrelSaveTest, HeldOpenLayoutFailsWithStatus2AndStaysIntact) {
    Scenario scenario;
    scenario.icons = {{100, 200, "Alpha"}, {300, 400, "Beta"}};
    StartDesktop(scenario);
    const fs::path exe = CopyPindrel("pindrel.exe", "app");
    const std::string old = "1,2,Alpha\r\n3,4,Beta\r\n";
    WriteFile(LayoutOf(exe), old);

    ExactRun run = PindrelWhileHeld(LayoutOf(exe), exe, "-s");
    EXPECT_EQ(run.exitCode, 2u) << run.out << run.err;
    EXPECT_EQ(ReadFile(LayoutOf(exe)), old);
    EXPECT_EQ(FilesIn(exe.parent_path()), Sorted({LayoutFileName(), "pindrel.exe"}));

    // Once the other process lets go, the next save replaces the file.
    run = Pindrel(exe, "-s");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(ReadFile(LayoutOf(exe)), "100,200,Alpha\r\n300,400,Beta\r\n");
    EXPECT_FALSE(HasTemporaryFile(exe.parent_path()));
}

TEST_F(PindrelSaveTest, ReadOnlyLayoutFailsWithStatus2AndStaysIntact) {
    Scenario scenario;
    scenario.icons = {{100, 200, "Alpha"}, {300, 400, "Beta"}};
    StartDesktop(scenario);
    const fs::path exe = CopyPindrel("pindrel.exe", "app");
    const std::string old = "1,2,Alpha\r\n3,4,Beta\r\n";
    WriteFile(LayoutOf(exe), old);

    Immutable readOnly(LayoutOf(exe));
    if (!readOnly.set())
        GTEST_SKIP() << "chattr +i is refused here: no file that root cannot replace";
    ExactRun run = Pindrel(exe, "-s");
    EXPECT_EQ(run.exitCode, 2u) << run.err;
    readOnly.Clear();
    EXPECT_EQ(ReadFile(LayoutOf(exe)), old);
    EXPECT_EQ(FilesIn(exe.parent_path()), Sorted({LayoutFileName(), "pindrel.exe"}));
}

} // namespace
} // namespace e2e
