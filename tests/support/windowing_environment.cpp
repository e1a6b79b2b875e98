// Every window test runs on Qt's offscreen display, where nobody can answer a
// dialog: unanswered modal calls become test failures. Compiled into each
// test program that opens windows (a library member nobody refers to would
// be left out by the linker).
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/modal_responder.h"
#include "platform/window.h"

namespace {

class WindowingEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "tq_window_tests";
    static char* argv[] = {name, nullptr};
    ASSERT_TRUE(tq::StartWindowing(argc, argv));
    tq::SetModalFailureHandler([](const std::string& what) { ADD_FAILURE() << "modal call: " << what; });
  }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new WindowingEnvironment);

}  // namespace

// The system's font configuration library keeps caches for the life of the
// process; they are not this program's leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
