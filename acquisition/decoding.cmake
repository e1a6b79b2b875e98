# Frame decoding, panel texts and the reading steps of the logging window.
# The reading steps count readings through the survey position model, so
# whatever links them links tq_survey after tq_acquisition.
list(APPEND TQ_ACQUISITION_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/decoding.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/decoding_text.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/decoding_profile.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/reading_steps.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/reading_steps_panel.cpp)
