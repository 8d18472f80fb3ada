# SPDX-License-Identifier: MIT
# One CMake library per source folder. Sources are picked up by folder so that a new file needs no
# edit here; CONFIGURE_DEPENDS makes the build notice added and removed files.

# varlen_library(NAME DIR [QT] [LIBS lib...])
function(varlen_library name dir)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${dir}/*.h)
  if(sources)
    add_library(${name} STATIC ${sources} ${headers})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_LIBS})
  endif()
endfunction()

# varlen_test_suite(NAME DIR [QT] LIBS lib...)
# One GoogleTest executable for one layer, every test registered with CTest and run headless.
function(varlen_test_suite name dir)
  cmake_parse_arguments(ARG "QT" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT sources)
    return()
  endif()
  if(VARLEN_TEST_SUITES AND NOT name IN_LIST VARLEN_TEST_SUITES)
    return()
  endif()
  add_executable(${name} ${sources})
  if(TARGET varlen_tests)
    add_dependencies(varlen_tests ${name})
  endif()
  if(VARLEN_SANITIZE)
    # The sanitizers' run-time options (halt on the first report, leak check, suppressions) are
    # compiled into every test program, so that a bare ctest in the sanitizer build uses them too.
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/SanitizerOptions.cpp)
    target_compile_definitions(${name} PRIVATE
      VARLEN_LSAN_SUPPRESSIONS="${PROJECT_SOURCE_DIR}/tests/support/lsan.supp"
      VARLEN_TSAN_SUPPRESSIONS="${PROJECT_SOURCE_DIR}/tests/support/tsan.supp")
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
  if(ARG_QT)
    target_link_libraries(${name} PRIVATE varlen_test_qtmain)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${name} PRIVATE
    VARLEN_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    VARLEN_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name}
    TEST_PREFIX "${name}."
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VARLEN_SOURCE_DIR=${PROJECT_SOURCE_DIR};VARLEN_BINARY_DIR=${PROJECT_BINARY_DIR};XDG_CACHE_HOME=${PROJECT_BINARY_DIR}/test-cache"
      TIMEOUT 600)
endfunction()
