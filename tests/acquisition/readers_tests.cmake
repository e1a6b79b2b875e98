# Tests of the framers, the shared acquisition record, the reader threads and
# the serial ports.
tq_test(reader_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/framers_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/acquisition_state_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/readers_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/frame_length_probe_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/keep_awake_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/serial_ports_test.cpp
  DEPS tq_acquisition tq_test_support)
