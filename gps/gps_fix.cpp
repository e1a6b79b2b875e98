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
  PostedSentence copy = MakePostedSentence(line, valid);
  {
    std::lock_guard lock(mutex_);
    if (count_ == queue_.size()) {
      DroppedSentences.fetch_add(1);
      return false;
    }
    queue_[(head_ + count_) % queue_.size()] = copy;
    ++count_;
  }
  // Queued first so the window finds the copy whenever it handles the message;
  // taken back when no message will come for it.
  if (PostMessage(window, message)) return true;
  std::lock_guard lock(mutex_);
  if (count_ > 0) --count_;
  return false;
}

bool GpsFixState::TakeSentence(PostedSentence* out) {
  std::lock_guard lock(mutex_);
  if (count_ == 0) return false;
  *out = queue_[head_];
  head_ = (head_ + 1) % queue_.size();
  --count_;
  return true;
}

void GpsFixState::ClearSentences() {
  std::lock_guard lock(mutex_);
  head_ = 0;
  count_ = 0;
}

}  // namespace tq
