#include "tests/support/property_budget.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

namespace tq::testing {
namespace {

struct Tally {
  size_t sequences = 0;
  size_t commands = 0;
  size_t failures = 0;
};

// Printed when the program ends, after GoogleTest's own summary.
class Tallies {
 public:
  ~Tallies() {
    for (const auto& [name, t] : tallies_) {
      std::printf("property %s: %zu sequences, %zu commands, %zu failures\n", name.c_str(), t.sequences,
                  t.commands, t.failures);
    }
    std::fflush(stdout);
  }
  void Count(const std::string& property, size_t commands, bool failed) {
    std::lock_guard lock(mutex_);
    Tally& t = tallies_[property];
    ++t.sequences;
    t.commands += commands;
    if (failed) ++t.failures;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, Tally> tallies_;
};

Tallies& AllTallies() {
  static Tallies tallies;
  return tallies;
}

}  // namespace

PropertyBudget::PropertyBudget(const char* defaults) {
  AllTallies();  // made before any property runs, so printed after all of them
  setenv("RC_PARAMS", defaults, 0);
}

void CountSequence(const std::string& property, size_t commands, bool failed) {
  AllTallies().Count(property, commands, failed);
}

bool PropertyVerbose() {
  const char* v = std::getenv("TQ_PROPERTY_VERBOSE");
  return v != nullptr && *v != '\0' && *v != '0';
}

}  // namespace tq::testing
