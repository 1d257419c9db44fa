// Save, settings and restore, through the window's procedures on the simulated desktop.
#include "SimFixture.h"
#include "frmMain.h"
#include "modPindrel.h"
#include "platform/sim/HeadlessControls.h"

#include <gtest/gtest.h>

using namespace pindrel;
using pindrel::testing::kIni;
using pindrel::testing::kLayout;
using pindrel::testing::SimTest;

class Store : public SimTest {
  protected:
    Store() : form(*session, *session, controls) {
        for (const char* name : {"Icon", "List", "Report", "Small Icon"}) {
            controls.ComboAddItem(name);
        }
        // The desktop starts in the icon view; keeping it avoids the re-arrangement that every
        // view change brings.
        Select("Icon");
    }

    std::vector<Point> Positions(Hwnd lv) {
        std::vector<Point> points;
        for (const auto& item : session->Items(lv)) {
            points.push_back(item.position);
        }
        return points;
    }

    void Select(const std::string& view) { controls.ComboSelectText(view); }

    sim::HeadlessControls controls;
    frmMain form;
};

// ---- save ------------------------------------------------------------------------------------

TEST_F(Store, SaveWritesOneLinePerItemInIndexOrder) {
    Desktop({{"Work files", {120, 45}},
             {"  Notes  ", {-75, 20}},
             {"a,b", {0, -8}},
             {"   ", {5, 6}},
             {"Notes", {7, 8}},
             {"", {9, 10}}});
    form.cmdSave_Click();
    EXPECT_EQ(session->FileBytes(kLayout), "120,45,Work files\r\n"
                                           "-75,20,Notes\r\n"
                                           "0,-8,a,b\r\n"
                                           "5,6,\r\n"
                                           "7,8,Notes\r\n"
                                           "9,10,\r\n");
    EXPECT_TRUE(controls.IsEnabled(Button::Save));
    EXPECT_EQ(session->ListFolder("C:\\Tools"),
              (std::vector<std::string>{"USER1@DESK1@1024x768.txt"}));
    ExpectNothingLeaked();
}

TEST_F(Store, SaveSwitchesAutoArrangeOffOnceAndLeavesItOff) {
    const auto shell = Desktop({{"A", {1, 2}}}, 0x0100);
    form.cmdSave_Click();
    EXPECT_FALSE(session->AutoArrange(shell.listView));
    EXPECT_TRUE(form.state().autoArrangeFlag);
    session->ClearCalls();
    form.cmdSave_Click();
    EXPECT_EQ(session->CountMessages(win::WM_COMMAND), 0);
    EXPECT_FALSE(session->AutoArrange(shell.listView));
    EXPECT_TRUE(form.state().autoArrangeFlag);
}

TEST_F(Store, EmptyDesktopGivesAnEmptyFileAndStillSwitchesAutoArrangeOff) {
    const auto shell = Desktop({}, 0x0100);
    session->WriteFileBytes(kLayout, "1,2,Old\r\n");
    form.state().positions = {{1, 1}};
    form.cmdSave_Click();
    EXPECT_TRUE(session->FileExists(kLayout));
    EXPECT_EQ(session->FileBytes(kLayout), "");
    EXPECT_FALSE(session->AutoArrange(shell.listView));
    EXPECT_TRUE(form.state().autoArrangeFlag);
    // A capture that finds nothing keeps the table it had.
    EXPECT_EQ(form.state().positions, (std::vector<Point>{{1, 1}}));
}

TEST_F(Store, NoDesktopLeavesTheLayoutFileAloneAndSaysSo) {
    session->CreateShell(sim::ShellShape::Nothing);
    session->WriteFileBytes(kLayout, "1,2,Old\r\n");
    try {
        form.cmdSave_Click();
        FAIL() << "a save without a desktop reported success";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), errors::kObjectRequired);
        EXPECT_NE(std::string(f.what()).find("desktop"), std::string::npos);
    }
    EXPECT_EQ(session->FileBytes(kLayout), "1,2,Old\r\n");

    form.ButtonClicked(Button::Save);
    ASSERT_EQ(controls.errors.size(), 1u);
    EXPECT_TRUE(controls.IsEnabled(Button::Save));
    EXPECT_FALSE(controls.closed);
}

