#include "logging/run_state.h"

namespace tq {

LoggingRun CurrentRun;
LoggingControl Logging;
DataFile DataFileHandle;
// Declared after the file, so that it stops before the file closes at exit.
DataFileSyncer DataFileCommits;

}  // namespace tq
