// The budget a property test program runs with, and its tally.
//
// CI runs each property with a fixed seed and a fixed number of sequences,
// and reports a failing sequence as found (noshrink=1: shrinking one can take
// minutes); RC_PARAMS (seed=, max_success=, max_size=, reproduce=, ...) set
// by a person or by scripts/property overrides all of it, and
// RC_PARAMS="reproduce=..." as printed with a failure shrinks it. Every property counts what it ran,
// and the program prints the counts when it ends:
//   property LoggingRun: 300 sequences, 9123 commands, 0 failures
// With TQ_PROPERTY_VERBOSE=1 the properties also print each sequence.
#pragma once

#include <cstddef>
#include <string>

namespace tq::testing {

// Sets RC_PARAMS to `defaults` unless the environment sets it; give it to a
// static object of the test program so that it runs before any property.
struct PropertyBudget {
  explicit PropertyBudget(const char* defaults);
};

// Counts one sequence of `commands` commands run by `property`, failed or not.
void CountSequence(const std::string& property, size_t commands, bool failed);

// True when TQ_PROPERTY_VERBOSE asks for every sequence to be printed.
bool PropertyVerbose();

}  // namespace tq::testing