TEST_F(Store, AnItemAddedAfterTheCaptureIsNotWritten) {
    const auto shell = Desktop({{"A", {1, 2}}, {"B", {3, 4}}});
    bool added = false;
    session->OnSendMessage([&](const sim::SimCall& call) {
        // Right after the capture's last position request, a new icon appears.
        if (call.message == win::LVM_GETITEMPOSITION && call.wParam == 1 && !added) {
            added = true;
            session->AddItem(shell.listView, std::string("C"), Point{5, 6});
        }
    });
    form.cmdSave_Click();
    EXPECT_EQ(session->FileBytes(kLayout), "1,2,A\r\n3,4,B\r\n");
}

TEST_F(Store, AFailedSaveKeepsTheOldLayoutWhole) {
    Desktop({{"A", {1, 2}}, {"B", {3, 4}}, {"C", {5, 6}}});
    const std::string old = "10,20,A\r\n30,40,B\r\n";
    session->WriteFileBytes(kLayout, old);

    auto expectFailureNamingTheFile = [&](const char* what) {
        try {
            form.cmdSave_Click();
            ADD_FAILURE() << what << ": the save reported success";
        } catch (const Failure& f) {
            EXPECT_NE(std::string(f.what()).find(kLayout), std::string::npos) << f.what();
        }
        EXPECT_EQ(session->FileBytes(kLayout), old) << what;
        EXPECT_EQ(session->ListFolder("C:\\Tools"),
                  (std::vector<std::string>{"USER1@DESK1@1024x768.txt"}))
            << what;
        EXPECT_EQ(session->OpenFiles(), 0) << what;
    };

    // The disk fills half-way through the second line.
    session->SetDiskSpace(12);
    expectFailureNamingTheFile("disk full");
    session->SetDiskSpace(-1);

    session->SetLocked(kLayout, true);
    expectFailureNamingTheFile("locked");
    session->SetLocked(kLayout, false);

    session->SetReadOnly(kLayout, true);
    expectFailureNamingTheFile("read-only file");
    session->SetReadOnly(kLayout, false);

    session->SetReadOnly("C:\\Tools", true);
    expectFailureNamingTheFile("read-only folder");
    session->SetReadOnly("C:\\Tools", false);

    // From the window: the failure is shown, the button works again, the program goes on.
    session->SetDiskSpace(0);
    form.ButtonClicked(Button::Save);
    ASSERT_EQ(controls.errors.size(), 1u);
    EXPECT_NE(controls.errors[0].find(kLayout), std::string::npos);
    EXPECT_TRUE(controls.IsEnabled(Button::Save));
    session->SetDiskSpace(-1);
    form.cmdSave_Click();
    EXPECT_EQ(session->FileBytes(kLayout), "1,2,A\r\n3,4,B\r\n5,6,C\r\n");
}

// ---- settings ----------------------------------------------------------------------------------

TEST_F(Store, PlacementSettingsComeFromTheProfileSectionThenDefault) {
    Desktop({});
    struct Row {
        const char* own;      // nullptr: missing
        const char* fallback; // nullptr: missing
        std::int32_t restore; // what the restore uses (default 0 for DeltaX)
    };
    const Row rows[] = {{"150", "75", 150},    {"", "75", 75},         {nullptr, "75", 75},
                        {nullptr, "abc", 0},   {"abc", "75", 75},      {"abc", nullptr, 0},
                        {"-80", nullptr, -80}, {"12.5", nullptr, 12},  {"13.5", nullptr, 14},
                        {"-2.5", nullptr, -2}, {"99999999999", "5", 5}};
    for (const Row& row : rows) {
        session->WriteFileBytes(kIni, "");
        if (row.own != nullptr) {
            session->WritePrivateProfileStringA("USER1@DESK1", "DeltaX", row.own, kIni);
        }
        if (row.fallback != nullptr) {
            session->WritePrivateProfileStringA("Default", "DeltaX", row.fallback, kIni);
        }
        form.cmdLoad_Click();
        EXPECT_EQ(form.state().deltaX, row.restore)
            << (row.own ? row.own : "-") << " / " << (row.fallback ? row.fallback : "-");
    }
}

