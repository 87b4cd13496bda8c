# GoogleTest for both targets: natively through CMake's package lookup (Debian's
# libgtest-dev); for MinGW built from a GoogleTest source tree, by default the
# one of Debian's googletest package.
set(TARVEL_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest's sources, built for the MinGW build")
if(TARVEL_TESTS)
  if(WIN32)
    if(NOT EXISTS ${TARVEL_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
      message(FATAL_ERROR "No GoogleTest sources in TARVEL_GOOGLETEST_SOURCE_DIR "
                          "(${TARVEL_GOOGLETEST_SOURCE_DIR}): run scripts/setup.sh or set it")
    endif()
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${TARVEL_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  else()
    find_package(GTest REQUIRED)
  endif()
  include(GoogleTest)
endif()

# tarvel_add_test(name SOURCES a.cpp b.cpp LIBS lib... [LABELS label...])
# Natively each test case becomes a CTest test; under Wine the whole program is
# one test (every Wine start costs a few hundred milliseconds). LABELS go on
# every test of the program (e.g. "threads" for the ThreadSanitizer run).
function(tarvel_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    if(T_LABELS)
      set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
  elseif(T_LABELS)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${T_LABELS}")
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
