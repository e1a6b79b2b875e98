// "New Line" and "New Station" refuse at OK a number that its record cannot
// hold, and stay open on that field; what they accept is kept as typed.
#include "logging/entry_dialogs.h"

#include <gtest/gtest.h>

#include <string>

#include "logging/run_state.h"
#include "platform/controls.h"
#include "platform/modal_responder.h"
#include "platform/window.h"
#include "settings/settings.h"
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
    EXPECT_EQ(testing::ReadFileBytes(path), "");
    ASSERT_TRUE(TypeText(GetDlgItem(d, 865), "-2.5"));
  });
  EXPECT_TRUE(RunNewStationDialog(main_window(), "GETNEWSTATION").accepted);
  const std::string records = testing::ReadFileBytes(path);
  ASSERT_EQ(records.size(), 2u * 26u);  // "S" and its time mark
  EXPECT_EQ(records.substr(0, 13), "S      -2.50 ");
  EXPECT_EQ(records[26], '*');
}

}  // namespace
}  // namespace tq