TEST_F(Store, RestoreDefaultsAreHalfTheScreenByWholeNumbers) {
    Desktop({});
    session->SetScreenPixels(1023, 767);
    form.cmdLoad_Click();
    EXPECT_EQ(form.state().startX, 512);
    EXPECT_EQ(form.state().startY, 384);
    EXPECT_EQ(form.state().deltaX, 0);
    EXPECT_EQ(form.state().deltaY, 20);
    session->SetScreenPixels(1025, 768);
    form.cmdLoad_Click();
    EXPECT_EQ(form.state().startX, 512);
    // 7.5 twips per pixel rounds to 8: 28800 / 8 / 2 = 1800, not 1920.
    session->SetScreen(28800.0f, 16200.0f, 7.5f, 7.5f);
    form.cmdLoad_Click();
    EXPECT_EQ(form.state().startX, 1800);
    EXPECT_EQ(form.state().startY, 1012);
    // Non-numbers in both sections: the computed default.
    session->WriteFileBytes(kIni, "[USER1@DESK1]\r\nStartX=x\r\n[Default]\r\nStartX=y\r\n");
    form.cmdLoad_Click();
    EXPECT_EQ(form.state().startX, 1800);
}

TEST_F(Store, ValuesAreReadThroughA128CharacterBuffer) {
    Desktop({});
    session->WriteFileBytes(kIni, "[Default]\r\nDeltaY=" + std::string(126, '0') + "45\r\n");
    form.cmdLoad_Click();
    // The first 127 characters: 126 zeros and "4".
    EXPECT_EQ(form.state().deltaY, 4);
}

// ---- restore -----------------------------------------------------------------------------------

TEST_F(Store, RestoreMovesKnownItemsBackAndPlacesNewOnesAtTheCursor) {
    const auto shell = Desktop({{"A", {1, 1}}, {"B", {2, 2}}, {"C", {3, 3}}, {"D", {4, 4}}});
    session->WriteFileBytes(kLayout, "100,200,A\r\n300,400,B\r\n");
    session->WriteFileBytes(kIni, "[Default]\r\nStartX=640\r\nStartY=512\r\nDeltaX=0\r\n"
                                  "DeltaY=20\r\n");
    form.cmdLoad_Click();
    EXPECT_EQ(Positions(shell.listView),
              (std::vector<Point>{{100, 200}, {300, 400}, {640, 512}, {640, 532}}));
    EXPECT_TRUE(controls.IsEnabled(Button::Load));
    ExpectNothingLeaked();
}

TEST_F(Store, SaveThenRestoreAfterTheIconsWereMoved) {
    const auto shell = Desktop({{"One", {10, 10}},
                                {"Two", {-20, 30}},
                                {"a, b", {40, 50}},
                                {"Dup", {1, 1}},
                                {"Dup", {2, 2}}});
    const std::vector<Point> saved = Positions(shell.listView);
    form.cmdSave_Click();
    for (auto& item : session->Items(shell.listView)) {
        item.position = Point{999, 999};
    }
    form.cmdLoad_Click();
    EXPECT_EQ(Positions(shell.listView), saved);
    ExpectNothingLeaked();
}

