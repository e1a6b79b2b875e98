# The window layer over Qt 6 Widgets: windows and messages, drawing, controls,
# dialogs from templates, the modal responder and the shell. The only library
# that includes Qt; its headers do not.
# GLOBAL: the tests and the window folders link tq_window from other directories.
find_package(Qt6 REQUIRED COMPONENTS Widgets Network GLOBAL)

tq_library(tq_window
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/window.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/window_keys.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/drawing.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/controls.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/dialogs.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/modal_responder.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/resource_script.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/shell.cpp
  DEPS tq_platform)
# Private: code that uses the layer links Qt but cannot include it.
target_link_libraries(tq_window PRIVATE Qt6::Widgets Qt6::Network)

# Dialog templates, menus and bitmaps travel inside the program, so it runs
# from wherever it is put.
file(GLOB tq_resource_files CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/resources/dialogs/*.dlg
     ${PROJECT_SOURCE_DIR}/resources/menus/*.menu
     ${PROJECT_SOURCE_DIR}/resources/bitmaps/*.png
     ${PROJECT_SOURCE_DIR}/resources/bitmaps/*.bmp)
qt_add_resources(tq_window "tq_resources" PREFIX "/" BASE ${PROJECT_SOURCE_DIR}
                 FILES ${tq_resource_files})
