# One place for the compiler flags every target shares.
add_library(tq_options INTERFACE)
target_compile_options(tq_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow
                       -Wconversion -Wno-sign-conversion)
# File offsets of 64 bits on 32-bit ARM too (armhf), as on 64-bit machines:
# a data file or a viewer cache past 2 GiB stays readable there.
target_compile_definitions(tq_options INTERFACE _FILE_OFFSET_BITS=64)
if(TQ_WERROR)
  target_compile_options(tq_options INTERFACE -Werror)
endif()
# TQ_SANITIZE=thread checks the reader threads and the window for data races
# instead; it cannot be combined with AddressSanitizer.
if(TQ_SANITIZE STREQUAL "thread")
  target_compile_options(tq_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(tq_options INTERFACE -fsanitize=thread)
elseif(TQ_SANITIZE)
  # Test code (tq_test_code below) keeps AddressSanitizer but not the
  # undefined-behaviour checks, which cost most at -O0; the code under test
  # has both. Line tables (-g1) are all a sanitizer's report needs.
  target_compile_options(tq_options INTERFACE -fsanitize=address -fno-omit-frame-pointer -g1
                         "$<$<NOT:$<BOOL:$<TARGET_PROPERTY:TQ_TEST_CODE>>>:-fsanitize=undefined;-fno-sanitize-recover=undefined>")
  target_link_options(tq_options INTERFACE -fsanitize=address,undefined)
endif()
if(TQ_LIBFUZZER)
  # Without coverage in the code under test the fuzzer sees only its own
  # few edges and mutates blind.
  target_compile_options(tq_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
# Sources include each other by folder: "platform/serial.h".
target_include_directories(tq_options INTERFACE ${PROJECT_SOURCE_DIR}
                           ${PROJECT_BINARY_DIR}/generated)

# tq_library(NAME SOURCES... DEPS ...): a static library of one folder.
function(tq_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC tq_options ${ARG_DEPS})
endfunction()

# Test code itself is compiled without optimisation and with line tables
# only: the code under test keeps the build's flags, and a test's long
# expansion of assertion macros compiles several times faster so, most of all
# with the sanitizers on.
function(tq_test_code name)
  set_target_properties(${name} PROPERTIES TQ_TEST_CODE ON)
  target_compile_options(${name} PRIVATE -O0 -g1)
endfunction()

# tq_test(NAME [TIMEOUT S] SOURCES... DEPS ...): one GoogleTest executable run
# by CTest, each of its tests given S seconds (120 unless said).
function(tq_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE tq_options ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  tq_test_code(${name})
  if(TQ_SANITIZE STREQUAL "thread")
    # Children (tqlog, tqsim) inherit the suppressions of the uninstrumented Qt.
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT
                         "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan_qt.supp")
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  endif()
endfunction()