TEST_F(Store, SearchOnlyMovesForward) {
    const auto shell =
        Desktop({{"B", {0, 0}}, {"A", {0, 0}}, {"C", {0, 0}}, {"notes", {0, 0}}, {"", {0, 0}}});
    session->WriteFileBytes(kLayout, "1,1,A\r\n2,2,B\r\n3,3,C\r\n4,4,Notes\r\n5,5,\r\n");
    session->WriteFileBytes(kIni, "[Default]\r\nStartX=500\r\nStartY=0\r\nDeltaX=10\r\n"
                                  "DeltaY=1\r\n");
    form.cmdLoad_Click();
    // B is found on line 2; A lies behind the index now and so does every later line for C.
    // "notes" differs in case from "Notes"; an empty name always takes the cursor.
    EXPECT_EQ(Positions(shell.listView),
              (std::vector<Point>{{2, 2}, {500, 0}, {510, 1}, {520, 2}, {530, 3}}));
}

TEST_F(Store, EachLineIsParsedAtMostOnce) {
    const auto shell = Desktop({{"E", {}}, {"D", {}}, {"C", {}}, {"B", {}}, {"A", {}}});
    session->WriteFileBytes(kLayout, "1,1,A\r\n2,2,B\r\n3,3,C\r\n4,4,D\r\n5,5,E\r\n");
    form.state().startX = 0;
    const auto report = modPindrel::RestoreLayout(*session, *session, form.state());
    EXPECT_EQ(report.items, 5);
    // Five lines and the empty piece after the last CR LF.
    EXPECT_EQ(report.linesParsed, 6);
    EXPECT_EQ(report.fromFile, 1);
    EXPECT_EQ(session->Items(shell.listView)[0].position, (Point{5, 5}));
}

TEST_F(Store, DuplicateNamesTakeTheNextLineEach) {
    const auto shell = Desktop({{"Dup", {}}, {"Dup", {}}, {"Dup", {}}});
    session->WriteFileBytes(kLayout, "1,1,Dup\r\n2,2,Dup\r\n");
    session->WriteFileBytes(kIni, "[Default]\r\nStartX=7\r\nStartY=8\r\n");
    form.cmdLoad_Click();
    EXPECT_EQ(Positions(shell.listView), (std::vector<Point>{{1, 1}, {2, 2}, {7, 8}}));
}

TEST_F(Store, LinesThatDoNotConvertOrPackLeaveTheItemWhereItIs) {
    const auto shell = Desktop(
        {{"A", {1, 1}}, {"B", {2, 2}}, {"C", {3, 3}}, {"D", {4, 4}}, {"E", {5, 5}}, {"F", {6, 6}}});
    session->WriteFileBytes(kLayout, ",5,A\r\nx,5,B\r\n10,40000,C\r\n 12.5 , 13.5 ,D\r\n1,2,3,E");
    session->WriteFileBytes(kIni, "[Default]\r\nStartX=700\r\nStartY=0\r\n");
    form.cmdLoad_Click();
    // A, B and C keep their places and do not use the cursor; D's fractions round to even; the
    // last line's name is "3,E", so E and F take the cursor.
    EXPECT_EQ(Positions(shell.listView),
              (std::vector<Point>{{1, 1}, {2, 2}, {3, 3}, {12, 14}, {700, 0}, {700, 20}}));
}

TEST_F(Store, AMatchOnALastLineWithoutCrLfCounts) {
    const auto shell = Desktop({{"A", {0, 0}}});
    session->WriteFileBytes(kLayout, "8,9,A");
    form.cmdLoad_Click();
    EXPECT_EQ(Positions(shell.listView), (std::vector<Point>{{8, 9}}));
}

TEST_F(Store, AnLfOnlyFileIsOneLineAndMatchesNothing) {
    const auto shell = Desktop({{"A", {0, 0}}, {"B", {0, 0}}});
    session->WriteFileBytes(kLayout, "1,1,A\n2,2,B\n");
    form.cmdLoad_Click();
    EXPECT_EQ(Positions(shell.listView), (std::vector<Point>{{512, 384}, {512, 404}}));
}

TEST_F(Store, CursorPositionsThatDoNotPackStillAdvanceTheCursor) {
    const auto shell = Desktop({{"A", {1, 1}}, {"B", {2, 2}}, {"C", {3, 3}}});
    session->WriteFileBytes(kIni, "[Default]\r\nStartX=0\r\nStartY=32760\r\nDeltaX=5\r\n"
                                  "DeltaY=10\r\n");
    form.cmdLoad_Click();
    // (0, 32760) packs; (5, 32770) does not and B stays; the cursor goes on to (10, 32780).
    EXPECT_EQ(Positions(shell.listView), (std::vector<Point>{{0, 32760}, {2, 2}, {3, 3}}));
}

