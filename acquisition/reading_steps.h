// What one reading message makes the logging window do.
//
// A step takes the frame of the message, facts about the logging run, the
// state the handlers keep between messages and the survey position, and
// returns the record to write, whether to beep, every panel text to draw and
// the live profile rows. The window handlers (OnInstrumentReading,
// OnIceReading, OnBinaryReading) only call a step, then write, draw and plot
// what it says, and clear LastFrame's first byte.
//
// While an average is being taken the handheld switched SurveyMode to Auto;
// here that is the handler state's business (EffectiveSurveyMode), and the
// settings store's SurveyMode is never touched, so a save meanwhile cannot
// store the wrong mode.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "instrument/decoding.h"
#include "instrument/decoding_profile.h"
#include "instrument/decoding_text.h"
#include "settings/settings.h"
#include "survey/survey_position.h"

namespace tq {

// The run states of the logging window.
enum class LoggingState : int32_t { Monitor = 0, StandBy = -1, Logging = 1 };

// Facts about the logging run that a step reads and never changes.
struct ReadingRun {
  int32_t InstrumentKind = kKindTq68Mk2;
  LoggingState logging = LoggingState::Monitor;
  bool began_manual = false;  // SurveyMode was Manual when the run started
  bool Portrait = true;
  int32_t FrameLength = 12;   // FrameLength of the frames being decoded
  uint32_t tick = 0;          // Tick() when the message is handled
};

// Sums of the average being taken; samples > 0 while one is under way.
struct AverageSums {
  int32_t samples = 0;
  float conductivity = 0.0f;
  float inphase = 0.0f;
  float conductivity2 = 0.0f;
  float inphase2 = 0.0f;
  float field1 = 0.0f;  // raw numbers of the ASCII fields
  float field2 = 0.0f;
  std::array<int64_t, 6> words{};  // kind 7: raw words A..F
  uint8_t start_byte = 0;          // kind 7: of the first sample
  uint8_t status_byte = 0;
};

// What the reading handlers keep between messages.
struct ReadingHandlerState {
  int32_t TriggerState = 0;     // 1 record, 0 idle, -1 held
  int32_t AveragingActive = 0;  // Manual mode with more than one sample per reading
  AverageSums sums;
  float field1_average = 0.0f;  // kept until the next average completes
  float field2_average = 0.0f;
  int32_t beep_counter = 0;
  uint32_t LastBatteryTick = 0;
};

// Panel display of a battery charge is refreshed after this long.
inline constexpr uint32_t kBatteryDisplayPeriodMs = 180000;

// Manual mode with more than one sample per reading, on any kind but the FRZ62.
int32_t ComputeAveragingActive(const SettingsStore& settings, int32_t kind);

// The handler state of a new logging run (AveragingActive decided now).
ReadingHandlerState BeginReadingRun(const SettingsStore& settings, int32_t kind,
                                    uint32_t battery_tick);

// Logging starts: trigger and beep counter cleared, and an average left
// unfinished by a pause discarded, so it never mixes frames from both sides.
void StartLogging(ReadingHandlerState& state);

// SurveyMode as the handlers see it: Auto while an average is under way.
int32_t EffectiveSurveyMode(const SettingsStore& settings, const ReadingHandlerState& state);

// The next TriggerState for a frame. Outside Manual mode every frame records;
// in Manual mode only the first marked frame after an unmarked one does.
int32_t NextTriggerState(int32_t previous, bool marked, bool manual);

// The texts of the panel fields a reading redraws; fields left default are not touched.
struct PanelUpdate {
  FieldText instrument_mode;  // "Mode:V", "Rdgs:2", "M:V10"
  FieldText sample;           // "Sample 1   of 3  " while averaging
  FieldText dipole;           // "Ver" / "Hor" (kind 7)
  FieldText conductivity;     // first value line
  FieldText inphase;          // second value line
  FieldText conductivity2;    // kind 7 with both coil pairs
  FieldText inphase2;
  FieldText range;            // range / mode line
  FieldText thickness;        // kind 0 with the ice option
  FieldText station;          // "%-11.2f" after a recorded reading
  FieldText station_count;    // "%1d" when a station takes several readings
  FieldText marker;           // " " or "M"
  bool battery_due = false;   // read the battery and draw FormatBatteryText
};

// The bytes of one reading record: 13 characters of frame text (kinds 0..6)
// or the 14 bytes of a binary frame (kind 7).
struct RecordFrame {
  std::array<uint8_t, 14> bytes{};
  size_t length = 0;
  std::span<const uint8_t> view() const { return std::span(bytes.data(), length); }
};

inline constexpr size_t kAsciiRecordFrameLength = 13;
inline constexpr size_t kBinaryRecordFrameLength = 14;

// Everything one reading message makes the window do.
struct ReadingStep {
  Reading reading;               // decoded; the averages once an average completes
  float thickness = 0.0f;        // kind 0 with the ice option; negative: out of range
  bool write_record = false;     // WriteReadingRecord / WriteBinaryReadingRecord(record)
  RecordFrame record;
  bool beep = false;             // MessageBeep type 16
  bool profile_step = false;     // UpdateLiveProfile(profile_rows)
  ProfileRows profile_rows{};    // from the last sample's channels
  bool completes_station = false;  // the reading closed its station group (profile scrolls)
  PanelUpdate panel;
};

// Kinds 0..5 (WM_INSTRUMENT_READING). Settings come from position.settings;
// of them only CurrentStation changes (through OnReadingLogged).
ReadingStep DecideInstrumentReading(std::span<const uint8_t> frame, const ReadingRun& run,
                                    ReadingHandlerState& state, SurveyPosition position);

// Kind 6 (WM_ICE_READING): no trigger, no averaging, one reading per station.
ReadingStep DecideIceReading(std::span<const uint8_t> frame, const ReadingRun& run,
                             ReadingHandlerState& state, SurveyPosition position);

// Kind 7 (WM_BINARY_READING), while no calibration runs.
ReadingStep DecideBinaryReading(std::span<const uint8_t> frame, const ReadingRun& run,
                                ReadingHandlerState& state, SurveyPosition position);

}  // namespace tq
