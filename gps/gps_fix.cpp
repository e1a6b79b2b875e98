#include "gps/gps_fix.h"

#include <algorithm>

namespace tq {

GpsFixState GpsFix;

PostedSentence MakePostedSentence(std::string_view line, bool valid) {
  PostedSentence s;
  size_t n = std::min(line.size(), kLastSentenceSize - 1);
  std::copy_n(line.begin(), n, s.text.begin());
  s.text[n] = 0;
  s.length = static_cast<uint32_t>(n);
  s.valid = valid;
  return s;
}

PostedSentence GpsFixState::LastSentence() const {
  std::lock_guard lock(mutex_);
  return last_;
}

void GpsFixState::StoreLastSentence(std::string_view line, bool valid) {
  PostedSentence copy = MakePostedSentence(line, valid);
  std::lock_guard lock(mutex_);
  last_ = copy;
}

bool GpsFixState::PostSentence(WindowHandle window, uint32_t message, std::string_view line,
                               bool valid) {
  return sentences_.Post(window, message, MakePostedSentence(line, valid), DroppedSentences);
}

bool GpsFixState::TakeSentence(PostedSentence* out) { return sentences_.Take(out); }

void GpsFixState::ClearSentences() { sentences_.Clear(); }

}  // namespace tq
