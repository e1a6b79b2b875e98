// Text between the program and its files: strings in the program are UTF-8,
// files hold one 8-bit character per character (its low 8 bits).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tq {

// Bytes taken by the character at `at`: a whole UTF-8 sequence, or one byte
// when the bytes there are not UTF-8.
size_t Utf8CharacterBytes(std::string_view text, size_t at);

// Each character's low 8 bits, one byte per character; bytes that are not
// UTF-8 pass through as they are.
std::string NarrowTo8Bit(std::string_view utf8);

// Each byte of file text as the character of that code, in UTF-8.
std::string WidenFrom8Bit(std::string_view bytes);

// printf "%<width>.<precision>f" of `value` as the C locale prints it. Qt sets
// LC_NUMERIC from the environment, and a "12,50" in a file is a number no
// reader takes; every number a file or a line holds is written this way.
std::string FormatFixed(double value, int precision, int width = 0);

}  // namespace tq
