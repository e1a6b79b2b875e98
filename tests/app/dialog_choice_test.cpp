// The dialog template every setup button opens, for every kind and screen.
#include "app/dialog_choice.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

struct SurveyRow {
  int32_t kind;
  const char* portrait;
  const char* landscape_storage;  // StorageRoot 1
  const char* landscape_drive;    // StorageRoot 0
};

TEST(SurveySetupTemplateTest, ChosenByKindScreenAndStorageRoot) {
  const SurveyRow rows[] = {
      {0, "GetSurveySetup62V", "GetSurveySetup62H", "GetSurveySetup62"},
      {1, "GetSurveySetup68BV", "GetSurveySetup68B", "GetSurveySetup68B"},
      {2, "GetSurveySetup68D", "GetSurveySetup68D", "GetSurveySetup68D"},
      {3, "GetSurveySetup62V", "GetSurveySetup62H", "GetSurveySetup62"},
      {4, "GetSurveySetup68BV", "GetSurveySetup68B", "GetSurveySetup68B"},
      {5, "", "", ""},
      {6, "GetSurveySetupFrz62", "GetSurveySetupFrz62", "GetSurveySetupFrz62"},
      {7, "GetSurveySetup68B", "GetSurveySetup68B", "GetSurveySetup68B"},
  };
  for (const SurveyRow& row : rows) {
    SCOPED_TRACE(testing::Message() << "kind " << row.kind);
    EXPECT_EQ(SurveySetupTemplate(BuildConfig{row.kind, 1, 0}, 1), row.portrait);
    EXPECT_EQ(SurveySetupTemplate(BuildConfig{row.kind, 0, 0}, 1), row.portrait);
    EXPECT_EQ(SurveySetupTemplate(BuildConfig{row.kind, 1, 0}, 0), row.landscape_storage);
    EXPECT_EQ(SurveySetupTemplate(BuildConfig{row.kind, 0, 0}, 0), row.landscape_drive);
  }
}

TEST(KindTemplatesTest, LoggerSetupAndDisplayOptionsByKind) {
  struct Row {
    const char* logger;
    const char* options;
  };
  const Row rows[kKindCount] = {
      {"GetLoggerSetup62", "GetOptions"},        {"GetLoggerSetup68", "GetOptions"},
      {"GetLoggerSetup68", "GetOptions"},        {"GetLoggerSetup68", "GetOptions"},
      {"GetLoggerSetup68", "GetOptions64"},      {"GetLoggerSetup68", "GetOptions"},
      {"GetLoggerSetup68", "GetOptionsFrz62"},   {"GetLoggerSetup68MK2", "GetOptions68mk2"},
  };
  for (int32_t kind = 0; kind < kKindCount; ++kind) {
    EXPECT_EQ(LoggerSetupTemplate(BuildConfig{kind, 1, 0}), rows[kind].logger) << kind;
    EXPECT_EQ(DisplayOptionsTemplate(BuildConfig{kind, 1, 0}), rows[kind].options) << kind;
  }
}

TEST(KindTemplatesTest, TheIceOptionChangesOnlyTheTq62s) {
  EXPECT_EQ(LoggerSetupTemplate(BuildConfig{kKindTq62, 1, 1}), "GetLoggerSetup62Ice");
  EXPECT_EQ(DisplayOptionsTemplate(BuildConfig{kKindTq62, 1, 1}), "GetOptionsIceNew");
  EXPECT_EQ(LoggerSetupTemplate(BuildConfig{kKindTq68, 1, 1}), "GetLoggerSetup68");
  EXPECT_EQ(DisplayOptionsTemplate(BuildConfig{kKindTq64, 1, 1}), "GetOptions64");
}

TEST(GpsPortSetupTemplateTest, OneTemplateForEveryKind) {
  EXPECT_EQ(GpsPortSetupTemplate(), "GetGPSPortSetup");
}

}  // namespace
}  // namespace tq
