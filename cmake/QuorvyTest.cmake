# quorvy_add_test(name source...): a GoogleTest executable registered with CTest. Built for
# Windows, CTest runs it through the cross-compiling emulator (Wine).
if(NOT WIN32)
  find_package(GTest REQUIRED)
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
endfunction()
