// The settings store and its line-oriented text file.
//
// One store lives for the whole process (`Settings`); every function here also
// takes the store and the build constants explicitly so tests can use their own.
// The file has no keys: the position of a line is its meaning, and each kind
// writes its own set of lines after a version tag.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "settings/build_config.h"

namespace tq {

// Timing derived from the reading interval and the frame period.
struct ReadingTiming {
  float FramePeriodMs;
  int32_t FramesPerInterval;
  int32_t ReadingsPerSecond;
};

struct SettingsStore {
  // Persisted fields, with their built-in defaults.
  int32_t Tq62Variant = 0;
  int32_t IceOption = 0;
  int32_t ShowProfile = 0;
  int32_t SeaWaterIndex = 0;
  float IceScaleMin = 0.0f;
  float IceScaleMax = 5.0f;
  int32_t Units = 0;
  int32_t InstrumentPort = 0;
  int32_t Audio = 1;
  int32_t PauseKey = 0;
  std::array<int32_t, 8> TraceVisible = {1, 1, 1, 1, 1, 1, 1, 1};
  std::array<int32_t, 8> TraceThickness = {2, 2, 2, 2, 1, 1, 1, 1};
  std::array<uint32_t, 8> TraceColor = {0xFF0000, 0x00FF00, 0x0000FF, 0xFF00FF,
                                        0x000000, 0x00FFFF, 0xFF00FF, 0x00FF00};
  int32_t GridFor = 0;
  float CondScaleMin = 0.0f;
  float CondScaleMax = 500.0f;
  float InphaseScaleMin = -25.0f;
  float InphaseScaleMax = 25.0f;
  int32_t GpsInput = 0;
  int32_t GpsPort = 1;
  int32_t GpsBaud = 1;
  int32_t GpsDataBits = 1;
  int32_t GpsParity = 0;
  int32_t GpsStopBits = 0;
  int32_t SurveyMode = 0;  // 0 Auto, 1 Wheel, 2 Manual
  int32_t Component = 0;
  int32_t DipoleMode = 0;
  int32_t SamplesPerReading = 10;
  int32_t Mk2Variant = 2;
  std::array<float, 6> Mk2Calibration = {0, 0, 0, 0, 0, 0};
  float AutoStationIncrement = 1.0f;
  float WheelStationIncrement = 0.2f;
  float ManualStationIncrement = 2.0f;
  float ReadingInterval = 0.2f;
  std::string SurveyLine = "0";  // at most kSurveyLineMax characters
  float LineIncrement = 1.0f;
  int32_t Sequence = 0;
  int32_t Direction = 1;
  double StartStation = 0.0;
  float StationIncrement = 1.0f;
  int32_t SoftMarker = 0;
  int32_t ExtMarkerPort = 0;

  // The survey dialog's copy of the mode, kept equal to SurveyMode on load.
  int32_t SurveyDialogMode = 0;

