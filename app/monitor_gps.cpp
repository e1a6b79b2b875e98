#include "app/monitor_gps.h"

#include "platform/text.h"
#include "platform/window_types.h"
#include "survey/typed_fields.h"

namespace tq {

MonitorCommand MonitorCommandOfChar(uintptr_t character) {
  switch (character) {
    case 'g': case 'G': return MonitorCommand::kGo;
    case 'p': case 'P': return MonitorCommand::kPause;
    case 's': case 'S': return MonitorCommand::kSend;
    case 'x': case 'X': return MonitorCommand::kExit;
    case VK_TAB: return MonitorCommand::kNextRing;
    case VK_RETURN: return MonitorCommand::kRunRing;
    default: return MonitorCommand::kNone;
  }
}

int32_t NextMonitorRing(int32_t position, bool running) {
  int32_t next = position >= 3 ? 0 : position + 1;
  if (running && next == 0) next = 1;
  if (!running && next == 1) next = 2;
  return next;
}

int32_t MonitorRingAfter(int32_t position, bool running) {
  if (running && position == 0) return 1;
  if (!running && position == 1) return 0;
  return position;
}

std::string CutGpsMessage(std::string_view text) { return std::string(FirstCharacters(text, kGpsMessageMax)); }

std::optional<std::string> CheckGpsMessage(std::string_view message) {
  return CheckTypedText("GPS Message", CutGpsMessage(message));
}

std::string GpsMessageBytes(std::string_view message) { return NarrowTo8Bit(message) + "\r\n"; }

}  // namespace tq
