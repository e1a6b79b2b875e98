#include "acquisition/reading_steps_panel.h"

#include <array>
#include <string_view>

namespace tq {
namespace {

constexpr double kMetresPerFoot = 0.3048;

std::string_view Pick(bool portrait, std::string_view portrait_text,
                      std::string_view landscape_text) {
  return portrait ? portrait_text : landscape_text;
}

// The entry `index` of `letters`, or '?' for an index outside the list.
char ListLetter(std::string_view letters, int32_t index) {
  return (index >= 0 && static_cast<size_t>(index) < letters.size())
             ? letters[static_cast<size_t>(index)]
             : '?';
}

// "C:%-8.2fmS/m" in portrait, "C:%-8.2f" in landscape.
FieldText ValueWithUnit(std::string_view label, float value, std::string_view unit,
                        bool portrait) {
  return FormatValueText(label, value, portrait ? unit : std::string_view());
}

// "Vertical Dipoles   Range:%-4d" / "Vertical  G%-4d" and the horizontal pair.
FieldText DipoleRangeText(char dipole, int16_t range, bool portrait) {
  FieldText text;
  if (dipole == 'V') {
    text.Append(Pick(portrait, "Vertical Dipoles   Range:", "Vertical  G"));
  } else {
    text.Append(Pick(portrait, "Horizontal Dipoles   Range:", "Horizontal  G"));
  }
  return text.AppendInt(range, 4, true);
}

void FormatTq62Values(const Reading& r, const SettingsStore& s, bool portrait, float thickness,
                      PanelUpdate& p) {
  bool ice = s.IceOption == 1;
  if (r.battery) {
    p.conductivity = ValueWithUnit("B:", r.conductivity, "Volt", portrait);
    p.inphase = ValueWithUnit("B:", r.inphase, "Volt", portrait);
    p.range.Append("Battery Levels");
    return;
  }
  if (s.Component == 0) p.conductivity = ValueWithUnit("C:", r.conductivity, "mS/m", portrait);
  p.inphase = ValueWithUnit("I:", r.inphase, "ppt", portrait);
  if (ice) {
    // The short form leaves room on the line for the thickness.
    bool vertical = r.dipole == 'V';
    p.range.Append(portrait ? (vertical ? "Mode:V  R:" : "Mode:H  R:") : (vertical ? "V G" : "H G"))
        .AppendInt(r.range, 4, true);
    if (vertical) {
      p.thickness.Append(Pick(portrait, "Th: N/A in mode V", "T:N/A in V"));
    } else if (thickness < 0.0f) {
      p.thickness.Append(Pick(portrait, "T: Out of Range", "T:Off Range"));
    } else if (s.Units == 1) {
      double feet = static_cast<double>(thickness) / kMetresPerFoot;
      p.thickness = portrait ? FieldText().Append("Th: ").AppendFixed(feet, 2, 8, true).Append("ft")
                             : FieldText().Append("T[ft]:").AppendFixed(feet, 2, 8, true);
    } else {
      p.thickness = portrait ? FormatValueText("Th: ", thickness, "m")
                             : FormatValueText("T[m]:", thickness, "");
    }
  } else {
    p.range = DipoleRangeText(r.dipole, r.range, portrait);
  }
}

void FormatTq68bValues(const Reading& r, PanelUpdate& p) {
  p.conductivity = FormatValueText("C:", r.conductivity, "");
  p.inphase = FormatValueText("I:", r.inphase, "");
  p.range.Append(r.dipole == 'V' ? "Vertical G" : "Horizontal G")
      .AppendInt(r.range, 4, true)
      .Append(',')
      .AppendInt(r.range2, 4, true);
}

void FormatTq68ddValues(const Reading& r, bool portrait, PanelUpdate& p) {
  if (r.quantity == 2) {
    p.conductivity = FormatValueText("CV:", r.conductivity, "");
    p.inphase = FormatValueText("CH:", r.inphase, "");
    p.range.Append(Pick(portrait, "Conductivity [mS/m]  Range:", "Conductivity  G"));
  } else {
    p.conductivity = FormatValueText("IV:", r.conductivity, "");
    p.inphase = FormatValueText("IH:", r.inphase, "");
    p.range.Append(Pick(portrait, "      Inphase [ppt]  Range:", "Inphase  G"));
  }
  p.range.AppendInt(r.range, 4, true);
}

void FormatTq68Values(const Reading& r, bool portrait, PanelUpdate& p) {
  p.conductivity = r.quantity == 2 ? ValueWithUnit("C:", r.conductivity, "mS/m", portrait)
                                   : ValueWithUnit("I:", r.inphase, "ppt", portrait);
  p.range = DipoleRangeText(r.dipole, r.range, portrait);
}

void FormatTq64Values(const Reading& r, bool portrait, PanelUpdate& p) {
  p.conductivity = ValueWithUnit("C:", r.conductivity, "mS/m", portrait);
  p.inphase.Append("Sep:").AppendFixed(static_cast<double>(r.inphase), 0, 2, false).Append(" m");
  p.range = DipoleRangeText(r.dipole, r.range, portrait);
}

void FormatTq93Values(const Reading& r, PanelUpdate& p) {
  p.conductivity = FormatValueText("C:", r.conductivity, "");
  p.inphase = FormatValueText("Sep:", r.inphase, " m");
}

}  // namespace

FieldText FormatInstrumentMode(int32_t kind, const SettingsStore& s, bool began_manual) {
  FieldText text;
  switch (kind) {
    case kKindTq62:
    case kKindTq68b:
    case kKindTq68:
    case kKindTq68Mk2:
      text.Append("Mode:").Append(ListLetter("VHB", s.DipoleMode));
      break;
    case kKindTq68dd:
      text.Append("Mode:").Append(ListLetter("BIC", s.Component));
      break;
    case kKindTq64: {
      if (began_manual) {
        text.Append("Rdgs:").AppendInt(int64_t{s.DipoleMode} + 1, 1, false);
        break;
      }
      constexpr std::array<std::string_view, 6> kModes = {"V10", "V20", "V40",
                                                          "H10", "H20", "H40"};
      bool known = s.DipoleMode >= 0 && static_cast<size_t>(s.DipoleMode) < kModes.size();
      text.Append("M:").Append(known ? kModes[static_cast<size_t>(s.DipoleMode)] : "?");
      break;
    }
    default:
      break;
  }
  return text;
}

void FormatInstrumentValues(const Reading& r, int32_t kind, const SettingsStore& s, bool portrait,
                            float thickness, PanelUpdate& p) {
  switch (kind) {
    case kKindTq62: FormatTq62Values(r, s, portrait, thickness, p); break;
    case kKindTq68b: FormatTq68bValues(r, p); break;
    case kKindTq68dd: FormatTq68ddValues(r, portrait, p); break;
    case kKindTq68: FormatTq68Values(r, portrait, p); break;
    case kKindTq64: FormatTq64Values(r, portrait, p); break;
    case kKindTq93: FormatTq93Values(r, p); break;
    default: break;
  }
}

void FormatIceValues(const Reading& r, PanelUpdate& p) {
  p.conductivity = FormatValueText("Th:", r.conductivity, "");
  p.inphase = FormatValueText("IP:", r.inphase, "");
}

void FormatBinaryValues(const Reading& r, const SettingsStore& s, bool portrait, PanelUpdate& p) {
  p.dipole.Append(r.dipole == 'H' ? "Hor" : "Ver");
  p.conductivity = ValueWithUnit("C:", r.conductivity, "mS/m", portrait);
  p.inphase = ValueWithUnit("I:", r.inphase, "ppt", portrait);
  if (s.Mk2Variant == 2) {
    p.conductivity2 = ValueWithUnit("c:", r.conductivity2, "mS/m", portrait);
    p.inphase2 = ValueWithUnit("i:", r.inphase2, "ppt", portrait);
  }
}

std::vector<PanelUpdate> WidestReadingTexts(int32_t kind, bool portrait, int32_t ice_option) {
  constexpr float kWidestValue = -2000.0f;
  constexpr int16_t kWidestRange = 1000;
  // The sample's 12.97 ft, in metres; -1 stands for a thickness out of range.
  constexpr float kWidestThickness = static_cast<float>(12.97 * kMetresPerFoot);
  SettingsStore s;
  s.IceOption = ice_option;
  s.Component = 0;
  s.Mk2Variant = 2;
  Reading r;
  r.conductivity = r.inphase = r.conductivity2 = r.inphase2 = kWidestValue;
  r.range = r.range2 = kWidestRange;
  std::vector<PanelUpdate> out;
  if (kind == kKindFrz62 || kind == kKindTq68Mk2) {
    PanelUpdate p;
    if (kind == kKindFrz62) {
      FormatIceValues(r, p);
    } else {
      FormatBinaryValues(r, s, portrait, p);
    }
    out.push_back(p);
    return out;
  }
  for (char dipole : {'V', 'H'}) {
    for (int32_t quantity : {1, 2}) {
      for (bool battery : {false, true}) {
        for (int32_t units : {0, 1}) {
          for (float thickness : {kWidestThickness, -1.0f}) {
            r.dipole = dipole;
            r.quantity = quantity;
            r.battery = battery;
            s.Units = units;
            PanelUpdate p;
            FormatInstrumentValues(r, kind, s, portrait, thickness, p);
            out.push_back(p);
          }
        }
      }
    }
  }
  return out;
}

FieldText FormatSampleText(int32_t sample, int32_t samples_per_reading) {
  FieldText text;
  text.Append("Sample ").AppendInt(sample, 3, true).Append(" of ").AppendInt(samples_per_reading, 3, true);
  return text;
}

}  // namespace tq
