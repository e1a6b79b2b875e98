# Sources of the ports and reader threads, appended to the folder's library.
list(APPEND TQ_ACQUISITION_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/placeholder.cpp)
