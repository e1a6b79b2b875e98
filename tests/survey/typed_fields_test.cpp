// What a dialog field takes: numbers as typed (comma as the point, the
// typographic minus, nothing after the number), the decimals a record
// keeps, and text the 8-bit files can hold; each refusal names its field.
#include "survey/typed_fields.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "survey/survey_position.h"

namespace tq {
namespace {

TEST(TypedNumberTest, ReadsWhatWasTypedOrNothing) {
  // Text, value (nothing: not a number), decimals.
  const std::tuple<std::string, std::optional<double>, int> cases[] = {
      {"0,5", 0.5, 1},         {"12,5", 12.5, 1},     {"2,5", 2.5, 1},
      {"\u221212.5", -12.5, 1}, {" -2.5 ", -2.5, 1},  {"+3", 3.0, 0},
      {"0.500", 0.5, 1},       {"1.25e1", 12.5, 1},   {"1e-3", 0.001, 3},
      {"5.", 5.0, 0},          {".25", 0.25, 2},      {"", 0.0, 0},
      {"1e9", 1e9, 0},         {"12.5m", {}, 0},      {"1,234.5", {}, 0},
      {"north", {}, 0},        {"-", {}, 0},          {"1e", {}, 0},
      {"1 5", {}, 0},          {"0x10", {}, 0},       {"\u2212", {}, 0},
  };
  for (const auto& [text, value, decimals] : cases) {
    SCOPED_TRACE(text);
    std::optional<TypedNumber> number = ParseTypedNumber(text);
    ASSERT_EQ(number.has_value(), value.has_value());
    if (!number) continue;
    EXPECT_DOUBLE_EQ(number->value, *value);
    EXPECT_EQ(number->decimals, decimals);
  }
}

TEST(TypedNumberTest, RefusalsNameTheFieldAndWhatItKeeps) {
  // Field label, rule, text, refusal (empty: accepted).
  const std::tuple<std::string, NumberRule, std::string, std::string> cases[] = {
      {"Start Station", kStationRule, "0.125", "Start Station must have at most 2 decimals."},
      {"Start Station", kStationRule, "0.120", ""},
      {"Stn Increment", kStationIncrementRule, "0.0625", "Stn Increment must have at most 3 decimals."},
      {"Stn Increment", kStationIncrementRule, "0.0004", "Stn Increment must have at most 3 decimals."},
      {"Line Increment", kLineIncrementRule, "0.125", "Line Increment must have at most 2 decimals."},
      // float32 holds 16384.2 as 16384.19921875: "A" would show 16384.199.
      {"Stn Increment", kStationIncrementRule, "16384.2", "Stn Increment cannot hold 16384.200 exactly: it would be 16384.199."},
      {"Stn Increment", kStationIncrementRule, "-0.1", ""},
      {"Line Increment", kLineIncrementRule, "-131072.1", "Line Increment cannot hold -131072.10 exactly: it would be -131072.09."},
      {"New Station", kStationRule, "12.5m", "New Station must be a number."},
      {"Samples/Rdg", NumberRule{kAnyNumber, 0}, "2,5", "Samples/Rdg must be a whole number."},
      {"Samples/Rdg", NumberRule{kAnyNumber, 0}, "25.0", ""},
  };
  for (const auto& [label, rule, text, refusal] : cases) {
    EXPECT_EQ(CheckTypedNumber(label, text, rule).value_or(""), refusal) << text;
  }
}

TEST(TypedTextTest, RefusesWhatTheFilesCannotHoldAndNamesIt) {
  const std::pair<std::string, std::string> cases[] = {
      {"\u040a1", "Survey Line cannot hold the character \"\u040a\" (U+040A)."},  // low byte LF
      {"\u010d5", "Survey Line cannot hold the character \"\u010d\" (U+010D)."},  // low byte CR
      {"\u0100 start", "Survey Line cannot hold the character \"\u0100\" (U+0100)."},  // low byte NUL
      {"a\tb", "Survey Line cannot hold the control character U+0009."},
      {"a\u0085", "Survey Line cannot hold the control character U+0085."},
      {"NORTH-07", ""},
      {"\u00c5s \u00e9 \u00ff", ""},  // the 8-bit set's own letters
  };
  for (const auto& [text, refusal] : cases) {
    EXPECT_EQ(CheckTypedText("Survey Line", text).value_or(""), refusal) << text;
  }
}

}  // namespace
}  // namespace tq
