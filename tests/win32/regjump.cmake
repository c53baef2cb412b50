# The registry jump tool: its key parsing, and the built tool run for real.
file(RELATIVE_PATH REGJUMP_RELATIVE ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_BINARY_DIR}/bin/util/regjump.exe)
selvane_add_gtest(NAME win32_regjump SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/regjump_test.cpp LOCK
                  LIBS regjump_core advapi32 user32)
add_dependencies(win32_regjump regjump)
target_compile_definitions(win32_regjump PRIVATE "REGJUMP_RELATIVE=\"${REGJUMP_RELATIVE}\"")
