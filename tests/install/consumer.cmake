# Installs a build into a fresh prefix and builds a small C program against
# the installed tree, twice: through the CMake package (shared core with the
# original library; static core) and through pkg-config (zemba-core). Runs
# every program. Fails on the first step that fails.
#   cmake -DBUILD_DIR=b -DSOURCE_DIR=s -DWORK_DIR=w -DLIBDIR=lib -DC_COMPILER=cc
#         [-DC_FLAGS=flags] -DGENERATOR=g -P consumer.cmake
cmake_minimum_required(VERSION 3.16)
foreach(_v BUILD_DIR SOURCE_DIR WORK_DIR LIBDIR C_COMPILER GENERATOR)
  if(NOT DEFINED ${_v})
    message(FATAL_ERROR "consumer.cmake: -D${_v}=... missing")
  endif()
endforeach()
set(prefix ${WORK_DIR}/prefix)
separate_arguments(cflags UNIX_COMMAND "${C_FLAGS}")
set(consumer ${SOURCE_DIR}/tests/install/consumer)
set(ENV{ZEMBA_QUIET} 1)

function(step)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " cmd "${ARGN}")
    message(FATAL_ERROR "failed (${rc}): ${cmd}\n${out}")
  endif()
  set(step_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
step(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(_f include/zemba.h include/zemba/core.h include/zemba/core/graphs.h ${LIBDIR}/libzemba.so
    ${LIBDIR}/libzemba-core.so ${LIBDIR}/libzemba-core.a ${LIBDIR}/cmake/zemba/zembaConfigVersion.cmake)
  if(NOT EXISTS ${prefix}/${_f})
    message(FATAL_ERROR "not installed: ${_f}")
  endif()
endforeach()

# CMake package
step(${CMAKE_COMMAND} -S ${consumer} -B ${WORK_DIR}/cmake -G ${GENERATOR} -DCMAKE_BUILD_TYPE=Release
     -DCMAKE_C_COMPILER=${C_COMPILER} "-DCMAKE_C_FLAGS=${C_FLAGS}" -DCMAKE_PREFIX_PATH=${prefix})
step(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake)
step(${WORK_DIR}/cmake/consumer)
step(${WORK_DIR}/cmake/consumer_static)

# pkg-config
find_program(PKG_CONFIG pkg-config)
if(NOT PKG_CONFIG)
  message(FATAL_ERROR "pkg-config not found (scripts/deps.sh installs it)")
endif()
set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
step(${PKG_CONFIG} --modversion zemba-core)
string(STRIP "${step_output}" version)
step(${PKG_CONFIG} --cflags --libs zemba-core)
separate_arguments(flags UNIX_COMMAND "${step_output}")
step(${C_COMPILER} ${cflags} ${consumer}/consumer.c "-DEXPECTED_VERSION=\"${version}\"" ${flags}
     -Wl,-rpath,${prefix}/${LIBDIR} -o ${WORK_DIR}/pkgconfig_consumer)
step(${WORK_DIR}/pkgconfig_consumer)
step(${PKG_CONFIG} --cflags --libs zemba)
separate_arguments(flags UNIX_COMMAND "${step_output}")
step(${PKG_CONFIG} --cflags --libs zemba-core)
separate_arguments(core_flags UNIX_COMMAND "${step_output}")
step(${C_COMPILER} ${cflags} ${consumer}/consumer.c -DWITH_ORIGINAL ${core_flags} ${flags}
     -Wl,-rpath,${prefix}/${LIBDIR} -o ${WORK_DIR}/pkgconfig_original)
step(${WORK_DIR}/pkgconfig_original)
message(STATUS "installed tree: CMake package and pkg-config consumers pass")
