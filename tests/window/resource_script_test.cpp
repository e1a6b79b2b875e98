#include "platform/resource_script.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/dialogs.h"

namespace tq {
namespace {

constexpr const char* kComment = R"(# comment line
dialog GETCOMMENT
title "Enter Comment"   # trailing comment
size 90 60
font "MS Sans Serif" 9
control 850 static "Maximum 11 characters" 5 24 80 10 center
control 851 edit "" 15 5 60 14 border
end
)";

TEST(ResourceScriptParsing, ReadsTitleSizeFontAndControls) {
  ResourceScript script;
  std::string error;
  ASSERT_TRUE(ParseResourceScript(kComment, &script, &error)) << error;
  ASSERT_EQ(script.dialogs.size(), 1u);
  const DialogTemplate& d = script.dialogs[0];
  EXPECT_EQ(d.name, "GETCOMMENT");
  EXPECT_EQ(d.title, "Enter Comment");
  EXPECT_EQ(d.width, 90);
  EXPECT_EQ(d.height, 60);
  EXPECT_EQ(d.font_points, 9);
  EXPECT_TRUE(d.centered);
  ASSERT_EQ(d.controls.size(), 2u);
  const DialogControl& label = d.controls[0];
  EXPECT_EQ(label.id, 850);
  EXPECT_EQ(label.class_name, "STATIC");
  EXPECT_EQ(label.text, "Maximum 11 characters");
  EXPECT_EQ(label.x, 5);
  EXPECT_EQ(label.y, 24);
  EXPECT_EQ(label.width, 80);
  EXPECT_EQ(label.height, 10);
  EXPECT_EQ(label.style, WS_CHILD | WS_VISIBLE | SS_CENTER);
  const DialogControl& edit = d.controls[1];
  EXPECT_EQ(edit.class_name, "EDIT");
  EXPECT_EQ(edit.style, WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | WS_BORDER);
}

TEST(ResourceScriptParsing, MapsEachClassWordToItsSystemControlAndStyle) {
  ResourceScript script;
  std::string error;
  ASSERT_TRUE(ParseResourceScript(R"(dialog ALL
size 100 100
control 1 combo "" 0 0 50 60 vscroll
control 2 listbox "" 0 0 50 40 border extendedsel
control 3 button "&Go" 0 0 20 10 default
control 4 checkbox "C/V" 0 0 20 10 lefttext
control 5 ownerdraw "" 0 0 20 10
control 6 edit "x" 0 0 20 10 readonly hidden
control -1 static "a" 0 0 20 10
control -1 static "b" 0 0 20 10
end
)",
                                  &script, &error))
      << error;
  const auto& c = script.dialogs[0].controls;
  EXPECT_EQ(c[0].class_name, "COMBOBOX");
  EXPECT_EQ(c[0].style & 0x3, CBS_DROPDOWNLIST);
  EXPECT_NE(c[0].style & WS_VSCROLL, 0u);
  EXPECT_EQ(c[1].class_name, "LISTBOX");
  EXPECT_NE(c[1].style & LBS_EXTENDEDSEL, 0u);
  EXPECT_NE(c[1].style & LBS_NOTIFY, 0u);
  EXPECT_EQ(c[2].style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  EXPECT_EQ(c[3].style & BS_TYPEMASK, BS_AUTOCHECKBOX);
  EXPECT_NE(c[3].style & BS_LEFTTEXT, 0u);
  EXPECT_EQ(c[4].style & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_EQ(c[5].style & WS_VISIBLE, 0u);
  EXPECT_NE(c[5].style & ES_READONLY, 0u);
  EXPECT_EQ(c[6].id, -1);  // unaddressed texts may share -1
}

TEST(ResourceScriptParsing, ReadsMenusWithSeparators) {
  ResourceScript script;
  std::string error;
  ASSERT_TRUE(ParseResourceScript("menu 1100\nitem 1101 \"&Scale\"\nseparator\nitem 1106 \"&Hide Menu\"\nend\n",
                                  &script, &error));
  ASSERT_EQ(script.menus.size(), 1u);
  const MenuTemplate& m = script.menus[0];
  EXPECT_EQ(m.id, 1100);
  ASSERT_EQ(m.items.size(), 3u);
  EXPECT_EQ(m.items[0].id, 1101);
  EXPECT_EQ(m.items[0].text, "&Scale");
  EXPECT_EQ(m.items[1].id, 0);
  EXPECT_EQ(m.items[2].id, 1106);
}

TEST(ResourceScriptParsing, QuotedTextKeepsEscapedQuotesAndHashes) {
  ResourceScript script;
  std::string error;
  ASSERT_TRUE(ParseResourceScript(
      "dialog Q\nsize 50 50\ncontrol 1 static \"say \\\"hi\\\" #1 \\\\\" 0 0 50 10\nend\n", &script, &error))
      << error;
  EXPECT_EQ(script.dialogs[0].controls[0].text, "say \"hi\" #1 \\");
}

struct BadScript {
  const char* text;
  const char* error_start;  // the line number the error must name
};

class ResourceScriptFaults : public ::testing::TestWithParam<BadScript> {};

TEST_P(ResourceScriptFaults, AreReportedWithTheirLine) {
  ResourceScript script;
  std::string error;
  EXPECT_FALSE(ParseResourceScript(GetParam().text, &script, &error));
  EXPECT_EQ(error.rfind(GetParam().error_start, 0), 0u) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ResourceScriptFaults,
    ::testing::Values(
        BadScript{"dialog A\nsize 10 10\n", "3: missing"},
        BadScript{"title \"x\"\n", "1: expected"},
        BadScript{"dialog A\ncontrol 1 static \"\" 0 0 5 5\nend\n", "2: size must come"},
        BadScript{"dialog A\nsize 10 10\ncontrol 1 slider \"\" 0 0 5 5\nend\n", "3: unknown control class"},
        BadScript{"dialog A\nsize 10 10\ncontrol 1 static \"\" 0 0 5 5 readonly\nend\n", "3: style"},
        BadScript{"dialog A\nsize 10 10\ncontrol 1 static \"\" 6 0 5 5\nend\n", "3: control 1 lies outside"},
        BadScript{"dialog A\nsize 10 10\ncontrol 1 static \"\" 0 0 5 5\ncontrol 1 edit \"\" 0 0 5 5\nend\n",
                  "4: control id 1 used twice"},
        BadScript{"dialog A\nsize 10 10\ncontrol 1 static \"open 0 0 5 5\nend\n", "3: unterminated"},
        BadScript{"dialog A\nsize 0 10\nend\n", "2: size needs"},
        BadScript{"dialog A\nsize 10 10\nend\ndialog a\nsize 10 10\nend\n", "6: dialog a defined twice"},
        BadScript{"menu 5\nitem 0 \"x\"\nend\n", "2: item needs"},
        BadScript{"menu x\nend\n", "1: menu needs"}));

TEST(ResourceScriptParsing, KeepsTheBlocksBeforeAFault) {
  ResourceScript script;
  std::string error;
  EXPECT_FALSE(ParseResourceScript("dialog A\nsize 10 10\nend\ndialog B\nsize 10\nend\n", &script, &error));
  ASSERT_EQ(script.dialogs.size(), 1u);
  EXPECT_EQ(script.dialogs[0].name, "A");
}

TEST(ResourceScriptParsing, ComboListMayReachBelowTheDialog) {
  ResourceScript script;
  std::string error;
  // GETNEWLINE's lists: 58,45,50,60 in a 101-unit-high dialog.
  EXPECT_TRUE(ParseResourceScript("dialog A\nsize 114 101\ncontrol 676 combo \"\" 58 45 50 60\nend\n", &script,
                                  &error))
      << error;
}

TEST(ResourceScriptParsing, FindsTemplatesWithoutRegardToCase) {
  ResourceScript script;
  std::string error;
  ASSERT_TRUE(ParseResourceScript("dialog GETNEWPROFILESCALE62\nsize 10 10\nend\n", &script, &error));
  EXPECT_NE(FindDialogTemplate(script, "GetNewProfileScale62"), nullptr);
  EXPECT_EQ(FindDialogTemplate(script, "GetNewProfileScale62H"), nullptr);
}

TEST(DialogUnits, BaseUnitsComeFromTheAlphabetWidthAndFontHeight) {
  // The clone measures 323 pixels for "A".."Z" "a".."z" and 13 for its height.
  DialogBaseUnits base = BaseUnitsFromFont(323, 13);
  EXPECT_EQ(base.x, 6);
  EXPECT_EQ(base.y, 13);
  EXPECT_EQ(BaseUnitsFromFont(337, 16).x, 6);  // (337 + 26) / 52 = 6.98, truncated
  EXPECT_EQ(BaseUnitsFromFont(338, 16).x, 7);
}

TEST(DialogUnits, ConvertWithRoundingToNearestPixel) {
  DialogBaseUnits base{6, 13};
  EXPECT_EQ(DialogUnitsToPixelsX(114, base), 171);  // 114 * 6 / 4
  EXPECT_EQ(DialogUnitsToPixelsY(101, base), 164);  // 101 * 13 / 8 = 164.1
  EXPECT_EQ(DialogUnitsToPixelsX(5, base), 8);      // 7.5 rounds up
  EXPECT_EQ(DialogUnitsToPixelsY(11, base), 18);    // 17.9
  EXPECT_EQ(DialogUnitsToPixelsY(3, base), 5);      // 4.9
  EXPECT_EQ(DialogUnitsToPixelsX(-1, base), -2);    // -1.5: halves away from zero
}

TEST(DialogUnits, PointsBecomePixelsOnA96DotScreen) {
  EXPECT_EQ(PointsToPixels(9), 12);
  EXPECT_EQ(PointsToPixels(8), 11);
}

TEST(ShippedResources, AllParseAndHoldTheLoggingDialogsAndMenus) {
  EXPECT_TRUE(ResourceFileErrors().empty()) << ResourceFileErrors().front();
  const ResourceScript& loaded = LoadedResources();
  // Every template the windows open, by the names they use.
  for (const char* name :
       {"GETNEWLINE", "GETNEWSTATION", "GETNEWSTATIONWM6", "GETCOMMENT", "GETGPSMESSAGE", "GetSurveySetup62",
        "GetSurveySetup62H", "GetSurveySetup62V", "GetSurveySetup68B", "GetSurveySetup68BV", "GetSurveySetup68D",
        "GetSurveySetupFrz62", "GetLoggerSetup62", "GetLoggerSetup62Ice", "GetLoggerSetup68",
        "GetLoggerSetup68MK2", "GetGPSPortSetup", "GetOptions", "GetOptions64", "GetOptions68mk2",
        "GetOptionsFrz62", "GetOptionsIceNew", "GetNewProfileScale62", "GetNewProfileScale62H",
        "GetNewProfileScale64", "GetNewProfileScaleICE", "GETNEWPROFILESCALE"}) {
    EXPECT_NE(FindDialogTemplate(loaded, name), nullptr) << name;
  }
  EXPECT_EQ(FindDialogTemplate(loaded, "GetGPSPortSetup")->width, 94);
  EXPECT_EQ(FindDialogTemplate(loaded, "GetGPSPortSetup")->height, 98);
  EXPECT_EQ(FindDialogTemplate(loaded, "GetSurveySetup62H")->width, 167);
  EXPECT_EQ(FindDialogTemplate(loaded, "GetSurveySetup62H")->height, 62);
  const MenuTemplate* standard = FindMenuTemplate(loaded, 1100);
  const MenuTemplate* mk2 = FindMenuTemplate(loaded, 1110);
  ASSERT_NE(standard, nullptr);
  ASSERT_NE(mk2, nullptr);
  auto ids = [](const MenuTemplate* m) {
    std::vector<int> out;
    for (const MenuItem& item : m->items) {
      if (item.id != 0) out.push_back(item.id);
    }
    return out;
  };
  EXPECT_EQ(ids(standard), (std::vector<int>{1101, 1102, 1106}));
  EXPECT_EQ(ids(mk2), (std::vector<int>{1101, 1102, 1111, 1112, 1106}));
  const DialogTemplate* wm6 = FindDialogTemplate(loaded, "GETNEWSTATIONWM6");
  EXPECT_FALSE(wm6->centered);
  EXPECT_EQ(wm6->x, 35);
  EXPECT_EQ(wm6->y, 0);
}

}  // namespace
}  // namespace tq
