#include "tools/tqexport/text_out.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

namespace tq::exporter {

void AppendUtf8(std::string_view text, std::string& out) {
  for (char c : text) {
    const auto byte = static_cast<uint8_t>(c);
    if (byte < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
}

void TextOut::PutFixed(double value, int decimals) {
  static constexpr std::array<double, 10> kScale = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
  if (!std::isfinite(value)) return;
  // Most values are decided by the scaled value rounded to an integer: the
  // product is off by half a unit in its last place at most, so only a
  // product that lands next to a half needs the exact conversion.
  if (decimals >= 0 && decimals < static_cast<int>(kScale.size())) {
    const double scaled = value * kScale[static_cast<size_t>(decimals)];
    const double rounded = std::nearbyint(scaled);
    const double margin = 0.5 - std::fabs(scaled - rounded);
    if (std::fabs(scaled) < 0x1p52 && margin > std::fabs(scaled) * 0x1p-50) {
      auto units = static_cast<uint64_t>(std::fabs(rounded));
      char text[40];
      char* at = text + sizeof text;
      for (int i = 0; i < decimals; ++i) {
        *--at = static_cast<char>('0' + units % 10);
        units /= 10;
      }
      if (decimals > 0) *--at = '.';
      do {
        *--at = static_cast<char>('0' + units % 10);
        units /= 10;
      } while (units > 0);
      if (std::signbit(value)) *--at = '-';
      Put(std::string_view(at, static_cast<size_t>(text + sizeof text - at)));
      return;
    }
  }
  char text[400];  // the widest double in fixed notation fits
  const auto [end, error] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  if (error == std::errc()) Put(std::string_view(text, static_cast<size_t>(end - text)));
}

void TextOut::PutInt(int64_t value) {
  char text[24];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value);
  if (error == std::errc()) Put(std::string_view(text, static_cast<size_t>(end - text)));
}

void TextOut::PutCsvText(std::string_view text) {
  bool plain = true;
  for (char c : text) {
    plain = plain && c != ',' && c != '"' && c != '\r' && c != '\n' && static_cast<uint8_t>(c) < 0x80;
  }
  if (plain) {
    Put(text);
    return;
  }
  const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos;
  if (quote) buffer_.push_back('"');
  for (char c : text) {
    if (c == '"') buffer_.push_back('"');
    AppendUtf8(std::string_view(&c, 1), buffer_);
  }
  if (quote) buffer_.push_back('"');
  if (buffer_.size() >= kDrainAt) Drain();
}

void TextOut::PutJsonString(std::string_view text) {
  buffer_.push_back('"');
  for (char c : text) {
    const auto byte = static_cast<uint8_t>(c);
    if (c == '"' || c == '\\') {
      buffer_.push_back('\\');
      buffer_.push_back(c);
    } else if (byte < 0x20 || byte == 0x7F) {
      static constexpr char kHex[] = "0123456789abcdef";
      buffer_.append("\\u00");
      buffer_.push_back(kHex[byte >> 4]);
      buffer_.push_back(kHex[byte & 0xF]);
    } else {
      AppendUtf8(std::string_view(&c, 1), buffer_);
    }
  }
  buffer_.push_back('"');
  if (buffer_.size() >= kDrainAt) Drain();
}

void TextOut::Drain() {
  if (fd_ < 0) return;
  size_t done = 0;
  while (done < buffer_.size() && !failed()) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 ? std::strerror(errno) : "nothing written";
      break;
    }
    done += static_cast<size_t>(n);
  }
  buffer_.clear();
}

bool TextOut::Flush() {
  Drain();
  return !failed();
}

}  // namespace tq::exporter
