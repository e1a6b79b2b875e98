#include "tools/tqexport/export_columns.h"

#include <array>
#include <charconv>
#include <span>

#include "settings/build_config.h"

namespace tq::exporter {
namespace {

// The trace-slot labels of each kind, slot by slot; nullptr where the kind
// has no trace. TQ93 has the conductivity and its second value, which the
// logger shows as a length in metres ("Sep:"), not as an inphase.
using SlotLabels = std::array<const char*, kProfileChannelCount>;
constexpr SlotLabels kFamilyLabels = {"C/V", "C/H", "I/V", "I/H", nullptr, nullptr, nullptr,
                                      nullptr};
constexpr SlotLabels kIceLabels = {"C/V", "C/H", "I/V", "I/H", "Th", nullptr, nullptr, nullptr};
constexpr SlotLabels kTq64Labels = {"V-10m", "V-20m", "V-40m", "H-10m", "H-20m", "H-40m",
                                    nullptr, nullptr};
constexpr SlotLabels kTq93Labels = {"C", nullptr, "I", nullptr, nullptr, nullptr, nullptr,
                                    nullptr};
constexpr SlotLabels kFrz62Labels = {"Th", nullptr, "I/P", nullptr, nullptr, nullptr, nullptr,
                                     nullptr};
constexpr SlotLabels kMk2Labels = {"C/V-1m",   "C/H-1m",   "I/V-1m",   "I/H-1m",
                                   "C/V-0.5m", "C/H-0.5m", "I/V-0.5m", "I/H-0.5m"};

// One coil column of a kind. `separation` null: the file does not tell it.
struct CoilSpec {
  size_t channel;
  char dipole;    // 0: the channel alone says the dipole
  bool vertical;  // vertical dipole (HCP) or horizontal (VCP)
  bool inphase;
  const char* separation;
};

constexpr std::array<CoilSpec, 8> kMk2Coils = {{
    {0, 0, true, false, "1.0"},
    {1, 0, false, false, "1.0"},
    {4, 0, true, false, "0.5"},
    {5, 0, false, false, "0.5"},
    {2, 0, true, true, "1.0"},
    {3, 0, false, true, "1.0"},
    {6, 0, true, true, "0.5"},
    {7, 0, false, true, "0.5"},
}};
constexpr std::array<CoilSpec, 6> kTq64Coils = {{
    {0, 0, true, false, "10"},
    {1, 0, true, false, "20"},
    {2, 0, true, false, "40"},
    {3, 0, false, false, "10"},
    {4, 0, false, false, "20"},
    {5, 0, false, false, "40"},
}};
constexpr std::array<CoilSpec, 4> kFamilyCoils = {{
    {0, 0, true, false, nullptr},
    {1, 0, false, false, nullptr},
    {2, 0, true, true, nullptr},
    {3, 0, false, true, nullptr},
}};
// TQ93 readings of either dipole land on the same channel; its second
// value is no inphase, so it has no inphase coils.
constexpr std::array<CoilSpec, 2> kTq93Coils = {{
    {0, 'V', true, false, nullptr},
    {0, 'H', false, false, nullptr},
}};

std::span<const CoilSpec> CoilSpecsFor(int32_t kind) {
  switch (kind) {
    case kKindTq62:
    case kKindTq68b:
    case kKindTq68dd:
    case kKindTq68: return kFamilyCoils;
    case kKindTq64: return kTq64Coils;
    case kKindTq93: return kTq93Coils;
    case kKindTq68Mk2: return kMk2Coils;
    default: return {};
  }
}

const SlotLabels* LabelsFor(const StoredHeader& header) {
  switch (header.kind) {
    case kKindTq62: return HasIceThickness(header) ? &kIceLabels : &kFamilyLabels;
    case kKindTq68b:
    case kKindTq68dd:
    case kKindTq68: return &kFamilyLabels;
    case kKindTq64: return &kTq64Labels;
    case kKindTq93: return &kTq93Labels;
    case kKindFrz62: return &kFrz62Labels;
    case kKindTq68Mk2: return &kMk2Labels;
    default: return nullptr;
  }
}

}  // namespace

bool HasIceThickness(const StoredHeader& header) {
  return header.kind == kKindTq62 && header.ice_built && header.IceOption == 1;
}

bool KindSendsBatteryFrames(int32_t kind) { return kind == kKindTq62; }

std::vector<ChannelColumn> ChannelColumnsFor(const StoredHeader& header) {
  std::vector<ChannelColumn> columns;
  const SlotLabels* labels = LabelsFor(header);
  if (labels == nullptr) return columns;
  for (size_t slot = 0; slot < labels->size(); ++slot) {
    if ((*labels)[slot] != nullptr) columns.push_back({slot, (*labels)[slot]});
  }
  return columns;
}

const char* ModelName(int32_t kind) {
  return kind >= 0 && kind < kKindCount ? KindInfoFor(kind).model : "unknown";
}

bool KindTellsCoilSeparation(int32_t kind) {
  return kind == kKindTq64 || kind == kKindTq68Mk2;
}

std::vector<CoilColumn> CoilColumnsFor(const StoredHeader& header, const CoilNaming& naming,
                                       std::string* error) {
  const std::span<const CoilSpec> specs = CoilSpecsFor(header.kind);
  std::vector<CoilColumn> columns;
  if (specs.empty()) {
    *error = std::string(ModelName(header.kind)) +
             " files hold no apparent conductivity for EMagPy to invert";
    return columns;
  }
  if (!KindTellsCoilSeparation(header.kind) && !naming.separation_m) {
    *error = std::string(ModelName(header.kind)) +
             " files do not tell the coil separation: give it with --coil-separation M";
    return columns;
  }
  // EMagPy reads "<orientation><separation>f<frequency>h<height>": the
  // height only ever follows a frequency.
  std::string suffix;
  if (naming.frequency_hz) {
    suffix.append("f").append(PlainNumber(*naming.frequency_hz));
    if (naming.height_m) suffix.append("h").append(PlainNumber(*naming.height_m));
  }
  for (const CoilSpec& coil : specs) {
    std::string name = coil.vertical ? "HCP" : "VCP";
    name += coil.separation != nullptr ? std::string(coil.separation)
                                       : PlainNumber(*naming.separation_m);
    name += suffix;
    if (coil.inphase) name += "_inph";
    columns.push_back({std::move(name), coil.channel, coil.dipole, coil.inphase});
  }
  return columns;
}

std::string PlainNumber(double value) {
  char text[64];
  const auto [end, error] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
  if (error != std::errc()) return "0";
  std::string out(text, end);
  if (out.find('.') != std::string::npos) {
    out.erase(out.find_last_not_of('0') + 1);
    if (out.back() == '.') out.pop_back();
  }
  return out == "-0" ? "0" : out;
}

}  // namespace tq::exporter
