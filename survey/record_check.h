// Whether a run of bytes is a whole data file record: the one test every
// reader applies before it trusts a record, so that a byte inserted into or
// lost from the middle of a file (a flaky card, a copy cut and resumed, two
// files glued together) is seen where it happens instead of shifting every
// later record out of alignment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tq {

// True when `record` (24 or 26 bytes, its length being the file's record
// length) is whole: it ends in LF and its fields have their form. Its first
// byte is a record letter ("H" and the body letters); a reading, "C", "X"
// and "!" hold a space and then a tick field, "*" a tick field, the ten
// places before the LF holding digits or spaces (or a minus sign); the
// other records hold no control characters, except that GPS pieces may
// hold any byte but LF, as the receiver sent it, and a TQ68-MK2 reading's
// binary bytes may be anything, LF included. False for any other length.
// Header 1 is told by its place and not by this test.
bool IsWholeRecord(std::span<const uint8_t> record);

// How many records of `record_length` bytes, one after the other from the
// start of `bytes`, pass IsWholeRecord: the same test, made in one pass over
// a buffer of records.
size_t WholeRecordsAt(std::span<const uint8_t> bytes, size_t record_length);

}  // namespace tq
