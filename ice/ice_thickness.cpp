#include "ice/ice_thickness.h"

namespace tq {

IceTable IceThicknessTable{};

const IceTable* FindStoredIceTable(int32_t variant, uint32_t index) {
  if (index >= kSeaWaterIndexCount) return nullptr;
  // The settings file is not range-checked: anything but "Short" reads the
  // Standard family rather than past the end of the tables.
  return variant == 1 ? &kShortIceTables[index] : &kStandardIceTables[index];
}

std::optional<IceLimits> FindIceLimits(int32_t variant, uint32_t index) {
  const IceTable* stored = FindStoredIceTable(variant, index);
  if (stored == nullptr) return std::nullopt;
  return IceLimits{stored->front(), stored->back()};
}

void LoadIceTable(int32_t variant, uint32_t index, IceTable& table) {
  if (const IceTable* stored = FindStoredIceTable(variant, index)) table = *stored;
}

void LoadIceThicknessTable(uint32_t index, const SettingsStore& settings) {
  LoadIceTable(settings.Tq62Variant, index, IceThicknessTable);
}

float ComputeIceThickness(float conductivity, const IceTable& table,
                          const std::optional<IceLimits>& limits) {
  // The reading stays in single precision; only its widened value is compared,
  // so a limit that a float cannot hold may fall just outside the range.
  const double c = conductivity;
  if (limits) {
    double r = 0.0;
    if (c > limits->upper) r = kIceThinnerThanTable;
    if (c < limits->lower) r = kIceThickerThanTable;
    if (r != 0.0) return static_cast<float>(r);
  }

  // Each half holds 35 intervals; the reading picks its half by the middle entry.
  const int32_t first = c > table[kIceTableSplitEntry] ? 0 : kIceTableSplitEntry;
  const int32_t last = first + kIceTableSplitEntry - 1;
  for (int32_t i = first; i <= last; ++i) {
    const double upper = table[static_cast<size_t>(i)];
    const double lower = table[static_cast<size_t>(i) + 1];
    if (c <= upper && c >= lower) {
      const double tenths =
          static_cast<double>(static_cast<float>(i)) + (c - upper) / (lower - upper);
      return static_cast<float>(tenths / 10.0);
    }
  }
  // Not bracketed: the loaded table belongs to another index than the limits
  // (or there are no limits). Report the side it falls out on instead of a
  // thickness the table cannot give; NaN counts as too thick.
  return c > table.front() ? kIceThinnerThanTable : kIceThickerThanTable;
}

float ConductivityToIceThickness(float conductivity, uint32_t index,
                                 const SettingsStore& settings,
                                 IceProfileSlot* channel4) {
  const float thickness = ComputeIceThickness(
      conductivity, IceThicknessTable, FindIceLimits(settings.Tq62Variant, index));
  if (settings.ShowProfile == 1 && channel4 != nullptr) {
    channel4->value = thickness;
    channel4->present = true;
  }
  return thickness;
}

}  // namespace tq
