#include "instrument/decoding.h"

#include <algorithm>
#include <string_view>

#include "settings/build_config.h"
#include "settings/settings.h"

namespace tq {
namespace {

// A range figure and the factor that scales a raw field into physical units.
struct RangeScale {
  int16_t range;
  double factor;
};

struct AsciiFields {
  double field1;
  double field2;
};

void SetChannel(Reading& r, size_t channel, float value) {
  r.channels[channel] = ProfileChannel{value, true};
}

size_t DipoleOffset(const Reading& r) { return r.dipole == 'V' ? 0 : 1; }

float Scaled(double raw, double factor) { return static_cast<float>(raw * factor); }

// TQ62: range code to (range, k).
RangeScale Tq62Scale(int32_t code) {
  switch (code) {
    case 0: return {1000, -0.25};
    case 2: return {10, -0.0025};
    case 4: return {100, -0.025};
    case 6: return {1000, -0.25};
    default: return {1000, -0.0025};
  }
}

void DecodeTq62(const AsciiFields& f, const StatusFields& st, const AsciiDecodeSettings& set,
                Reading& r) {
  RangeScale scale = Tq62Scale(st.rangeCode);
  r.range = scale.range;
  double k = scale.factor;
  double c = f.field1;
  size_t v_or_h = DipoleOffset(r);
  if (set.component == 1) {
    if (r.battery) {
      r.conductivity = Scaled(c, k);
      r.inphase = Scaled(f.field2, k);
    } else {
      r.conductivity = static_cast<float>(c);
      r.inphase = set.tq62_variant == 1 ? static_cast<float>(c / 3.35) : Scaled(c, k * 0.25);
    }
    SetChannel(r, 2 + v_or_h, r.inphase);
    return;
  }
  r.conductivity = Scaled(c, k);
  if (r.battery) {
    r.inphase = Scaled(f.field2, k);
  } else {
    double inphase = f.field2 * -0.0025;
    if (set.tq62_variant == 1) inphase /= 3.35;
    r.inphase = static_cast<float>(inphase);
  }
  SetChannel(r, 0 + v_or_h, r.conductivity);
  SetChannel(r, 2 + v_or_h, r.inphase);
}

void DecodeTq68b(const AsciiFields& f, const StatusFields& st, const AsciiDecodeSettings&,
                 Reading& r) {
  int32_t code = st.rangeCode >= 4 ? st.rangeCode - 4 : st.rangeCode;
  double k_c = -0.1;
  double k_i = -0.00288;
  r.range = 100;
  r.range2 = 100;
  switch (code) {
    case 1: r.range = 1000; r.range2 = 100; k_c = -1.0; k_i = -0.00288; break;
    case 2: r.range = 100; r.range2 = 1000; k_c = -0.1; k_i = -0.0288; break;
    case 3: r.range = 1000; r.range2 = 1000; k_c = -1.0; k_i = -0.0288; break;
    default: break;
  }
  r.inphase = Scaled(f.field1, k_i / st.divider);
  r.conductivity = Scaled(f.field2, k_c / st.divider);
  size_t v_or_h = DipoleOffset(r);
  SetChannel(r, 0 + v_or_h, r.conductivity);
  SetChannel(r, 2 + v_or_h, r.inphase);
}

// The TQ68-DD carries both dipoles of one quantity in every frame.
void DecodeTq68dd(const AsciiFields& f, const StatusFields& st, const AsciiDecodeSettings&,
                  Reading& r) {
  int32_t code = st.rangeCode;
  double factor = 0.0;
  size_t first_channel = 0;
  if (code < 4) {
    r.quantity = 1;
    factor = code == 3 ? -0.0288 : -0.00288;
    first_channel = 2;
  } else {
    code -= 4;
    r.quantity = 2;
    factor = code == 3 ? -1.0 : -0.1;
    first_channel = 0;
  }
  r.range = code == 3 ? 1000 : 100;
  r.conductivity = Scaled(f.field1 / st.divider, factor);
  r.inphase = Scaled(f.field2 / st.divider, factor);
  SetChannel(r, first_channel, r.conductivity);
  SetChannel(r, first_channel + 1, r.inphase);
}

void DecodeTq68(const AsciiFields& f, const StatusFields& st, const AsciiDecodeSettings&,
                Reading& r) {
  int32_t code = st.rangeCode;
  bool conductivity_frame = code >= 4;
  if (conductivity_frame) code -= 4;
  r.quantity = conductivity_frame ? 2 : 1;
  double factor = 0.0;
  if (code == 3) {
    r.range = 1000;
    factor = conductivity_frame ? -1.0 : -0.0288;
  } else {
    r.range = 100;
    factor = conductivity_frame ? -0.1 : -0.00288;
  }
  float value = Scaled(f.field1, factor / st.divider);
  size_t v_or_h = DipoleOffset(r);
  if (conductivity_frame) {
    r.conductivity = value;
    SetChannel(r, 0 + v_or_h, value);
  } else {
    r.inphase = value;
    SetChannel(r, 2 + v_or_h, value);
  }
}

RangeScale Tq64Scale(int32_t code) {
  switch (code) {
    case 0: return {3, -0.00075};
    case 2: return {10, -0.0025};
    case 3: return {30, -0.0075};
    case 4: return {100, -0.025};
    case 5: return {300, -0.075};
    default: return {1000, -0.25};
  }
}

void DecodeTq64(const AsciiFields& f, const StatusFields& st, const AsciiDecodeSettings&,
                Reading& r) {
  RangeScale scale = Tq64Scale(st.rangeCode);
  r.range = scale.range;
  r.conductivity = Scaled(f.field1, scale.factor);
  r.inphase = static_cast<float>(st.separation);
  SetChannel(r, static_cast<size_t>(st.modeIndex), r.conductivity);
}

RangeScale Tq93Scale(int32_t code) {
  switch (code) {
    case 0: return {1000, -25.0};
    case 4: return {100, -2.5};
    case 6: return {1000, -25.0};
    default: return {10, -0.25};
  }
}

void DecodeTq93(const AsciiFields& f, const StatusFields& st, const AsciiDecodeSettings&,
                Reading& r) {
  RangeScale scale = Tq93Scale(st.rangeCode);
  r.range = scale.range;
  r.conductivity = Scaled(f.field1, scale.factor);
  r.inphase = Scaled(f.field2, -0.25);
  SetChannel(r, 0, r.conductivity);
  SetChannel(r, 2, r.inphase);
}

using AsciiDecoder = void (*)(const AsciiFields&, const StatusFields&, const AsciiDecodeSettings&,
                              Reading&);

// Kinds 0..5 in order.
constexpr AsciiDecoder kAsciiDecoders[] = {DecodeTq62, DecodeTq68b, DecodeTq68dd,
                                           DecodeTq68, DecodeTq64,  DecodeTq93};

// "T", three digits, "I", three digits: thickness in cm and the inphase.
Reading DecodeIceFrame(std::span<const uint8_t> frame) {
  Reading r;
  r.conductivity = static_cast<float>(ReadFrameNumber(frame, 1, 3) / 100.0);
  r.inphase = static_cast<float>(ReadFrameNumber(frame, 5, 3));
  r.dipole = 'V';
  r.range = 100;
  r.marker = 'N';
  SetChannel(r, 0, r.conductivity);
  SetChannel(r, 2, r.inphase);
  return r;
}

}  // namespace

StatusFields DecodeStatusByte(uint8_t status, int32_t kind, int32_t survey_mode) {
  StatusFields st;
  int32_t s = status;
  st.battery = (s & 1) != 0;
  // Exactly 128 is deliberately left as it is; only values above it lose the bit.
  if (s > 128) s -= 128;
  if (s >= 64) {
    st.marker = 'M';
    s -= 64;
  }
  if (survey_mode == kSurveyModeManual) st.marker = 'N';
  if (kind == kKindTq64) {
    int32_t base = 0;
    if (s >= 32) {
      st.dipole = 'H';
      base = 3;
      s -= 32;
    } else {
      st.dipole = 'V';
    }
    int32_t offset = 1;
    if (s >= 24) {
      st.separation = 40.0;
      offset = 2;
      s -= 24;
    } else if (s >= 16) {
      st.separation = 10.0;
      offset = 0;
      s -= 16;
    } else {
      if (s >= 8) s -= 8;
      st.separation = 20.0;
    }
    st.modeIndex = base + offset;
    st.rangeCode = s;
    return st;
  }
  if (s >= 32) {
    st.dipole = 'V';
    s -= 32;
  }
  if (s >= 16) {
    st.divider = 8.0;
    s -= 16;
  }
  if (s >= 8) s -= 8;
  st.rangeCode = s;
  return st;
}

int32_t ReadFrameNumber(std::span<const uint8_t> frame, size_t start, size_t length) {
  if (start >= frame.size()) return 0;
  auto field = frame.subspan(start, std::min(length, frame.size() - start));
  auto end = std::find(field.begin(), field.end(), uint8_t{0});
  std::string_view text(reinterpret_cast<const char*>(field.data()),
                        static_cast<size_t>(end - field.begin()));
  return ParseSettingsInteger(text);
}

Reading DecodeAsciiFrame(std::span<const uint8_t> frame, const AsciiDecodeSettings& settings) {
  if (settings.kind == kKindFrz62) return DecodeIceFrame(frame);
  Reading r;
  uint8_t status = frame.size() > 1 ? frame[1] : 0;
  StatusFields st = DecodeStatusByte(status, settings.kind, settings.survey_mode);
  r.battery = st.battery;
  r.marker = st.marker;
  r.dipole = st.dipole;
  AsciiFields fields{static_cast<double>(ReadFrameNumber(frame, kAsciiField1, kAsciiFieldLength)),
                     static_cast<double>(ReadFrameNumber(frame, kAsciiField2, kAsciiFieldLength))};
  int32_t kind = std::clamp(settings.kind, kKindTq62, kKindTq93);
  kAsciiDecoders[kind](fields, st, settings, r);
  return r;
}

double ConvertMk2Word(uint16_t word) {
  return (static_cast<double>(word * 5) / 1024.0 - 160.0) * 8.0;
}

Reading DecodeBinaryFrame(std::span<const uint8_t> frame, const Mk2Offsets& offsets) {
  Reading r;
  auto byte_at = [&](size_t i) -> uint16_t { return i < frame.size() ? frame[i] : 0; };
  for (size_t w = 0; w < r.rawWords.size(); ++w) {
    size_t at = kMk2WordOffset[w];
    r.rawWords[w] = static_cast<uint16_t>(byte_at(at) << 8 | byte_at(at + 1));
  }
  uint8_t status = static_cast<uint8_t>(byte_at(1));
  // The readers add 16 and 8 for the external and soft markers, so anything
  // but the instrument's own 2 (horizontal) and 6 (vertical) is marked.
  r.marker = (status == 2 || status == 6) ? 'N' : 'M';
  r.dipole = (status & 4) != 0 ? 'V' : 'H';
  bool vertical = r.dipole == 'V';
  double o1 = offsets[0];
  double o2 = offsets[1];
  double o_inphase = vertical ? offsets[2] : offsets[4];
  double o_inphase2 = vertical ? offsets[3] : offsets[5];
  r.conductivity = static_cast<float>(ConvertMk2Word(r.rawWords[kWordA]) + o1);
  r.inphase = static_cast<float>(ConvertMk2Word(r.rawWords[kWordB]) * 0.028819 - o_inphase);
  r.conductivity2 = static_cast<float>(ConvertMk2Word(r.rawWords[kWordC]) + o2);
  r.inphase2 = static_cast<float>(ConvertMk2Word(r.rawWords[kWordD]) * 0.00720475 - o_inphase2);
  size_t v_or_h = vertical ? 0 : 1;
  SetChannel(r, 0 + v_or_h, r.conductivity);
  SetChannel(r, 2 + v_or_h, r.inphase);
  SetChannel(r, 4 + v_or_h, r.conductivity2);
  SetChannel(r, 6 + v_or_h, r.inphase2);
  return r;
}

}  // namespace tq
