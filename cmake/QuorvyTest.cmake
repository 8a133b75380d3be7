# quorvy_add_test(name source...): a GoogleTest executable registered with CTest. Built for
# Windows, CTest runs it through the cross-compiling emulator (Wine).
if(NOT WIN32)
  find_package(GTest REQUIRED)
endif()

function(quorvy_add_test name)
  add_executable(${name} ${ARGN} ${CMAKE_SOURCE_DIR}/tests/support/TestMain.cpp)
  target_link_libraries(${name} PRIVATE ${QUORVY_TEST_CORE} GTest::gtest)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
endfunction()
