// The GPS fix record shared by the GPS reader threads and the window thread,
// and the sentences the reader posts to the logging window.
//
// Each posted sentence carries its own copy of the line, so a window that
// is busy for a moment shows every line as it was received and never reads a
// buffer the reader is overwriting. Single-word fields are atomics; the text
// buffers sit behind a mutex that is only held to copy a line.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string_view>

#include "platform/messages.h"
#include "platform/posted_queue.h"

namespace tq {

// LastSentence's size: 127 characters and the terminating 0. Longer lines are
// shown cut to this; the data file keeps them whole.
inline constexpr size_t kLastSentenceSize = 128;

// One line as the logging window gets it.
struct PostedSentence {
  std::array<char, kLastSentenceSize> text{};  // cut to 127 characters, 0-terminated
  uint32_t length = 0;
  bool valid = false;  // the line passed its checksum
  std::string_view view() const { return std::string_view(text.data(), length); }
};

// Sentences posted but not yet taken; a window this far behind has the
// newest dropped (and counted) rather than the reader held.
inline constexpr size_t kPostedSentenceCapacity = 32;

class GpsFixState {
 public:
  // 1 while GpsReader runs, 2 once it has left its loop, 0 before it starts.
  std::atomic<int32_t> GpsReaderRunning{0};
  // GGA sentences shown while logging (window thread).
  std::atomic<int32_t> SentenceCounter{0};
  // 1 while the logging run is in Logging: the reader then records every line.
  std::atomic<int32_t> Recording{0};
  // Sentences the queue had to drop, and GPS record groups that failed to write.
  std::atomic<uint32_t> DroppedSentences{0};
  std::atomic<uint32_t> FailedWrites{0};
  // "\" or "/", flipped by every good GGA sentence shown (window thread).
  char ActivityMark = '\\';

  // The last complete line (cut to 127 characters) and whether it passed its
  // checksum.
  PostedSentence LastSentence() const;
  void StoreLastSentence(std::string_view line, bool valid);

  // Queues a copy of `line` and posts `message` to `window`. False, with
  // nothing queued, when the queue is full (counted in DroppedSentences) or
  // the window refuses the message.
  bool PostSentence(WindowHandle window, uint32_t message, std::string_view line, bool valid);
  // Takes the oldest queued sentence; false when none is queued.
  bool TakeSentence(PostedSentence* out);
  // Forgets queued sentences; the reader calls it when it starts.
  void ClearSentences();

 private:
  mutable std::mutex mutex_;
  PostedSentence last_;
  PostedQueue<PostedSentence, kPostedSentenceCapacity> sentences_;
};

// Copies `line` into a sentence, cut to 127 characters.
PostedSentence MakePostedSentence(std::string_view line, bool valid);

// The process-wide record.
extern GpsFixState GpsFix;

}  // namespace tq
