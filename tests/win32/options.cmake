# The options window in-process, and a stand-in for util\regjump.exe that records how it
# was started.
add_executable(launch_recorder ${CMAKE_CURRENT_SOURCE_DIR}/launch_recorder.cpp)
if(MINGW)
  target_link_options(launch_recorder PRIVATE -municode)
endif()
selvane_add_gtest(NAME win32_options SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/options_test.cpp LOCK
                  LIBS selvane_app selvane_resources comctl32)
add_dependencies(win32_options launch_recorder)

# Reads the options window of a running Selvane.exe for the end-to-end tests.
add_executable(options_probe ${CMAKE_CURRENT_SOURCE_DIR}/options_probe.cpp)
target_link_libraries(options_probe PRIVATE user32 comctl32)
