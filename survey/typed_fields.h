// What the operator types into a dialog field whose text goes to a record,
// a settings line or the GPS receiver, and how a field that cannot take it
// is refused. Each check returns the text of the "WARNING" box that names
// the field; OK shows it, keeps the dialog open and stores nothing, so the
// value in force is always the value stored. Pure functions.
#pragma once

#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace tq {

// The caption of every box that refuses a typed field.
inline constexpr std::string_view kWarningCaption = "WARNING";

// A closed range; NaN is in none.
struct NumberRange {
  double min = 0.0;
  double max = 0.0;
  bool Holds(double value) const { return value >= min && value <= max; }
};

// Every number a double holds: for a field with no range of its own.
inline constexpr NumberRange kAnyNumber{-std::numeric_limits<double>::max(),
                                        std::numeric_limits<double>::max()};

// "<field> must be from <min> to <max>.", the limits in their shortest form.
std::string OutOfRangeText(std::string_view field, NumberRange range);

// A typed text that its field cannot hold, and what tells the operator so.
template <typename Field>
struct Refusal {
  Field field;
  std::string text;
};

// A number as typed: its value and the decimals it really has (trailing
// zeros do not count, an exponent moves the point: "0.500" has 1, "1.25e1" 1).
struct TypedNumber {
  double value = 0.0;
  int decimals = 0;
};

// The number a dialog field holds, or nothing when the field holds more than
// a number. Blanks around it are allowed; the sign may be "+", "-" or the
// typographic minus U+2212; a comma is read as the decimal point; an
// exponent may follow. A field left empty is 0, as it always was. The value
// is clamped to the double range like ParseSettingsNumber's.
std::optional<TypedNumber> ParseTypedNumber(std::string_view text);

// The value of a field's text: ParseTypedNumber's when it is a number, else
// the leading number of ParseSettingsNumber (0 when none), for texts that no
// check has seen.
double TypedNumberValue(std::string_view text);

// What a field's record or settings line keeps of a number.
inline constexpr int kAnyDecimals = -1;
struct NumberRule {
  NumberRange range;
  int decimals = kAnyDecimals;  // the most the record keeps
  // The store keeps the value as float32, whose 24 bits hold 16384.2 as
  // 16384.199...: a number it cannot round back to as typed is refused.
  bool single_precision = false;
};

// Refuses a text that is not a number ("<field> must be a number."), one
// with more decimals than the rule keeps ("<field> must have at most 2
// decimals.", "<field> must be a whole number.") and one out of the range
// (OutOfRangeText), in that order, and with `single_precision` one whose
// float32 value shows as another number at the rule's decimals ("<field>
// cannot hold 16384.2 exactly: it would be 16384.199."); nothing when the
// field can hold it.
std::optional<std::string> CheckTypedNumber(std::string_view field, std::string_view text, NumberRule rule);

// Refuses a text with a character that the 8-bit text of the files cannot
// hold or that is a control character (IsStorableCharacter): "<field> cannot
// hold the character "Њ" (U+040A)."; nothing when every character fits.
std::optional<std::string> CheckTypedText(std::string_view field, std::string_view text);

}  // namespace tq
