#include "tests/support/comma_locale.h"

#include <stdlib.h>

#include <clocale>
#include <cstdlib>
#include <cstring>

namespace tq::testing {
namespace {

constexpr const char* kLocaleName = "de_DE.UTF-8";

bool SwitchToCommaLocale() {
  if (std::setlocale(LC_ALL, kLocaleName) == nullptr) return false;
  return std::strcmp(std::localeconv()->decimal_point, ",") == 0;
}

}  // namespace

CommaDecimalLocale::CommaDecimalLocale() {
  active_ = SwitchToCommaLocale();
  if (active_) return;
  // localedef exits 1 after mere warnings; whether the locale loads decides.
  const std::string command = "localedef -i de_DE -f UTF-8 '" +
                              (compiled_.path() / kLocaleName).string() + "' >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  ::setenv("LOCPATH", compiled_.path().c_str(), 1);
  active_ = SwitchToCommaLocale();
  if (!active_) {
    why_not_ = "de_DE.UTF-8 is not installed and localedef could not make it (status " +
               std::to_string(status) + "; is the locales package installed?)";
  }
}

CommaDecimalLocale::~CommaDecimalLocale() {
  std::setlocale(LC_ALL, "C");
  ::unsetenv("LOCPATH");
}

}  // namespace tq::testing
