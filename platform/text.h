// Text between the program and its files: strings in the program are UTF-8,
// files hold one 8-bit character per character (U+0000..U+00FF as one byte).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tq {

// Bytes taken by the character at `at`: a whole UTF-8 sequence, or one byte
// when the bytes there are not UTF-8.
size_t Utf8CharacterBytes(std::string_view text, size_t at);

// The character at `at`: its code point, or the byte itself when the bytes
// there are not UTF-8 (a file's 8-bit character read as its own code).
uint32_t Utf8CharacterAt(std::string_view text, size_t at);

// Whether a record or settings line can hold `code` as a person's text: the
// 8-bit set without its control characters (below U+0020, U+007F..U+009F).
// A control byte there ends a line or reads as damage, and a character
// above U+00FF would be stored as a byte nobody typed.
bool IsStorableCharacter(uint32_t code);

// Where the first character of `utf8` that IsStorableCharacter refuses
// begins; nothing when every one is storable.
std::optional<size_t> FindUnstorableCharacter(std::string_view utf8);

// One byte per character; each character IsStorableCharacter refuses
// becomes "?", so no text written to a file ever carries a control byte or
// a byte other than the one typed.
std::string NarrowTo8Bit(std::string_view utf8);

// The first `count` characters of `utf8`, never part of one.
std::string_view FirstCharacters(std::string_view utf8, size_t count);

// Each byte of file text as the character of that code, in UTF-8.
std::string WidenFrom8Bit(std::string_view bytes);

// printf "%<width>.<precision>f" of `value` as the C locale prints it. Qt sets
// LC_NUMERIC from the environment, and a "12,50" in a file is a number no
// reader takes; every number a file or a line holds is written this way.
std::string FormatFixed(double value, int precision, int width = 0);

}  // namespace tq
