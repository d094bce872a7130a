# kova_library(NAME [DEPS ...]): one static library from the .cpp files of the
# current folder. Libraries may depend on each other in a cycle (static only).
function(kova_library name)
  cmake_parse_arguments(K "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER srcs EXCLUDE REGEX ".*/main\\.cpp$")
  if(NOT srcs)
    set(srcs ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name} STATIC ${srcs})
  if(K_DEPS)
    target_link_libraries(${name} PUBLIC ${K_DEPS})
  endif()
endfunction()

# kova_tests(NAME LIBS...): one GoogleTest executable from the .cpp files of the
# current test folder, each test run by CTest in its own process.
function(kova_tests name)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${ARGN} kova_testsupport GTest::gtest_main)
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "KOVA_BIN=${CMAKE_BINARY_DIR}/bin;KOVA_SOURCE=${CMAKE_SOURCE_DIR}")
endfunction()
