#include "logging/run_state.h"

namespace tq {

LoggingRun CurrentRun;
LoggingControl Logging;
DataFile DataFileHandle;

}  // namespace tq
