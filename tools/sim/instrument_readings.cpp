#include "tools/sim/instrument_readings.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "settings/build_config.h"
#include "tools/sim/frame_encoding.h"

namespace tq::sim {
namespace {

struct ReadingContext {
  const WalkSample& sample;
  int frame_length;
  uint64_t frame_index;
};

using KindEncoder = std::vector<uint8_t> (*)(const ReadingContext&);

// A range of an instrument: the status code that selects it and the factor
// the logger multiplies the field by.
struct Range {
  int code;
  double factor;
};

long FieldFor(double value, double factor) { return std::lround(value / factor); }

bool Fits(double value, double factor) { return std::fabs(value / factor) <= 9999.0; }

// The finest of `ranges` (ordered fine to coarse) that holds every value.
Range FinestRange(std::initializer_list<Range> ranges, std::initializer_list<double> values) {
  for (const Range& r : ranges) {
    if (std::all_of(values.begin(), values.end(), [&](double v) { return Fits(v, r.factor); })) {
      return r;
    }
  }
  return *(ranges.end() - 1);
}

AsciiStatus StatusOf(const WalkSample& s, int range_code) {
  AsciiStatus status;
  status.marker = s.marker;
  status.vertical = s.vertical;
  status.range_code = range_code;
  return status;
}

std::vector<uint8_t> EncodeTq62(const ReadingContext& c) {
  const WalkSample& s = c.sample;
  Range r = FinestRange({{2, -0.0025}, {4, -0.025}, {6, -0.25}}, {s.conductivity});
  return EncodeAsciiFrame(EncodeAsciiStatus(StatusOf(s, r.code)), FieldFor(s.conductivity, r.factor),
                          FieldFor(s.inphase, -0.0025));
}

std::vector<uint8_t> EncodeTq68b(const ReadingContext& c) {
  const WalkSample& s = c.sample;
  // Code bit 0 picks the coarse conductivity range, bit 1 the coarse inphase.
  bool coarse_c = !Fits(s.conductivity, -0.1);
  bool coarse_i = !Fits(s.inphase, -0.00288);
  int code = (coarse_c ? 1 : 0) + (coarse_i ? 2 : 0);
  return EncodeAsciiFrame(EncodeAsciiStatus(StatusOf(s, code)),
                          FieldFor(s.inphase, coarse_i ? -0.0288 : -0.00288),
                          FieldFor(s.conductivity, coarse_c ? -1.0 : -0.1));
}

// Kinds 2 and 3: a frame carries either conductivity (code 4 and up) or
// inphase, for the first and second geometry; code 3 is the coarse range.
struct QuantityFrame {
  uint8_t status;
  long field1;
  long field2;
};

QuantityFrame EncodeQuantity(const ReadingContext& c) {
  const WalkSample& s = c.sample;
  bool conductivity = c.frame_index % 2 == 0;
  double v1 = conductivity ? s.conductivity : s.inphase;
  double v2 = conductivity ? s.conductivity2 : s.inphase2;
  Range r = conductivity ? FinestRange({{4, -0.1}, {7, -1.0}}, {v1, v2})
                         : FinestRange({{0, -0.00288}, {3, -0.0288}}, {v1, v2});
  return {EncodeAsciiStatus(StatusOf(s, r.code)), FieldFor(v1, r.factor), FieldFor(v2, r.factor)};
}

std::vector<uint8_t> EncodeTq68dd(const ReadingContext& c) {
  QuantityFrame q = EncodeQuantity(c);
  return EncodeAsciiFrame(q.status, q.field1, q.field2);
}

std::vector<uint8_t> EncodeTq68(const ReadingContext& c) {
  QuantityFrame q = EncodeQuantity(c);
  if (c.frame_length == 7) return EncodeAsciiFrame(q.status, q.field1);
  return EncodeAsciiFrame(q.status, q.field1, q.field2);
}

std::vector<uint8_t> EncodeTq64(const ReadingContext& c) {
  const WalkSample& s = c.sample;
  Range r = FinestRange({{0, -0.00075}, {2, -0.0025}, {3, -0.0075}, {4, -0.025}, {5, -0.075},
                         {6, -0.25}},
                        {s.conductivity});
  Tq64Status status;
  status.marker = s.marker;
  status.vertical = s.vertical;
  status.separation_m = 20;
  status.range_code = r.code;
  // The logger reads only the first field of this instrument.
  return EncodeAsciiFrame(EncodeTq64Status(status), FieldFor(s.conductivity, r.factor), 0);
}

std::vector<uint8_t> EncodeTq93(const ReadingContext& c) {
  const WalkSample& s = c.sample;
  Range r = FinestRange({{1, -0.25}, {4, -2.5}, {0, -25.0}}, {s.conductivity});
  return EncodeAsciiFrame(EncodeAsciiStatus(StatusOf(s, r.code)), FieldFor(s.conductivity, r.factor),
                          FieldFor(s.inphase, -0.25));
}

std::vector<uint8_t> EncodeFrz62(const ReadingContext& c) {
  return EncodeIceFrame(static_cast<int>(std::lround(c.sample.ice_thickness_m * 100.0)),
                        c.sample.ice_inphase);
}

std::vector<uint8_t> EncodeTq68Mk2(const ReadingContext& c) {
  const WalkSample& s = c.sample;
  Mk2Values values{s.conductivity, s.inphase, s.conductivity2, s.inphase2};
  // E and F are only recorded by the logger; a quiet mid-scale word will do.
  uint16_t idle = Mk2WordFor(0.0);
  auto frame = EncodeBinaryFrame('T', s.vertical ? kMk2StatusVertical : kMk2StatusHorizontal,
                                 Mk2WordsFor(values, idle, idle));
  return {frame.begin(), frame.end()};
}

constexpr KindEncoder kEncoders[kKindCount] = {EncodeTq62, EncodeTq68b,  EncodeTq68dd, EncodeTq68,
                                               EncodeTq64, EncodeTq93,  EncodeFrz62,  EncodeTq68Mk2};

}  // namespace

int FramePeriodMs(int kind, int frame_length) {
  if (kind == kKindTq68Mk2) return 47;
  if (kind == kKindFrz62) return 1000;
  if (kind == kKindTq68 && frame_length == 7) return 72;
  return 91;
}

std::vector<uint8_t> EncodeReading(int kind, int frame_length, const WalkSample& sample,
                                   uint64_t frame_index) {
  if (kind < 0 || kind >= kKindCount) return {};
  return kEncoders[kind](ReadingContext{sample, frame_length, frame_index});
}

}  // namespace tq::sim
