// The settings store and its line-oriented text file.
//
// One store lives for the whole process (`Settings`); every function here also
// takes the store and the build constants explicitly so tests can use their own.
// The file has no keys: the position of a line is its meaning, and each kind
// writes its own set of lines after a version tag.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

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

// The process-wide store.
extern SettingsStore Settings;

// FramesPerInterval and ReadingsPerSecond for `interval_s` at `frame_period_ms`,
// with ReadingsPerSecond clamped to 1..max_readings_per_second.
ReadingTiming ComputeReadingTiming(float interval_s, float frame_period_ms,
                                   int32_t max_readings_per_second);

// Recomputes FramePeriodMs, FramesPerInterval, ReadingsPerSecond for `kind`.
void UpdateReadingTiming(SettingsStore& s, const BuildConfig& build);

// Per-kind adjustments of the defaults, made once before LoadSettings.
void ApplyKindDefaults(SettingsStore& s, const BuildConfig& build);

// Recomputes TraceActive, ReadingsPerStation and possibly GridFor.
void ApplyDisplaySelection(SettingsStore& s, const BuildConfig& build);

// Recomputes the three pixels-per-unit factors from PlotHeight and the scales.
// A scale whose top equals its bottom gives a factor of 0, never infinity.
void UpdatePixelFactors(SettingsStore& s, const BuildConfig& build);

// Where the settings file of this build lives (under the data root).
std::string SettingsFolderSystemPath(const BuildConfig& build);  // "Storage\FLDINI"
std::string SettingsFileSystemPath(const BuildConfig& build);    // "...\TQ68MK2.INI"

// The whole settings file for the current values: tag line and settings lines.
std::string FormatSettingsFile(const SettingsStore& s, const BuildConfig& build);

// Reads the kind's settings file into `s`, or writes it from the current values
// when it is missing, has another tag, or ends early. Returns false only when
// the file could not be written.
bool LoadSettings(SettingsStore& s, const BuildConfig& build);

// Rewrites the whole file from the current values, atomically. False when the
// file could not be written (the old file is then left whole).
bool SaveSettings(SettingsStore& s, const BuildConfig& build);

// Reads one line from `file` into `line` (without CR LF). Returns the length,
// or -1 at end of file with nothing read. Stops at end of file and never
// stores more than line_size - 1 bytes (the rest of an overlong line is
// skipped); `line` is always terminated.
int ReadSettingsLine(std::FILE* file, char* line, size_t line_size);

}  // namespace tq
