// Power services: battery charge and the idle timer.
#pragma once

namespace tq {

// Battery charge in percent (0..100) from /sys/class/power_supply; 100 when
// the machine reports no battery (mains powered).
int BatteryPercent();

// Tells the system the user is active so it does not suspend. A no-op on a
// desktop, where nothing suspends under a running program.
void ResetIdleTimer();

}  // namespace tq
