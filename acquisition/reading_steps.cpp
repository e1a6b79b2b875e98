#include "acquisition/reading_steps.h"

#include <algorithm>

#include "acquisition/reading_steps_panel.h"
#include "ice/ice_thickness.h"

namespace tq {
namespace {

constexpr uint8_t kReducedMarkerBit = 64;

bool IsLogging(const ReadingRun& run) { return run.logging == LoggingState::Logging; }

bool IsManual(const SettingsStore& s, const ReadingHandlerState& state) {
  return EffectiveSurveyMode(s, state) == kSurveyModeManual;
}

bool TakeBatteryTurn(ReadingHandlerState& state, uint32_t tick) {
  // Unsigned difference: the 32-bit tick may wrap during a run.
  if (static_cast<uint32_t>(tick - state.LastBatteryTick) <= kBatteryDisplayPeriodMs) return false;
  state.LastBatteryTick = tick;
  return true;
}

// Counts one sample of an average; true when it completes the average.
bool CountSample(const SettingsStore& s, ReadingHandlerState& state, PanelUpdate& panel) {
  ++state.sums.samples;
  panel.sample = FormatSampleText(state.sums.samples, s.SamplesPerReading);
  return state.sums.samples >= s.SamplesPerReading;
}

// Adds an ASCII sample; on the last one the reading takes the averages.
bool AddAsciiSample(std::span<const uint8_t> frame, const ReadingRun& run, const SettingsStore& s,
                    ReadingHandlerState& state, Reading& r, PanelUpdate& panel) {
  AverageSums& sums = state.sums;
  sums.field1 += static_cast<float>(ReadFrameNumber(frame, kAsciiField1, kAsciiFieldLength));
  if (run.FrameLength > 7 && run.InstrumentKind != kKindTq68) {
    sums.field2 += static_cast<float>(ReadFrameNumber(frame, kAsciiField2, kAsciiFieldLength));
  }
  sums.conductivity += r.conductivity;
  sums.inphase += r.inphase;
  if (!CountSample(s, state, panel)) return false;
  auto n = static_cast<float>(sums.samples);
  r.conductivity = sums.conductivity / n;
  r.inphase = sums.inphase / n;
  state.field1_average = sums.field1 / n;
  state.field2_average = sums.field2 / n;
  sums = AverageSums{};
  return true;
}

// Adds a binary sample; on the last one the reading takes the averages and
// `averaged` the frame to record: the first sample's start and status bytes,
// then C, D, A, B, E, F high byte first, as on the wire.
bool AddBinarySample(std::span<const uint8_t> frame, const SettingsStore& s,
                     ReadingHandlerState& state, Reading& r, PanelUpdate& panel,
                     RecordFrame& averaged) {
  AverageSums& sums = state.sums;
  if (sums.samples == 0) {
    sums.start_byte = frame.size() > 0 ? frame[0] : 0;
    sums.status_byte = frame.size() > 1 ? frame[1] : 0;
  }
  sums.conductivity += r.conductivity;
  sums.inphase += r.inphase;
  sums.conductivity2 += r.conductivity2;
  sums.inphase2 += r.inphase2;
  for (size_t w = 0; w < sums.words.size(); ++w) sums.words[w] += r.rawWords[w];
  if (!CountSample(s, state, panel)) return false;
  auto n = static_cast<float>(sums.samples);
  r.conductivity = sums.conductivity / n;
  r.inphase = sums.inphase / n;
  r.conductivity2 = sums.conductivity2 / n;
  r.inphase2 = sums.inphase2 / n;
  averaged = RecordFrame{};
  averaged.length = kBinaryRecordFrameLength;
  averaged.bytes[0] = sums.start_byte;
  averaged.bytes[1] = sums.status_byte;
  for (size_t w = 0; w < sums.words.size(); ++w) {
    r.rawWords[w] = static_cast<uint16_t>(sums.words[w] / sums.samples);
    averaged.bytes[kMk2WordOffset[w]] = static_cast<uint8_t>(r.rawWords[w] >> 8);
    averaged.bytes[kMk2WordOffset[w] + 1] = static_cast<uint8_t>(r.rawWords[w] & 0xFF);
  }
  sums = AverageSums{};
  return true;
}

// The frame padded with spaces to 13 characters.
RecordFrame AsciiRecordFrame(std::span<const uint8_t> frame, int32_t frame_length) {
  RecordFrame record;
  record.length = kAsciiRecordFrameLength;
  std::fill_n(record.bytes.begin(), record.length, uint8_t{' '});
  size_t keep = std::min({frame.size(), static_cast<size_t>(std::max(frame_length, 0)),
                          kAsciiRecordFrameLength});
  std::copy_n(frame.begin(), keep, record.bytes.begin());
  return record;
}

// Puts the first five characters of "%+05d" of the average's integer part at `at`.
void PutAveragedField(RecordFrame& record, size_t at, float average) {
  FieldText text;
  text.AppendSignedZeroPadded(static_cast<int64_t>(average), 5);
  std::copy_n(text.view().begin(), kAsciiFieldLength, record.bytes.begin() + static_cast<ptrdiff_t>(at));
}

// Counts a reading whose record is built in `out`: its marker digit, the
// station advance, the beep, the station fields and the live profile step.
void LogRecordedReading(int32_t kind, bool beep_every_reading, ReadingHandlerState& state,
                        SurveyPosition position, ReadingStep& out) {
  const SettingsStore& s = position.settings;
  MarkerDigit digit = OnReadingLogged(position, kind);
  if (digit != kNoMarkerDigit) out.record.bytes[0] = static_cast<uint8_t>(digit);
  out.write_record = true;
  if (s.Audio == 1) {
    if (beep_every_reading) {
      out.beep = true;
    } else if (++state.beep_counter >= s.ReadingsPerSecond) {
      out.beep = true;
      state.beep_counter = 0;
    }
  }
  out.panel.station = FormatStationText(s.CurrentStation);
  if (kind != kKindFrz62 && s.ReadingsPerStation > 1) {
    out.panel.station_count.AppendInt(position.group.StationReadingCount, 1, false);
  }
  out.profile_step = true;
  out.profile_rows = ComputeProfileRows(out.reading.channels, s, kind);
  out.completes_station = position.group.StationReadingCount == 0;
}

// The trigger, averaging and recording shared by the ASCII and binary kinds.
// `add_sample` returns true when it completes an average, `build_record`
// returns the record frame, `show_values` fills the value texts.
template <typename AddSample, typename BuildRecord, typename ShowValues>
void DecideTriggeredReading(int32_t kind, bool marked, const ReadingRun& run,
                            ReadingHandlerState& state, SurveyPosition position, ReadingStep& out,
                            AddSample add_sample, BuildRecord build_record,
                            ShowValues show_values) {
  const SettingsStore& s = position.settings;
  state.TriggerState = NextTriggerState(state.TriggerState, marked, IsManual(s, state));
  bool recording = IsLogging(run) && state.TriggerState == 1;
  // Until an average completes only the sample count, marker and battery show.
  bool show = true;
  if (recording && state.AveragingActive == 1) show = recording = add_sample();
  if (recording) {
    out.record = build_record();
    LogRecordedReading(kind, false, state, position, out);
  }
  if (show) show_values();
  bool blank_marker = (IsLogging(run) && IsManual(s, state)) || !marked;
  out.panel.marker.Append(blank_marker ? ' ' : 'M');
  out.panel.battery_due = TakeBatteryTurn(state, run.tick);
}

// Kind 0 with the ice option: the thickness of a horizontal-dipole reading,
// plotted on channel 4 when the profile shows thickness and it is in range.
float ApplyIceOption(const SettingsStore& s, Reading& r) {
  constexpr size_t kThicknessChannel = 4;
  if (r.dipole != 'H') {
    r.channels[kThicknessChannel] = ProfileChannel{kIceThickerThanTable, false};
    return kIceThickerThanTable;
  }
  IceProfileSlot slot;
  float thickness = ConductivityToIceThickness(r.conductivity, static_cast<uint32_t>(s.SeaWaterIndex),
                                               s, &slot);
  // An out-of-range thickness is shown as such but never plotted.
  if (slot.present && thickness >= 0.0f) r.channels[kThicknessChannel] = ProfileChannel{slot.value, true};
  return thickness;
}

}  // namespace

int32_t ComputeAveragingActive(const SettingsStore& s, int32_t kind) {
  return (s.SurveyMode == kSurveyModeManual && s.SamplesPerReading > 1 && kind != kKindFrz62) ? 1
                                                                                              : 0;
}

ReadingHandlerState BeginReadingRun(const SettingsStore& s, int32_t kind, uint32_t battery_tick) {
  ReadingHandlerState state;
  state.AveragingActive = ComputeAveragingActive(s, kind);
  state.LastBatteryTick = battery_tick;
  return state;
}

void StartLogging(ReadingHandlerState& state) {
  state.TriggerState = 0;
  state.beep_counter = 0;
  state.sums = AverageSums{};
}

int32_t EffectiveSurveyMode(const SettingsStore& s, const ReadingHandlerState& state) {
  return state.sums.samples > 0 ? kSurveyModeAuto : s.SurveyMode;
}

int32_t NextTriggerState(int32_t previous, bool marked, bool manual) {
  if (!marked) return manual ? 0 : 1;
  if (!manual) return 1;
  return previous == 0 ? 1 : -1;
}

ReadingStep DecideInstrumentReading(std::span<const uint8_t> frame, const ReadingRun& run,
                                    ReadingHandlerState& state, SurveyPosition position) {
  const SettingsStore& s = position.settings;
  const int32_t kind = run.InstrumentKind;
  ReadingStep out;
  Reading& r = out.reading;
  r = DecodeAsciiFrame(frame, AsciiDecodeSettings{kind, EffectiveSurveyMode(s, state), s.Component,
                                                  s.Tq62Variant});
  if (kind == kKindTq62 && s.IceOption == 1) out.thickness = ApplyIceOption(s, r);
  out.panel.instrument_mode = FormatInstrumentMode(kind, s, run.began_manual);

  // The trigger and the marker field drop the top bit of any status of 128 or
  // more (the decoder keeps exactly 128 whole).
  uint8_t status = frame.size() > 1 ? frame[1] : 0;
  if (status >= 128) status = static_cast<uint8_t>(status - 128);
  bool marked = status >= kReducedMarkerBit;

  DecideTriggeredReading(
      kind, marked, run, state, position, out,
      [&] { return AddAsciiSample(frame, run, s, state, r, out.panel); },
      [&] {
        RecordFrame record = AsciiRecordFrame(frame, run.FrameLength);
        if (state.AveragingActive == 1) {
          PutAveragedField(record, kAsciiField1, state.field1_average);
          if (run.FrameLength > 7 && kind != kKindTq68) {
            PutAveragedField(record, kAsciiField2, state.field2_average);
          }
        }
        return record;
      },
      [&] { FormatInstrumentValues(r, kind, s, run.Portrait, out.thickness, out.panel); });
  return out;
}

ReadingStep DecideIceReading(std::span<const uint8_t> frame, const ReadingRun& run,
                             ReadingHandlerState& state, SurveyPosition position) {
  const SettingsStore& s = position.settings;
  ReadingStep out;
  out.reading = DecodeAsciiFrame(frame, AsciiDecodeSettings{kKindFrz62, s.SurveyMode, s.Component,
                                                            s.Tq62Variant});
  if (IsLogging(run)) {
    out.record = AsciiRecordFrame(frame, run.FrameLength);
    LogRecordedReading(kKindFrz62, true, state, position, out);
  }
  FormatIceValues(out.reading, out.panel);
  out.panel.battery_due = TakeBatteryTurn(state, run.tick);
  return out;
}

ReadingStep DecideBinaryReading(std::span<const uint8_t> frame, const ReadingRun& run,
                                ReadingHandlerState& state, SurveyPosition position) {
  const SettingsStore& s = position.settings;
  ReadingStep out;
  Reading& r = out.reading;
  r = DecodeBinaryFrame(frame, s.Mk2Calibration);
  out.panel.instrument_mode = FormatInstrumentMode(kKindTq68Mk2, s, run.began_manual);

  RecordFrame averaged;
  DecideTriggeredReading(
      kKindTq68Mk2, r.marker == 'M', run, state, position, out,
      [&] { return AddBinarySample(frame, s, state, r, out.panel, averaged); },
      [&] {
        if (state.AveragingActive == 1) return averaged;
        RecordFrame record;
        record.length = kBinaryRecordFrameLength;
        std::copy_n(frame.begin(), std::min(frame.size(), kBinaryRecordFrameLength),
                    record.bytes.begin());
        return record;
      },
      [&] { FormatBinaryValues(r, s, run.Portrait, out.panel); });
  return out;
}

}  // namespace tq
