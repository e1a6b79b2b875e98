// What an operator could type into a dialog field, for property tests:
// the empty text, blanks, very long text, numbers of every width and
// precision with signs, commas, exponents and infinities, and letters inside
// and outside the 8-bit set, control characters among them. Texts are UTF-8,
// as TypeText takes them.
#pragma once

#include <rapidcheck.h>

#include <string>
#include <vector>

namespace tq::testing {

// A value uniform in [lo, hi) whatever the case's size. RapidCheck's inRange
// narrows toward `lo` with the size, and sizes grow from 0 over a run: kinds,
// modes and choices drawn with it would leave the later ones to the largest
// cases alone, or never reach them in a small budget.
template <typename T>
rc::Gen<T> AnyIn(T lo, T hi) {
  return rc::gen::resize(rc::kNominalSize, rc::gen::inRange(lo, hi));
}

// A number as it could be typed: an optional sign (U+2212 among them),
// 0..15 integer digits, a point or a comma and 0..12 decimals, and now and
// then an exponent or blanks around it.
inline rc::Gen<std::string> TypedNumber() {
  return rc::gen::apply(
      [](const std::string& sign, int whole, int decimals, const std::string& point,
         const std::string& exponent, bool blanks, int seed) {
        std::string text = sign;
        unsigned digit = static_cast<unsigned>(seed);
        auto next_digit = [&digit] {
          digit = digit * 1103515245u + 12345u;
          return static_cast<char>('0' + (digit >> 16) % 10);
        };
        for (int i = 0; i < whole; ++i) text += next_digit();
        if (decimals > 0 || !point.empty()) text += point.empty() ? "." : point;
        for (int i = 0; i < decimals; ++i) text += next_digit();
        if (text.empty() || text == sign) text += "0";
        text += exponent;
        return blanks ? " " + text + " " : text;
      },
      rc::gen::element<std::string>("", "", "", "-", "+", "\u2212", "--"),
      AnyIn(0, 16), AnyIn(0, 13),
      rc::gen::element<std::string>("", ".", ".", ",", "..", ".,"),
      rc::gen::weightedElement<std::string>({{6, ""}, {1, "e3"}, {1, "E-2"}, {1, "e+400"}, {1, "e"}}),
      rc::gen::weightedElement<bool>({{5, false}, {1, true}}), rc::gen::arbitrary<int>());
}

// One piece of typed text.
inline rc::Gen<std::string> TypedPiece() {
  static const std::vector<std::string> kWords = {
      "", " ", "   ", "\t", "A5", "7", "L12", "abc", "1.2.3", "12abc", "0x1A", "inf", "-inf",
      "nan", "Infinity", "1e309", "-1e-320", "1,5", "1.5,5", "\u00e9t\u00e9", "\u00b5S", "\u00df",
      "\u20ac", "\u03a9", "\u4e2d", "\U0001F600", "\x01", "\x7f", "\u0085", "\u00a0", "#", "\"",
      "$STARTED", "..", "/", "\\", "*", "?"};
  return rc::gen::weightedOneOf<std::string>({
      {5, TypedNumber()},
      {4, rc::gen::elementOf(kWords)},
      {1, rc::gen::map(AnyIn(12, 300), [](int n) { return std::string(static_cast<size_t>(n), '9'); })},
      {1, rc::gen::map(AnyIn(12, 80), [](int n) {
         std::string text;
         for (int i = 0; i < n; ++i) text += static_cast<char>('A' + i % 26);
         return text;
       })},
  });
}

// A whole field's text: one piece, or two or three run together.
inline rc::Gen<std::string> TypedText() {
  return rc::gen::weightedOneOf<std::string>({
      {4, TypedPiece()},
      {1, rc::gen::apply([](const std::string& a, const std::string& b) { return a + b; }, TypedPiece(),
                         TypedPiece())},
      {1, rc::gen::apply([](const std::string& a, const std::string& b, const std::string& c) { return a + b + c; },
                         TypedPiece(), TypedPiece(), TypedPiece())},
  });
}

}  // namespace tq::testing
