// A process locale whose decimal separator is a comma, as Qt sets it at
// start-up from a German environment (de_DE.UTF-8).
#pragma once

#include <string>

#include "tests/support/temp_dir.h"

namespace tq::testing {

// Switches LC_ALL to de_DE.UTF-8 for its lifetime, then back to "C". Where
// the system has no such locale it is compiled with localedef into a
// temporary folder named by LOCPATH. active() is false, and why_not() says
// why, when none can be made.
class CommaDecimalLocale {
 public:
  CommaDecimalLocale();
  ~CommaDecimalLocale();
  CommaDecimalLocale(const CommaDecimalLocale&) = delete;
  CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;

  bool active() const { return active_; }
  const std::string& why_not() const { return why_not_; }

 private:
  TempDir compiled_;
  bool active_ = false;
  std::string why_not_;
};

}  // namespace tq::testing
