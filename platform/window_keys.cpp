// Key codes between Qt and the system.
#include <Qt>

#include "platform/window_internal.h"

namespace tq::window_detail {
namespace {

struct KeyPair {
  int qt;
  int vk;
};

constexpr KeyPair kKeys[] = {
    {Qt::Key_Backspace, VK_BACK}, {Qt::Key_Tab, VK_TAB},       {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Return, VK_RETURN},  {Qt::Key_Enter, VK_RETURN},  {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL}, {Qt::Key_Alt, VK_MENU},     {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_Space, VK_SPACE},    {Qt::Key_PageUp, VK_PRIOR},  {Qt::Key_PageDown, VK_NEXT},
    {Qt::Key_End, VK_END},        {Qt::Key_Home, VK_HOME},     {Qt::Key_Left, VK_LEFT},
    {Qt::Key_Up, VK_UP},          {Qt::Key_Right, VK_RIGHT},   {Qt::Key_Down, VK_DOWN},
    {Qt::Key_Insert, VK_INSERT},  {Qt::Key_Delete, VK_DELETE},
};

}  // namespace

int VirtualKeyFromQt(int qt_key) {
  // Qt's letters and digits already carry the system's codes.
  if ((qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) || (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9)) {
    return qt_key;
  }
  if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F24) return VK_F1 + (qt_key - Qt::Key_F1);
  for (const KeyPair& k : kKeys) {
    if (k.qt == qt_key) return k.vk;
  }
  return 0;
}

int QtKeyFromVirtual(int virtual_key) {
  if ((virtual_key >= 'A' && virtual_key <= 'Z') || (virtual_key >= '0' && virtual_key <= '9')) {
    return virtual_key;
  }
  if (virtual_key >= VK_F1 && virtual_key < VK_F1 + 24) return Qt::Key_F1 + (virtual_key - VK_F1);
  for (const KeyPair& k : kKeys) {
    if (k.vk == virtual_key) return k.qt;
  }
  return 0;
}

}  // namespace tq::window_detail
