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

# tarvel_use_modules(target [VST] [VST3] [LV2] [CLAP])
# The built plug-in modules a test or benchmark program loads the way a host
# does, built before it and named by one macro each: TARVEL_PLUGIN_FILE (the
# VST 2.4 module), TARVEL_VST3_BUNDLE (the VST3 bundle) and TARVEL_LV2_BUNDLES
# (the folder holding the LV2 bundle, for LV2_PATH).
function(tarvel_use_modules target)
  cmake_parse_arguments(U "VST;VST3;LV2;CLAP" "" "" ${ARGN})
  if(U_VST)
    target_compile_definitions(${target} PRIVATE "TARVEL_PLUGIN_FILE=\"$<TARGET_FILE:Tarvel>\"")
    add_dependencies(${target} Tarvel)
  endif()
  if(U_VST3)
    target_compile_definitions(${target} PRIVATE "TARVEL_VST3_BUNDLE=\"${TARVEL_VST3_BUNDLE}\"")
    add_dependencies(${target} Tarvel_vst3)
  endif()
  if(U_LV2)
    get_filename_component(bundles ${TARVEL_LV2_BUNDLE} DIRECTORY)
    target_compile_definitions(${target} PRIVATE "TARVEL_LV2_BUNDLES=\"${bundles}\"")
    add_dependencies(${target} tarvel_lv2_bundle)
  endif()
  if(U_CLAP)
    target_compile_definitions(${target} PRIVATE "TARVEL_CLAP_FILE=\"$<TARGET_FILE:Tarvel_clap>\"")
    add_dependencies(${target} Tarvel_clap)
  endif()
endfunction()

# tarvel_add_x11_test(name SOURCES a.cpp... LIBS lib... [LABELS label...])
# A test of X11 code (Linux), each program in a virtual X server of its own.
# -noreset: a server that resets when its last client goes would drop the
# next test's connection. Server numbers start from the shell's process id:
# a run right after another does not take the number whose server is still
# going away.
function(tarvel_add_x11_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} tarvel_host_x11 GTest::gtest_main)
  add_test(NAME ${name}
           COMMAND sh -c [[exec xvfb-run -a -n $(($$ % 400 + 100)) -s "-screen 0 1024x1024x24 -noreset" "$0"]]
           $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES LABELS "x11;${T_LABELS}" RESOURCE_LOCK xvfb)
endfunction()
