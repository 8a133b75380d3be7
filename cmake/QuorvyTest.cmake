# quorvy_add_test(name source...): a GoogleTest executable registered with CTest.
find_package(GTest REQUIRED)

function(quorvy_add_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE quorvy_core GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
endfunction()
