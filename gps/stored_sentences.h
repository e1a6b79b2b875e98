// GPS lines put back together from the data file records they were stored
// in: a first piece ("@" or "?"), continuations ("#" or '"'), then the "!"
// record with the tick of the line's "$". Records of other kinds may come
// between them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tq {

// One GPS line as the file holds it, complete.
struct StoredSentence {
  std::string_view text;  // without the padding of its last record
  uint32_t tick = 0;      // tick of its "$"
  bool good = false;      // stored as a sentence with a good checksum
};

class GpsSentenceAssembler {
 public:
  // Takes one GPS record; returns the line when the record is the "!" that
  // closes it (valid until the next call). A continuation or a "!" without
  // its first piece is dropped, and so is a line that grows beyond
  // kNmeaLineMax.
  std::optional<StoredSentence> Feed(std::span<const uint8_t> record);
  // Drops the line being put together: damage cut it.
  void Drop() {
    text_.clear();
    open_ = false;
  }

 private:
  std::string text_;
  bool open_ = false;
  bool good_ = false;
};

}  // namespace tq
