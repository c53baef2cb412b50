# Helpers shared by the test directories.
#
# selvane_add_gtest(NAME name SOURCES ... LIBS ... [LOCK] [LABELS ...] [TIMEOUT s])
# builds a GoogleTest program and registers it with CTest. Under a cross build it
# runs through the Wine launcher (CMAKE_CROSSCOMPILING_EMULATOR). LOCK serialises
# tests that use the clipboard, the keyboard focus or hotkeys. Cross-built tests carry
# the label "wine".
function(selvane_add_gtest)
  cmake_parse_arguments(T "LOCK" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;RESOURCES" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES} ${T_RESOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_LOCK)
    set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK desktop)
  endif()
  if(CMAKE_CROSSCOMPILING)
    # Needs Wine to run; see scripts/test.sh.
    list(APPEND T_LABELS wine)
  endif()
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
