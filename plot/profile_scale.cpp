#include "plot/profile_scale.h"

#include "platform/text.h"
#include "survey/typed_fields.h"

namespace tq {
namespace {

constexpr double kScaleLimit = 9000.0;
constexpr double kWideGap = 100.0;
constexpr double kThicknessLimit = 10.0;
constexpr double kThicknessBottomMax = 9.0;
// A settings line keeps six decimals; a scale end with more would come back
// from the file as another value than the one in force.
constexpr int kScaleDecimals = 6;

// The whole field: cut short, more than a number could pass for one, and a
// number could lose its end.
double Read(const std::string& text) { return TypedNumberValue(text); }

struct Range {
  double bottom;
  double top;
};

Range ClampWide(double bottom, double top) {
  auto clamp = [](double v) { return v < -kScaleLimit ? -kScaleLimit : v > kScaleLimit ? kScaleLimit : v; };
  Range r{clamp(bottom), clamp(top)};
  if (r.top <= r.bottom) r.top = r.bottom + kWideGap;
  return r;
}

Range ClampThickness(double bottom, double top) {
  Range r{bottom, top};
  if (r.bottom < 0.0) r.bottom = 0.0;
  if (r.bottom > kThicknessLimit) r.bottom = kThicknessBottomMax;
  if (r.top < 0.0) r.top = 0.0;
  if (r.top > kThicknessLimit) r.top = kThicknessLimit;
  if (r.top <= r.bottom) r.top = r.bottom + 1.0;
  return r;
}

void Store(const Range& r, int32_t height, float& bottom, float& top, float& factor) {
  bottom = static_cast<float>(r.bottom);
  top = static_cast<float>(r.top);
  factor = PixelsPerUnit(height, bottom, top);
}

bool IceShown(const SettingsStore& s, int32_t kind) { return kind == kKindTq62 && s.IceOption == 1; }

}  // namespace

std::optional<Refusal<ScaleField>> CheckProfileScale(const ScaleTexts& texts, int32_t kind) {
  const std::string set = kind == kKindFrz62 ? "Thickness" : "Conductivity";
  const struct {
    ScaleField field;
    const std::optional<std::string> text;
    std::string label;
  } fields[] = {
      {ScaleField::kCondBottom, texts.cond_bottom, set + " Minimum"},
      {ScaleField::kCondTop, texts.cond_top, set + " Maximum"},
      {ScaleField::kInphaseBottom, texts.inphase_bottom, "Inphase Minimum"},
      {ScaleField::kInphaseTop, texts.inphase_top, "Inphase Maximum"},
      {ScaleField::kIceBottom, texts.ice_bottom, "Ice Thickness Min"},
      {ScaleField::kIceTop, texts.ice_top, "Ice Thickness Max"},
  };
  for (const auto& f : fields) {
    if (!f.text) continue;
    if (auto refused = CheckTypedNumber(f.label, *f.text, {kAnyNumber, kScaleDecimals})) {
      return Refusal<ScaleField>{f.field, *refused};
    }
  }
  return std::nullopt;
}

std::string ProfileScaleTemplate(const BuildConfig& build, int32_t ice_option, bool portrait, bool for_viewer) {
  if (build.InstrumentKind == kKindTq64) return "GETNEWPROFILESCALE64";
  if (for_viewer) return "GETNEWPROFILESCALE62";
  if (build.InstrumentKind == kKindTq62 && ice_option == 1) return "GETNEWPROFILESCALEICE";
  if (build.StorageRoot == 1 && !portrait) return "GETNEWPROFILESCALE62H";
  return "GETNEWPROFILESCALE62";
}

ScaleTexts ProfileScaleTexts(const SettingsStore& s, int32_t kind) {
  ScaleTexts t;
  const int cond_decimals = kind == kKindFrz62 ? 1 : 0;
  t.cond_bottom = FormatFixed(s.CondScaleMin, cond_decimals);
  t.cond_top = FormatFixed(s.CondScaleMax, cond_decimals);
  if (kind != kKindTq64) {
    t.inphase_bottom = FormatFixed(s.InphaseScaleMin, 0);
    t.inphase_top = FormatFixed(s.InphaseScaleMax, 0);
  }
  if (IceShown(s, kind)) {
    t.ice_bottom = FormatFixed(s.IceScaleMin, 0);
    t.ice_top = FormatFixed(s.IceScaleMax, 0);
  }
  return t;
}

void ApplyProfileScale(SettingsStore& s, int32_t kind, const ScaleTexts& t) {
  const double bottom = Read(t.cond_bottom);
  const double top = Read(t.cond_top);
  Range set0 = kind == kKindFrz62 ? ClampThickness(bottom, top) : ClampWide(bottom, top);
  Store(set0, s.PlotHeight, s.CondScaleMin, s.CondScaleMax, s.CondPixelsPerUnit);
  if (kind != kKindTq64 && t.inphase_bottom && t.inphase_top) {
    Store(ClampWide(Read(*t.inphase_bottom), Read(*t.inphase_top)), s.PlotHeight, s.InphaseScaleMin,
          s.InphaseScaleMax, s.InphasePixelsPerUnit);
  }
  if (IceShown(s, kind) && t.ice_bottom && t.ice_top) {
    Store(ClampThickness(Read(*t.ice_bottom), Read(*t.ice_top)), s.PlotHeight, s.IceScaleMin, s.IceScaleMax,
          s.IcePixelsPerUnit);
  }
}

}  // namespace tq