  // Derived values, never stored in the file.
  int32_t PlotHeight = 180;
  float CondPixelsPerUnit = 0.0f;
  float InphasePixelsPerUnit = 0.0f;
  float IcePixelsPerUnit = 0.0f;
  double CurrentStation = 0.0;
  float FramePeriodMs = 91.0f;
  int32_t FramesPerInterval = 1;
  int32_t ReadingsPerSecond = 1;
  std::array<int32_t, 8> TraceActive = {0, 0, 0, 0, 0, 0, 0, 0};
  int32_t ReadingsPerStation = 1;
};

inline constexpr size_t kSurveyLineMax = 11;

// The line name as the store can hold it: up to the first line break, at most
// 11 characters (whole UTF-8 sequences; a byte that is not UTF-8 counts as one).
std::string CutSurveyLine(std::string_view line);

// The process-wide store.
extern SettingsStore Settings;

// FramesPerInterval and ReadingsPerSecond for `interval_s` at `frame_period_ms`,
// with ReadingsPerSecond clamped to 1..max_readings_per_second.
ReadingTiming ComputeReadingTiming(float interval_s, float frame_period_ms,
                                   int32_t max_readings_per_second);

// The frames an instrument sends: their length, the time between them, and
// the clamp of ReadingsPerSecond that goes with them.
struct FrameShape {
  int32_t length;
  float period_ms;
  int32_t max_readings_per_second;
};
inline constexpr FrameShape kShortAsciiFrame{7, 72.0f, 14};  // the TQ68's short frames
inline constexpr FrameShape kLongAsciiFrame{12, 91.0f, 11};  // kinds 0 to 5
inline constexpr FrameShape kBinaryFrame{14, 47.0f, 20};     // TQ68-MK2

// The clamp of ReadingsPerSecond for `kind` at its usual frames: one reading
// per frame at most, and the FRZ62 reads once a second.
int32_t MaxReadingsPerSecond(int32_t kind);

// Readings a second really logged for a typed `readings_per_second`: its
// interval, as OK stores it, in whole frames of `frame_period_ms`.
double RealReadingRate(double readings_per_second, float frame_period_ms);

// The most readings a second `kind` can log: one reading per frame of its
// shortest frames (the TQ68's short ones), and one a second on the FRZ62.
double FastestReadingRate(int32_t kind);

// Recomputes FramePeriodMs, FramesPerInterval, ReadingsPerSecond for `kind`.
// A TQ68 keeps the short frames its instrument was last seen sending.
void UpdateReadingTiming(SettingsStore& s, const BuildConfig& build);

// Per-kind adjustments of the defaults, made once before LoadSettings.
void ApplyKindDefaults(SettingsStore& s, const BuildConfig& build);

// Recomputes TraceActive, ReadingsPerStation and possibly GridFor.
void ApplyDisplaySelection(SettingsStore& s, const BuildConfig& build);

// Pixels per unit of a scale from `bottom` to `top` drawn `plot_height` pixels
// high; 0 when top equals bottom, clamped to the float range otherwise.
float PixelsPerUnit(int32_t plot_height, float bottom, float top);

// Recomputes the three pixels-per-unit factors from PlotHeight and the scales.
// A scale whose top equals its bottom gives a factor of 0, never infinity.
void UpdatePixelFactors(SettingsStore& s, const BuildConfig& build);

// Where the settings file of this build lives, as system paths ("Storage\FLDINI",
// "Storage\FLDINI\TQ68MK2.INI"); TQ93 always lives under "C_DRIVE\FLDINI".
std::string SettingsFolderSystemPath(const BuildConfig& build);
std::string SettingsFileSystemPath(const BuildConfig& build);

// The whole settings file for the current values: tag line and the kind's
// settings lines, each ending in CR LF.
std::string FormatSettingsFile(const SettingsStore& s, const BuildConfig& build);

// Reads the kind's settings file into `s`, or writes it from the current values
// when it is missing or has another tag. A file that ends early leaves the
// fields it lacks as they were and is rewritten whole. Returns false only when
// the file had to be written and could not be.
bool LoadSettings(SettingsStore& s, const BuildConfig& build);

// Rewrites the whole file from the current values, atomically. False when the
// file could not be written (the old file is then left whole).
bool SaveSettings(const SettingsStore& s, const BuildConfig& build);

// The single-precision value a line of the file gives back for `value`:
// what its six decimals keep, so that a value derived in force (an interval
// from a rate) is the one the next start loads.
float SettingsFileFloat(double value);

// Room for the longest line the file can hold (a float64 in "%f").
inline constexpr size_t kSettingsLineSize = 512;

// Takes one line off the front of `file` into `line` without its CR LF.
// Returns the length stored, or -1 when `file` is empty. Stops at the end of
// `file`, never stores more than line.size() - 1 bytes (the rest of an
// overlong line is skipped) and always terminates a non-empty `line`.
int ReadSettingsLine(std::string_view& file, std::span<char> line);

// The leading decimal integer of `text` (spaces, optional sign, digits);
// 0 when there are no digits, clamped to the int32 range when it overflows.
int32_t ParseSettingsInteger(std::string_view text);

// The leading plain decimal number of `text` (spaces, optional sign, digits,
// optional point and exponent); 0.0 when there is none. Never hex, infinity
// or NaN: a value beyond the double range is clamped to the largest finite one.
double ParseSettingsNumber(std::string_view text);

}  // namespace tq
