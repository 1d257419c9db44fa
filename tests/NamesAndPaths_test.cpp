// What only a real Windows shows of names and paths: user, computer and folder names that the
// ANSI code page cannot write, paths past MAX_PATH, and folders on shares.
#include "SimFixture.h"

#include "WindowsPaths.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

using namespace pindrel;
using namespace pindrel::testing;

class NamesAndPaths : public FormTest {
  protected:
    // A save, the icons scrambled, a restore: every icon back and the layout as `layout` says.
    void SaveAndRestore(const std::string& layoutPath, const std::string& layout) {
        Start("-s");
        ASSERT_EQ(form->exitStatus(), ExitStatus::Ok);
        EXPECT_EQ(session->FileBytes(layoutPath), layout);
        const std::vector<Point> saved = Positions(listView);
        for (sim::SimItem& item : session->Items(listView))
            item.position = {item.position.y, item.position.x};
        Start("-r");
        EXPECT_EQ(form->exitStatus(), ExitStatus::Ok);
        EXPECT_EQ(Positions(listView), saved);
        // No temporary file is left beside the layout.
        for (const std::string& name :
             session->ListFolder(layoutPath.substr(0, layoutPath.rfind('\\'))))
            EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
    }

    Hwnd listView{};
};

// A name the code page can write gives today's file name and INI section byte for byte; one it
// cannot write is kept whole in the file name, and its section turns the settings file into
// UTF-16, keeping what the file held. Layout files stay ANSI whatever the names.
TEST_F(NamesAndPaths, EveryNameWindowsCanHoldNamesItsFilesAndSection) {
    const struct {
        const char *user, *computer, *folder;
        const char* section; // the section's bytes in an ANSI file; nullptr: the file is UTF-16
    } scenes[] = {
        {"USER1", "DESK1", "C:\\Tools", "[USER1@DESK1]"},
        {"Jos\xC3\xA9 M\xC3\xBCller", "DESK1", "C:\\Users\\Jos\xC3\xA9",
         "[Jos\xE9 M\xFCller@DESK1]"},
        {"\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD",
         "\xCE\xA3\xCE\xA4\xCE\x91\xCE\x98\xCE\x9C\xCE\x9F\xCE\xA3",
         "C:\\Users\\\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\\\xE6\x97\xA5\xE6\x9C\xAC", nullptr},
    };
    for (const auto& scene : scenes) {
        SCOPED_TRACE(scene.user);
        NewSession();
        session->SetUserName(scene.user);
        session->SetComputerName(scene.computer);
        session->SetExecutable(std::string(scene.folder) + "\\Pindrel.exe");
        listView =
            Desktop({{"Work", {40, 50}}, {"\xE6\x97\xA5\xE6\x9C\xAC notes", {90, 60}}}).listView;
        const std::string key = std::string(scene.user) + "@" + scene.computer;
        const std::string ini = std::string(scene.folder) + "\\Pindrel.ini";
        session->WriteFileBytes(ini, "[Default]\r\nDeltaY=7\r\n");
        // The layout's names in the code page: what it lacks becomes "?".
        SaveAndRestore(std::string(scene.folder) + "\\" + key + "@1024x768.txt",
                       "40,50,Work\r\n90,60,?? notes\r\n");

        // Set unique stores the fields under the profile key; a restore reads them back from
        // there, and the Default section kept its value.
        Start();
        controls->SetText(TextBox::StartX, "900");
        form->ButtonClicked(Button::SetUnique);
        EXPECT_TRUE(controls->errors.empty());
        const std::string bytes = session->FileBytes(ini);
        if (scene.section) {
            EXPECT_EQ(bytes.substr(0, bytes.find("\r\nStartX")),
                      std::string("[Default]\r\nDeltaY=7\r\n") + scene.section);
        } else {
            EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << "not UTF-16";
            const std::u16string section = u"[" + sim::Utf8ToUtf16(key) + u"]";
            EXPECT_NE(bytes.find(std::string(reinterpret_cast<const char*>(section.data()),
                                             section.size() * 2)),
                      std::string::npos);
        }
        session->AddItem(listView, "New", {0, 0});
        Start("-r");
        EXPECT_EQ(Positions(listView).back(), (Point{900, 0})) << "StartX, and DeltaY=7 unused";
        Start();
        EXPECT_EQ(controls->GetText(TextBox::DeltaY), "7");
        ExpectNothingLeaked();
    }
}

