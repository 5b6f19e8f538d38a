# Unity builds: each target compiles its sources in batches, one translation unit a batch. Local
# names of the sources in one batch must therefore not clash.
option(TESSELLARIUM_UNITY "Compile each target in batches of sources (unity build)" ON)
set(TESSELLARIUM_UNITY_BATCH 12 CACHE STRING "Sources in one unity batch")

function(tess_unity target)
  if(TESSELLARIUM_UNITY)
    set_target_properties(${target} PROPERTIES
      UNITY_BUILD ON
      UNITY_BUILD_BATCH_SIZE ${TESSELLARIUM_UNITY_BATCH})
    # GCC takes the sources of a batch for headers and warns about their anonymous namespaces.
    target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-subobject-linkage>)
  endif()
endfunction()

# tess_precompile_headers(<target> <headers...>)
# Headers of the checkout are named from the checkout's root (<cmake/pch/Layer.h>), never by an
# absolute path, so that a precompiled header restored from the compiler cache into another
# checkout names no file of the checkout that made it.
function(tess_precompile_headers target)
  set(headers "")
  foreach(header IN LISTS ARGN)
    cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${header}" NORMALIZE inside)
    if(inside)
      cmake_path(RELATIVE_PATH header BASE_DIRECTORY "${PROJECT_SOURCE_DIR}")
      set(header "<${header}>")
    endif()
    list(APPEND headers "${header}")
  endforeach()
  target_precompile_headers(${target} PRIVATE ${headers})
endfunction()

# tess_library(<target> DEPS <libs...> [PCH <headers...>])
# One static library made of every .cpp in the calling folder. PCH adds heavy, stable headers to
# the precompiled set.
function(tess_library target)
  cmake_parse_arguments(ARG "" "" "DEPS;PCH" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}")
  target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  tess_precompile_headers(${target} "${PROJECT_SOURCE_DIR}/cmake/pch/StandardLibrary.h" ${ARG_PCH})
  tess_unity(${target})
endfunction()

# tess_fixture_source(<target>)
# Gives the target TestFixtureDir() (the calling source folder) and TestBinaryDir() (its build
# folder), declared in tests/TestFixtures.h. The two paths are compiled into one small generated
# source only, so that no other source depends on where the checkout lies and a second checkout
# reuses the compiler cache.
function(tess_fixture_source target)
  set(fixture_source "${CMAKE_CURRENT_BINARY_DIR}/${target}_fixtures.cpp")
  file(CONFIGURE OUTPUT "${fixture_source}" CONTENT [[
#include "tests/TestFixtures.h"
const char* TestFixtureDir() { return "@CMAKE_CURRENT_SOURCE_DIR@"; }
const char* TestBinaryDir() { return "@CMAKE_CURRENT_BINARY_DIR@"; }
]] @ONLY)
  target_sources(${target} PRIVATE "${fixture_source}")
  set_source_files_properties("${fixture_source}" PROPERTIES
    SKIP_UNITY_BUILD_INCLUSION ON SKIP_PRECOMPILE_HEADERS ON)
endfunction()

# tess_tests(<target> LIBS <libs...> [FIXTURES] [PCH <headers...>])
# One GoogleTest executable made of every .cpp in the calling test folder. FIXTURES gives it
# tests/TestFixtures.h; PCH adds heavy, stable headers to the precompiled set.
function(tess_tests target)
  cmake_parse_arguments(ARG "FIXTURES" "" "LIBS;PCH" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(${target} ${sources})
  if(ARG_FIXTURES)
    tess_fixture_source(${target})
  endif()
  target_include_directories(${target} PRIVATE "${PROJECT_SOURCE_DIR}" "${CMAKE_CURRENT_SOURCE_DIR}")
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  tess_precompile_headers(${target}
    "${PROJECT_SOURCE_DIR}/cmake/pch/StandardLibrary.h"
    "${PROJECT_SOURCE_DIR}/cmake/pch/GoogleTest.h"
    ${ARG_PCH})
  tess_unity(${target})
  # A position-dependent test executable starts without applying its million relative
  # relocations; every test case is a process of its own, so that start is paid thousands of times.
  target_link_options(${target} PRIVATE -no-pie)
  tess_register_suites(${target})
endfunction()

# tess_register_suites(<target>)
# Registers one CTest test per GoogleTest suite of the executable, found after each link.
function(tess_register_suites target)
  set(suites_file "${CMAKE_CURRENT_BINARY_DIR}/${target}_suites.cmake")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND "${CMAKE_COMMAND}"
      "-DBINARY=$<TARGET_FILE:${target}>" "-DTARGET=${target}" "-DOUTPUT=${suites_file}"
      "-DWORKING_DIRECTORY=${CMAKE_CURRENT_BINARY_DIR}" "-DENVIRONMENT=QT_QPA_PLATFORM=offscreen"
      -P "${PROJECT_SOURCE_DIR}/cmake/GTestSuites.cmake"
    BYPRODUCTS "${suites_file}"
    VERBATIM)
  set(include_file "${CMAKE_CURRENT_BINARY_DIR}/${target}_include.cmake")
  file(WRITE "${include_file}"
    "if(EXISTS \"${suites_file}\")\n"
    "  include(\"${suites_file}\")\n"
    "else()\n"
    "  add_test(${target}_NOT_BUILT ${target}_NOT_BUILT)\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${include_file}")
endfunction()

# tess_bench(<target> LIBS <libs...> [FIXTURES])
function(tess_bench target)
  cmake_parse_arguments(ARG "FIXTURES" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(${target} ${sources})
  if(ARG_FIXTURES)
    tess_fixture_source(${target})
  endif()
  target_include_directories(${target} PRIVATE "${PROJECT_SOURCE_DIR}")
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main)
  tess_precompile_headers(${target} "${PROJECT_SOURCE_DIR}/cmake/pch/StandardLibrary.h")
  tess_unity(${target})
endfunction()
