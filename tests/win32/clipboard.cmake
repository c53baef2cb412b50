# Selection capture: the test program and a helper process that holds the clipboard open
# or owns formats it never renders. Both land in the same folder; the test starts the
# helper from beside itself.
add_executable(clipboard_holder ${CMAKE_CURRENT_SOURCE_DIR}/clipboard_holder.cpp)
target_link_libraries(clipboard_holder PRIVATE user32 kernel32)
selvane_add_gtest(NAME win32_clipboard SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/clipboard_test.cpp
                  LOCK LIBS selvane_capture gdi32 user32)
add_dependencies(win32_clipboard clipboard_holder)
