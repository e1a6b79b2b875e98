// The window the viewer's tests open the viewer over, and the message posted
// behind a key press: once it arrives, everything the key queued before it
// was handled.
#pragma once

#include <array>
#include <cstdint>

#include "platform/messages.h"
#include "platform/window.h"

namespace tq {

inline intptr_t OnParentCreate(WindowHandle, uint32_t, uintptr_t, intptr_t) { return 0; }
inline constexpr uint32_t kSettledMessage = WM_USER + 1;
inline bool Settled = false;
inline intptr_t OnParentSettled(WindowHandle, uint32_t, uintptr_t, intptr_t) {
  Settled = true;
  return 0;
}
inline constexpr std::array<MessageEntry, 2> kParentMessages = {
    {{WM_CREATE, OnParentCreate}, {kSettledMessage, OnParentSettled}}};

}  // namespace tq
