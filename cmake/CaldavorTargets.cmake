# Every src/<folder> is one static library, caldavor_<folder>, built from the
# sources found there; tests/<folder> is one GoogleTest binary. Adding a unit
# means adding its files, nothing else.

function(caldavor_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  # Builds compile batches of files as one (unity builds): a type of one file
  # that holds or derives from a file-local type then looks to GCC as if it
  # came from a header.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-subobject-linkage)
  endif()
  # GCC 12 reports -Wrestrict on std::string concatenation at -O3, and
  # -Wmaybe-uninitialized on a copied short std::string's inline buffer
  # (compiler bugs fixed in 13); they would make every release build a
  # lottery. Debug builds keep the second warning.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict $<$<NOT:$<CONFIG:Debug>>:-Wno-maybe-uninitialized>)
  endif()
endfunction()

# caldavor_library(<folder> [SUBDIRS dir...] [DEPS lib...])
function(caldavor_library folder)
  cmake_parse_arguments(ARG "" "" "SUBDIRS;DEPS" ${ARGN})
  set(globs ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  foreach(sub IN LISTS ARG_SUBDIRS)
    list(APPEND globs ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/${sub}/*.cpp)
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${globs})
  add_library(caldavor_${folder} STATIC ${sources})
  # Batches of units compile as one: each header is parsed once per batch, not
  # once per file, which halves a fresh build on two cores.
  set_target_properties(caldavor_${folder} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  target_include_directories(caldavor_${folder} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(caldavor_${folder} PUBLIC ${ARG_DEPS})
  caldavor_warnings(caldavor_${folder})
endfunction()

# caldavor_test(<folder> DEPS lib...)
function(caldavor_test folder)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(test_${folder} ${sources})
  set_target_properties(test_${folder} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  target_include_directories(test_${folder} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(test_${folder} PRIVATE ${ARG_DEPS} caldavor_testsupport GTest::gmock GTest::gtest_main)
  target_compile_definitions(test_${folder} PRIVATE CALDAVOR_BOARDS_DIR="${PROJECT_SOURCE_DIR}/boards")
  caldavor_warnings(test_${folder})
  # One process per binary: a sanitized process start costs more than most
  # tests, and CI machines may have only two cores.
  # The test framework and the simulated machine are in nearly every test
  # file: compiled once per binary, not once per file.
  target_precompile_headers(test_${folder} PRIVATE <gmock/gmock.h> <gtest/gtest.h> <algorithm> <filesystem>
                            <map> <string> <vector> "${PROJECT_SOURCE_DIR}/src/platform/sim/machine.h")
  add_test(NAME ${folder} COMMAND test_${folder})
  set_tests_properties(${folder} PROPERTIES ${CALDAVOR_TEST_ENVIRONMENT})
endfunction()
