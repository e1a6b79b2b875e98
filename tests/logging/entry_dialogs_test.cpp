// The entry dialogs refuse at OK what their records cannot hold (a number too
// wide or too precise, a character outside the 8-bit text) and stay open on
// that field; what they accept is kept as typed. "Create Data File" refuses
// such a name and proposes a fresh one.
#include "logging/entry_dialogs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "logging/run_state.h"
#include "platform/controls.h"
#include "platform/modal_responder.h"
#include "platform/window.h"
#include "settings/settings.h"
#include "shell/shell_state.h"
#include "survey/data_file_creation.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/temp_dir.h"

namespace tq {
namespace {

class EntryDialogTest : public testing::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Logging = LoggingControl{};
    ASSERT_NE(OpenMainWindow(), nullptr);
  }
  void TearDown() override {
    DataFileHandle.Close();
    MainWindowTest::TearDown();
  }

  // OK with `typed` in field `id`: refused with `message`, and the dialog
  // still open with the field selected.
  void ExpectRefused(WindowHandle d, int id, const std::string& typed, const std::string& message) {
    ASSERT_TRUE(TypeText(GetDlgItem(d, id), typed));
    responder_.OnMessageBox("WARNING", IDOK);
    ASSERT_TRUE(PressTitleButton(d, IDOK));
    ASSERT_TRUE(IsWindowVisible(d)) << typed;
    EXPECT_EQ(responder_.Requests().back().text, message);
    EXPECT_EQ(GetFocus(), GetDlgItem(d, id));
    EXPECT_EQ(GetEditSelection(GetDlgItem(d, id)), typed);
  }
};

TEST_F(EntryDialogTest, NewLineRefusesAStartTheBRecordCannotHoldAndKeepsTheRestAsTyped) {
  const std::string before = FormatSettingsFile(Settings, Build());
  responder_.OnDialog("GETNEWLINE", [&](WindowHandle d) {
    ASSERT_TRUE(TypeText(GetDlgItem(d, 675), ".25"));
    ASSERT_TRUE(TypeText(GetDlgItem(d, 679), "-2.5"));
    ExpectRefused(d, 678, "123456789012345678901234567890",
                  "Start Station must be from -9999999.99 to 99999999.99.");
    EXPECT_EQ(FormatSettingsFile(Settings, Build()), before);
    ASSERT_TRUE(TypeText(GetDlgItem(d, 678), "0.5"));
  });
  EXPECT_TRUE(RunNewLineDialog(main_window()).accepted);
  EXPECT_EQ(Settings.StartStation, 0.5);
  EXPECT_EQ(Settings.LineIncrement, 0.25f);
  EXPECT_EQ(Settings.StationIncrement, -2.5f);
}

TEST_F(EntryDialogTest, NewStationRefusesWhatTheSRecordCannotHoldAndWritesOnlyTheAcceptedOne) {
  const auto path = root_.path() / "STATIONS.N68";
  ASSERT_TRUE(DataFileHandle.Create(path, 26));
  responder_.OnDialog("GETNEWSTATION", [&](WindowHandle d) {
    for (const char* typed : {"1e25", "123456789012"}) {
      ExpectRefused(d, 865, typed, "New Station must be from -9999999.99 to 99999999.99.");
    }
    ExpectRefused(d, 865, "12.5m", "New Station must be a number.");
    ExpectRefused(d, 865, "0.125", "New Station must have at most 2 decimals.");
    EXPECT_EQ(testing::ReadFileBytes(path), "");
    ASSERT_TRUE(TypeText(GetDlgItem(d, 865), "\u22122,5"));
  });
  EXPECT_TRUE(RunNewStationDialog(main_window(), "GETNEWSTATION").accepted);
  const std::string records = testing::ReadFileBytes(path);
  ASSERT_EQ(records.size(), 2u * 26u);  // "S" and its time mark
  EXPECT_EQ(records.substr(0, 13), "S      -2.50 ");  // typed with a comma and U+2212
  EXPECT_EQ(records[26], '*');
}

TEST_F(EntryDialogTest, NewLineRefusesALineNameOrDecimalsItsRecordsCannotHold) {
  const std::string before = FormatSettingsFile(Settings, Build());
  responder_.OnDialog("GETNEWLINE", [&](WindowHandle d) {
    ExpectRefused(d, 674, "\u040a1", "New Line cannot hold the character \"\u040a\" (U+040A).");
    ASSERT_TRUE(TypeText(GetDlgItem(d, 674), "N1"));
    ExpectRefused(d, 678, "0.125", "Start Station must have at most 2 decimals.");
    ASSERT_TRUE(TypeText(GetDlgItem(d, 678), "12,5"));
    ExpectRefused(d, 679, "0.0625", "Stn Increment must have at most 3 decimals.");
    EXPECT_EQ(FormatSettingsFile(Settings, Build()), before);
    ASSERT_TRUE(TypeText(GetDlgItem(d, 679), "0,5"));
  });
  EXPECT_TRUE(RunNewLineDialog(main_window()).accepted);
  EXPECT_EQ(Settings.SurveyLine, "N1");
  EXPECT_EQ(Settings.StartStation, 12.5);
  EXPECT_EQ(Settings.StationIncrement, 0.5f);
}

TEST_F(EntryDialogTest, CommentRefusesACharacterItsRecordCannotHoldAndWritesNothingForIt) {
  const auto path = root_.path() / "COMMENTS.N68";
  ASSERT_TRUE(DataFileHandle.Create(path, 26));
  responder_.OnDialog("GETCOMMENT", [&](WindowHandle d) {
    ExpectRefused(d, 851, "pit \u040a 3", "Comment cannot hold the character \"\u040a\" (U+040A).");
    EXPECT_EQ(testing::ReadFileBytes(path), "");
    ASSERT_TRUE(TypeText(GetDlgItem(d, 851), "pit 3"));
  });
  EXPECT_TRUE(RunCommentDialog(main_window()).accepted);
  EXPECT_EQ(testing::ReadFileBytes(path).substr(0, 13), "Cpit 3       ");
}

TEST_F(EntryDialogTest, AFileNameHeaderTwoCannotHoldIsRefusedAndAFreshNameProposed) {
  Shell.LoggingActive = 1;  // the save dialog is asked only during a run
  const auto folder = MapSystemPath(DataFoldersFor(Build()).dialog_folder);
  responder_.OnSaveFile((folder / "\u040a\u0438\u0432\u0430.N68").string())
      .OnMessageBox("WARNING", IDOK)
      .OnSaveFile((folder / "FRESH.N68").string());
  DialogOutcome created = RunCreateFileDialog(main_window());
  Shell.LoggingActive = 0;
  EXPECT_TRUE(created.accepted);
  EXPECT_EQ(responder_.Requests()[1].text, "File Name cannot hold the character \"\u040a\" (U+040A).");
  EXPECT_FALSE(std::filesystem::exists(folder / "\u040a\u0438\u0432\u0430.N68"));
  EXPECT_EQ(Logging.DataFileBaseName, "FRESH");
}

}  // namespace
}  // namespace tq
