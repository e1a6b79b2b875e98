tq_test(decoding_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/decoding_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/decoding_text_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/decoding_profile_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/reading_steps_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/reading_steps_panel_test.cpp
  DEPS tq_acquisition tq_survey tq_test_support)