// An ANSI settings file cannot hold a name outside the code page: a section that turned into the
// same "?"s (another user's, written by an older Pindrel) is never taken for this user's.
TEST_F(NamesAndPaths, ANameOutsideTheCodePageIsNotTheSectionOfItsQuestionMarks) {
    session->SetUserName("\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD");
    session->WriteFileBytes(kIni, "[????@DESK1]\r\nStartX=5\r\n[IconType]\r\n????@DESK1=List\r\n");
    Start();
    EXPECT_EQ(controls->GetText(TextBox::StartX), "0");
    EXPECT_EQ(controls->ComboListIndex(), -1);
}

// The layout and the temporary file past MAX_PATH go through the "\\?\" form; the settings file,
// which the profile functions cannot reach there, fails naming itself and the limit, and nothing
// is written. The temporary file's name is longer than the layout's: a layout of 258 units, whose
// temporary file needs the form, is saved too. On a share the form is "\\?\UNC\...".
TEST_F(NamesAndPaths, LayoutsPastMaxPathAreSavedAndRestored) {
    const std::string tail = "\\USER1@DESK1@1024x768.txt";
    for (const std::string root : {"C:", "\\\\server\\share"}) {
        for (const std::size_t length : {std::size_t{258}, std::size_t{300}}) {
            SCOPED_TRACE(root + ", " + std::to_string(length));
            NewSession();
            std::string folder = root;
            while (folder.size() + tail.size() < length)
                folder +=
                    "\\" +
                    std::string(std::min<std::size_t>(40, length - folder.size() - tail.size() - 1),
                                'd');
            ASSERT_EQ((folder + tail).size(), length);
            session->SetExecutable(folder + "\\Pindrel.exe");
            listView = Desktop({{"One", {1, 2}}, {"Two", {3, 4}}}).listView;
            SaveAndRestore(folder + tail, "1,2,One\r\n3,4,Two\r\n");

            const std::string ini = folder + "\\Pindrel.ini";
            Start();
            controls->SetText(TextBox::StartX, "900");
            form->ButtonClicked(Button::SetUnique);
            if (ini.size() <= 259) {
                EXPECT_TRUE(controls->errors.empty());
                EXPECT_TRUE(session->FileExists(ini));
            } else {
                ASSERT_EQ(controls->errors.size(), 1u);
                EXPECT_EQ(controls->errors[0],
                          "The settings could not be saved: its path is " +
                              std::to_string(ini.size()) +
                              " characters long, and the settings functions of Windows take at "
                              "most 259: " +
                              ini);
                EXPECT_FALSE(session->FileExists(ini));
            }
            ExpectNothingLeaked();
        }
    }
}

// The form the file functions take: plain below MAX_PATH (the doubled separator after a drive's
// root included, which Windows reads as one), "\\?\" above it with every separator single; and
// the path as messages show it, without the prefix.
TEST(FileSystemPath, PrefixOnlyWhereTheLengthNeedsIt) {
    const std::u16string d(300, u'd');
    const std::string d8(300, 'd');
    const std::tuple<std::u16string, std::u16string, std::string> rows[] = {
        {u"C:\\\\x.txt", u"C:\\\\x.txt", "C:\\\\x.txt"},
        {u"C:\\\\" + d, u"\\\\?\\C:\\" + d, "C:\\" + d8},
        {u"C:\\a//b\\" + d, u"\\\\?\\C:\\a\\b\\" + d, "C:\\a\\b\\" + d8},
        {u"\\\\server\\share\\" + d, u"\\\\?\\UNC\\server\\share\\" + d,
         "\\\\server\\share\\" + d8},
        {u"\\\\?\\C:\\" + d, u"\\\\?\\C:\\" + d, "C:\\" + d8},
    };
    for (const auto& [path, form, text] : rows) {
        EXPECT_EQ(FileSystemPath(path), form);
        EXPECT_EQ(PathText(form), text);
    }
}
