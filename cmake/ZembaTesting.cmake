# zemba_add_test(NAME name SOURCES src... [LINK target...] [ISA_VARIANTS] [DLOPEN])
# zemba_add_test(NAME name COMMAND program arg... [ISA_VARIANTS])
#
# Every test is registered through this function.
# SOURCES builds one GoogleTest program and registers its cases with CTest.
#   LINK          libraries under test (default: zemba, the original interface)
#   ISA_VARIANTS  run every case again with ZEMBA_ISA=sse2 and ZEMBA_ISA=avx2,
#                 so each narrower vector path is tested on a wide machine
#   DLOPEN        the program loads the library itself (not linked to it)
# COMMAND registers one command (a host program, a CMake script) as the test
# called name; it passes when it exits with 0. ISA_VARIANTS adds sse2.name and
# avx2.name.
function(zemba_add_test)
  cmake_parse_arguments(T "ISA_VARIANTS;DLOPEN" "NAME" "SOURCES;LINK;COMMAND" ${ARGN})
  if(T_COMMAND)
    add_test(NAME ${T_NAME} COMMAND ${T_COMMAND})
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT 600)
    if(T_ISA_VARIANTS)
      foreach(_isa sse2 avx2)
        add_test(NAME ${_isa}.${T_NAME} COMMAND ${T_COMMAND})
        set_tests_properties(${_isa}.${T_NAME} PROPERTIES TIMEOUT 600 ENVIRONMENT "ZEMBA_ISA=${_isa}")
      endforeach()
    endif()
    return()
  endif()
  if(NOT T_LINK AND NOT T_DLOPEN)
    set(T_LINK zemba)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  # Test programs sit beside the libraries, where the sanitizer script finds them.
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  target_include_directories(${T_NAME} PRIVATE
    ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/include)
  # Reach the library's buffers through the GOT: a position-dependent
  # reference would have the loader copy each referenced buffer into the
  # program at start-up (SlopMatrix: 1.19 GB, seconds per test process).
  target_compile_options(${T_NAME} PRIVATE -fPIC)
  target_link_libraries(${T_NAME} PRIVATE ${T_LINK} GTest::gtest GTest::gtest_main ${CMAKE_DL_LIBS})
  if(T_DLOPEN)
    add_dependencies(${T_NAME} zemba)
  endif()
  target_compile_definitions(${T_NAME} PRIVATE
    ZEMBA_LIBRARY_PATH="$<TARGET_FILE:zemba>"
    ZEMBA_EXPORTS_FILE="${ZEMBA_EXPORTS_FILE}"
    ZEMBA_DATA_DIR="${PROJECT_SOURCE_DIR}/data/eeg"
    ZEMBA_DAMAGED_DIR="${PROJECT_SOURCE_DIR}/data/damaged"
    ZEMBA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
  if(T_ISA_VARIANTS)
    foreach(_isa sse2 avx2)
      gtest_discover_tests(${T_NAME} TEST_PREFIX "${_isa}." DISCOVERY_TIMEOUT 60
        PROPERTIES TIMEOUT 600 ENVIRONMENT "ZEMBA_ISA=${_isa}")
    endforeach()
  endif()
endfunction()
