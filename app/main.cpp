// tqlog: the field logger for the instrument kind of this build.
#include "app/entry_point.h"
#include "platform/modal_responder.h"

// The logger always has an operator at its keys, even on a display nobody
// sees (-platform offscreen with an evdev keyboard): its dialogs wait for
// them. Only test programs, which call RunLogger themselves, have modal calls
// nobody answers reported.
int main(int argc, char** argv) {
  tq::ExpectPersonOnInvisibleDisplay();
  return tq::RunLogger(argc, argv);
}

// In sanitizer builds: the system's font configuration library keeps its
// caches for the life of the process, and on a display server the message
// bus library keeps a buffer; they are not this program's leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }
