// Buffered text output for the exports: numbers in the C locale whatever the
// environment says, and the 8-bit text of data files as UTF-8 in CSV and
// JSON.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tq::exporter {

class TextOut {
 public:
  // Writes to the open descriptor `fd`; with fd < 0 keeps everything in
  // memory (text()).
  explicit TextOut(int fd = -1) : fd_(fd) {}

  void Put(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= kDrainAt) Drain();
  }
  void Put(char c) {
    buffer_.push_back(c);
    if (buffer_.size() >= kDrainAt) Drain();
  }
  // `value` as "%.Nf" would print it in the C locale; "nan" or "inf" never
  // appear: a value that is not finite prints nothing.
  void PutFixed(double value, int decimals);
  void PutInt(int64_t value);
  // Data-file text (8-bit characters) as one CSV cell, quoted when it holds
  // a comma, a quote or a line end.
  void PutCsvText(std::string_view text);
  // Data-file text as a JSON string, quotes included.
  void PutJsonString(std::string_view text);

  // Writes out what is buffered; false when a write failed (then or before).
  bool Flush();
  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }
  // What was put, for fd < 0.
  const std::string& text() const { return buffer_; }

 private:
  static constexpr size_t kDrainAt = 64 * 1024;
  void Drain();

  int fd_;
  std::string buffer_;
  std::string error_;
};

// Appends 8-bit data-file text as UTF-8 (each byte is one character).
void AppendUtf8(std::string_view text, std::string& out);

}  // namespace tq::exporter
