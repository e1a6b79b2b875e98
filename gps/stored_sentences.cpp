#include "gps/stored_sentences.h"

#include "gps/nmea.h"
#include "survey/record_layout.h"
#include "survey/record_tick.h"

namespace tq {

std::optional<StoredSentence> GpsSentenceAssembler::Feed(std::span<const uint8_t> record) {
  if (record.empty()) return std::nullopt;
  const char letter = static_cast<char>(record[0]);
  if (letter == kGpsTickLetter) {
    const bool was_open = open_;
    open_ = false;
    const std::optional<uint32_t> tick = ParseTick(record);
    if (!was_open || !tick) return std::nullopt;
    // The last piece is padded with spaces up to its LF.
    const size_t end = text_.find_last_not_of(' ');
    text_.resize(end == std::string::npos ? 0 : end + 1);
    return StoredSentence{text_, *tick, good_};
  }
  // The piece: everything between the prefix and the LF.
  const std::string_view piece(reinterpret_cast<const char*>(record.data()) + 1,
                               record.size() >= 2 ? record.size() - 2 : 0);
  if (letter == kGpsFirstLetter || letter == kGpsBadFirstLetter) {
    text_.assign(piece);
    open_ = true;
    good_ = letter == kGpsFirstLetter;
  } else if (open_ && (letter == kGpsContinuationLetter || letter == kGpsBadContinuationLetter)) {
    if (text_.size() > kNmeaLineMax) {
      open_ = false;  // no GPS line is this long: the "!" went missing
    } else {
      text_.append(piece);
    }
  }
  return std::nullopt;
}

}  // namespace tq
