#include "plot/scale_dialog.h"

#include <memory>

#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/window.h"
#include "plot/curve_wnd.h"
#include "plot/profile_scale.h"
#include "settings/settings.h"
#include "shell/shell_state.h"

namespace tq {
namespace {

constexpr int kSetLabel = 830;
constexpr int kCondBottom = 833, kCondTop = 834;
constexpr int kInphaseBottom = 838, kInphaseTop = 839;
constexpr int kIceBottom = 843, kIceTop = 844;

void SetField(WindowHandle dialog, int id, const std::optional<std::string>& text) {
  if (text) SetDlgItemText(dialog, id, *text);
}

// The text of a field the template has; nothing when it has none.
std::optional<std::string> FieldText(WindowHandle dialog, int id) {
  if (GetDlgItem(dialog, id) == nullptr) return std::nullopt;
  return GetDlgItemText(dialog, id);
}

}  // namespace

bool RunProfileScaleDialog(WindowHandle owner, std::string_view template_name) {
  auto accepted = std::make_shared<bool>(false);
  OpenDialogTemplate(
      template_name, owner, [accepted](WindowHandle dialog, uint32_t message, uintptr_t wparam, intptr_t) -> intptr_t {
        const int32_t kind = Build().InstrumentKind;
        if (message == WM_INITDIALOG) {
          if (GetDlgItem(dialog, kSetLabel) != nullptr) {
            SetDlgItemText(dialog, kSetLabel, kind == kKindFrz62 ? "Thickness" : "Conductivity");
          }
          ScaleTexts texts = ProfileScaleTexts(Settings, kind);
          SetDlgItemText(dialog, kCondBottom, texts.cond_bottom);
          SetDlgItemText(dialog, kCondTop, texts.cond_top);
          SetField(dialog, kInphaseBottom, texts.inphase_bottom);
          SetField(dialog, kInphaseTop, texts.inphase_top);
          SetField(dialog, kIceBottom, texts.ice_bottom);
          SetField(dialog, kIceTop, texts.ice_top);
          return 1;
        }
        if (message != WM_COMMAND) return 0;
        if (LOWORD(wparam) == IDOK) {
          ScaleTexts texts;
          texts.cond_bottom = GetDlgItemText(dialog, kCondBottom);
          texts.cond_top = GetDlgItemText(dialog, kCondTop);
          texts.inphase_bottom = FieldText(dialog, kInphaseBottom);
          texts.inphase_top = FieldText(dialog, kInphaseTop);
          texts.ice_bottom = FieldText(dialog, kIceBottom);
          texts.ice_top = FieldText(dialog, kIceTop);
          if (auto refused = CheckProfileScale(texts, kind)) {
            constexpr int kControls[] = {kCondBottom, kCondTop, kInphaseBottom, kInphaseTop, kIceBottom, kIceTop};
            RefuseDialogField(dialog, kControls[static_cast<int>(refused->field)], refused->text);
            return 1;
          }
          ApplyProfileScale(Settings, kind, texts);
          ForgetProfileLastPoints();
          SaveSettings(Settings, Build());
          *accepted = true;
          EndDialog(dialog, 0);
        } else if (LOWORD(wparam) == IDCANCEL) {
          EndDialog(dialog, 0);
        }
        return 1;
      });
  return *accepted;
}

}  // namespace tq
