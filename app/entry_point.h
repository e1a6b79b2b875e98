// The logger's entry point.
#pragma once

namespace tq {

inline constexpr int kExitHelp = 0;             // --help printed the usage
inline constexpr int kExitSecondInstance = -1;  // another instance was brought forward
inline constexpr int kExitMainClass = 1;        // "TQ81" could not be registered
inline constexpr int kExitChildClasses = 2;     // a child window class could not be registered
inline constexpr int kExitMainWindow = 16;      // the main window could not be created
inline constexpr int kExitUsage = 64;           // an argument the program does not know
inline constexpr int kExitNoDisplay = 69;       // no display to open, and no -platform chosen

// Prints the usage for --help (or -h); otherwise starts the window layer
// with its options (--root DIR, --landscape, --scale N), makes sure only one
// instance runs per data root, registers the window classes, creates the
// main window and runs the message loop.
// Returns the loop's exit code, or one of the codes above.
int RunLogger(int argc, char** argv);

}  // namespace tq
