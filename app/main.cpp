// tqlog: the field logger for the instrument kind of this build.
#include "app/entry_point.h"

int main(int argc, char** argv) { return tq::RunLogger(argc, argv); }

// In sanitizer builds: the system's font configuration library keeps its
// caches for the life of the process, and on a display server the message
// bus library keeps a buffer; they are not this program's leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }
