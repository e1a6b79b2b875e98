# Sources of the ports and reader threads, appended to the folder's library.
list(APPEND TQ_ACQUISITION_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/acquisition_state.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/framers.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/readers.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/serial_ports.cpp)
