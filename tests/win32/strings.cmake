# String lookup against the program's own string table, plus test-only strings that
# exercise the length limit.
selvane_add_gtest(NAME win32_strings SOURCES ${src}
                  RESOURCES ${CMAKE_CURRENT_SOURCE_DIR}/strings_test.rc
                  LIBS selvane_res selvane_resources)