TEST_F(Store, CursorAdditionsThatLeaveTheRangeKeepThatCoordinate) {
    const auto shell = Desktop({{"A", {1, 1}}, {"B", {2, 2}}, {"C", {3, 3}}});
    session->WriteFileBytes(kIni,
                            "[Default]\r\nStartX=-100\r\nStartY=-100\r\nDeltaX=-2147483648\r\n"
                            "DeltaY=7\r\n");
    form.cmdLoad_Click();
    // -100 + INT32_MIN leaves the range: x stays -100 while y advances.
    EXPECT_EQ(Positions(shell.listView),
              (std::vector<Point>{{-100, -100}, {-100, -93}, {-100, -86}}));
}

TEST_F(Store, AutoArrangeIsOffWhileMovingAndOnAgainAfterwards) {
    const auto shell = Desktop({{"A", {0, 0}}}, 0x0100);
    session->WriteFileBytes(kLayout, "30,40,A\r\n");
    bool onWhileMoving = false;
    session->OnSendMessage([&](const sim::SimCall& call) {
        if (call.message == win::LVM_SETITEMPOSITION && session->AutoArrange(shell.listView)) {
            onWhileMoving = true;
        }
    });
    form.cmdLoad_Click();
    EXPECT_FALSE(onWhileMoving);
    EXPECT_TRUE(session->AutoArrange(shell.listView));
    EXPECT_TRUE(form.state().autoArrangeFlag);

    // After a save in the same run, a restore switches auto-arrange on even though its own capture
    // found it off.
    form.cmdSave_Click();
    EXPECT_FALSE(session->AutoArrange(shell.listView));
    form.cmdLoad_Click();
    EXPECT_TRUE(session->AutoArrange(shell.listView));
}

TEST_F(Store, TheSelectedViewIsAppliedBeforeTheIconsArePlaced) {
    const auto shell = Desktop({{"A", {0, 0}}});
    DWORD viewWhenMoved = 99;
    session->OnSendMessage([&](const sim::SimCall& call) {
        if (call.message == win::LVM_SETITEMPOSITION) {
            viewWhenMoved = session->CurrentView(shell.listView);
        }
    });
    Select("");
    form.cmdLoad_Click(); // nothing selected: small icons
    EXPECT_EQ(viewWhenMoved, 2u);
    Select("Report");
    form.cmdLoad_Click();
    EXPECT_EQ(viewWhenMoved, 1u);
    Select("List");
    form.cmdLoad_Click();
    EXPECT_EQ(session->CurrentView(shell.listView), 3u);
    Select("Icon");
    form.cmdLoad_Click();
    EXPECT_EQ(session->CurrentView(shell.listView), 0u);
}

TEST_F(Store, RestoreWithoutADesktopMovesNothingAndSaysSo) {
    session->CreateShell(sim::ShellShape::Nothing);
    EXPECT_THROW(form.cmdLoad_Click(), Failure);
    EXPECT_TRUE(controls.IsEnabled(Button::Load));
    EXPECT_EQ(session->CountMessages(win::LVM_SETITEMPOSITION), 0);
}

TEST_F(Store, RestoreGoesOnWhenTheListViewDisappears) {
    const auto shell = Desktop({{"A", {0, 0}}, {"B", {0, 0}}, {"C", {0, 0}}});
    session->WriteFileBytes(kLayout, "1,1,A\r\n2,2,B\r\n3,3,C\r\n");
    // Gone in the middle of the items: later requests go to a dead window and are refused.
    session->DestroyWindowAfterRequests(shell.listView, 6);
    EXPECT_NO_THROW(modPindrel::RestoreLayout(*session, *session, form.state()));
    ExpectNothingLeaked();
}
