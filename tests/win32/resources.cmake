# Reads the resources of the built Selvane.exe itself (loaded as a data file), so that
# what is checked is what ships.
selvane_add_gtest(NAME win32_resources SOURCES ${src} LIBS comctl32 gdi32 user32 kernel32)
add_dependencies(win32_resources Selvane)
file(RELATIVE_PATH selvane_exe_from_test ${CMAKE_CURRENT_BINARY_DIR}
     ${CMAKE_BINARY_DIR}/bin/Selvane.exe)
target_compile_definitions(win32_resources PRIVATE
                           SELVANE_EXE_FROM_TEST="${selvane_exe_from_test}")
