#include "app/main_commands.h"

#include <array>
#include <cstdio>
#include <initializer_list>

#include "shell/screen_layout.h"
#include "platform/window_types.h"

namespace tq {
namespace {

struct ButtonEntry {
  const char* text;
  std::initializer_list<int> keys;  // key-down codes, compared as numbers
};

// The lower-case letters' character codes arrive as key codes on keypads
// that send them, so both are listed.
const std::array<ButtonEntry, kMainButtonCount> kButtons = {{
    {"Monitor/&Log", {'L', 108}},
    {"&Survey Setup", {'S', 115}},
    {"L&ogger Setup", {'O', 111}},
    {"Set &GPS Port", {'G', 103}},
    {"&Display Options", {'D', 100}},
    {"&View Files", {'V', 118}},
    {"E&xit", {'E', 'X', 101, 120}},
}};

bool InColumn(int index) { return index >= 0 && index < kMainButtonCount; }

}  // namespace

int32_t NextMainButton(int32_t index) { return index >= kMainButtonCount - 1 ? 0 : index + 1; }

int32_t PreviousMainButton(int32_t index) { return index <= 0 ? kMainButtonCount - 1 : index - 1; }

std::string MainButtonText(int index) {
  return InColumn(index) ? kButtons[static_cast<size_t>(index)].text : std::string();
}

MainCommand ResolveMainCommand(uintptr_t wparam, int32_t logging_active, int32_t default_button) {
  MainCommand command;
  command.DefaultButton = default_button;
  int index = static_cast<int>(LOWORD(wparam)) - kMainButtonFirstId;
  if (logging_active == 0) {
    int key = static_cast<int>(wparam);
    for (size_t i = 0; i < kButtons.size(); ++i) {
      for (int k : kButtons[i].keys) {
        if (k == key) index = static_cast<int>(i);
      }
    }
    switch (key) {
      case VK_TAB:
      case VK_RIGHT:
      case VK_DOWN:
        command.DefaultButton = NextMainButton(default_button);
        break;
      case VK_LEFT:
      case VK_UP:
        command.DefaultButton = PreviousMainButton(default_button);
        break;
      case VK_RETURN:
        index = default_button;
        break;
      default:
        break;
    }
  }
  if (InColumn(index)) command.action = static_cast<MainAction>(index);
  return command;
}

bool UptimeExceededAt(uint32_t tick) { return tick > kUptimeLimitMs; }

std::string ProgramStopText() {
  char text[256];
  std::snprintf(text, sizeof text, "%s\r\n%s\r\n%s\r\n%s\r\n%s",
                "Windows has run for more than 20 days.", "To assure accurate clock operation",
                "please restart the system.", "Press and hold On/Off key till blue screen",
                "and \"Warm Reset Detected\" is displayed.");
  return text;
}

}  // namespace tq
