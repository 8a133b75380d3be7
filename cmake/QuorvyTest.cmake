# quorvy_add_test(name source...): a GoogleTest executable registered with CTest (label unit).
# Built for Windows, CTest runs it through the cross-compiling emulator (Wine). In the native
# build, where valgrind is found, it runs once more under valgrind (label valgrind).
if(NOT WIN32)
  find_package(GTest REQUIRED)
  find_program(QUORVY_VALGRIND valgrind)
endif()

# The one main of every test program, compiled once.
if(NOT TARGET quorvy_test_main)
  add_library(quorvy_test_main STATIC ${CMAKE_SOURCE_DIR}/tests/support/TestMain.cpp)
  target_link_libraries(quorvy_test_main PUBLIC GTest::gtest)
endif()

function(quorvy_add_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE ${QUORVY_TEST_CORE} quorvy_test_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS unit)
  if(QUORVY_VALGRIND AND NOT WIN32)
    add_test(NAME valgrind_${name}
      COMMAND ${QUORVY_VALGRIND} -q --error-exitcode=1 --leak-check=full
              --errors-for-leak-kinds=definite,indirect $<TARGET_FILE:${name}> --gtest_brief=1)
    set_tests_properties(valgrind_${name} PROPERTIES LABELS valgrind)
  endif()
endfunction()
