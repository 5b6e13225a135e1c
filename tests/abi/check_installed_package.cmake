cmake_minimum_required(VERSION 3.18)
# Installs the build into a scratch prefix, then
#  1. compiles a C99 program that includes every public header with
#     cc -std=c99 -Wall -Werror (plus -Wextra -pedantic) and the flags pkg-config gives, and runs it;
#  2. configures and builds a CMake project that uses find_package(tessivar).
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed: ${rc}")
endif()

file(GLOB_RECURSE pc_files ${prefix}/*/tessivar.pc)
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir ${pc_file} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
execute_process(COMMAND pkg-config --cflags --libs tessivar
  OUTPUT_VARIABLE pc_flags RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "pkg-config does not know tessivar")
endif()
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")

# Every installed header, each on its own (so none leans on an earlier one),
# then the umbrella header and the program body.
file(GLOB headers RELATIVE ${prefix}/include/tessivar ${prefix}/include/tessivar/*.h)
set(program "")
foreach(h ${headers})
  string(APPEND program "#include <tessivar/${h}>\n")
endforeach()
file(READ ${SOURCE} body)
string(APPEND program "${body}")
file(WRITE ${WORK_DIR}/all_headers.c "${program}")

execute_process(COMMAND ${C_COMPILER} -std=c99 -Wall -Wextra -Werror -pedantic ${EXTRA_FLAGS}
    ${WORK_DIR}/all_headers.c ${pc_flags} -o ${WORK_DIR}/all_headers
  RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "C99 program did not build:\n${err}")
endif()

get_filename_component(lib_dir ${pc_dir} DIRECTORY)
set(ENV{LD_LIBRARY_PATH} ${lib_dir})
execute_process(COMMAND ${WORK_DIR}/all_headers RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "C99 program failed (${rc}):\n${out}\n${err}")
endif()
message(STATUS "C99 program: ${out}")

get_filename_component(here ${CMAKE_CURRENT_LIST_FILE} DIRECTORY)
execute_process(COMMAND ${CMAKE_COMMAND} -S ${here}/consumer -B ${WORK_DIR}/consumer
    -DCMAKE_PREFIX_PATH=${prefix} "-DEXTRA_FLAGS=${EXTRA_FLAGS}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "find_package(tessivar) failed:\n${out}\n${err}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/consumer
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "consumer did not build:\n${out}\n${err}")
endif()
file(GLOB consumer_exe ${WORK_DIR}/consumer/consumer)
execute_process(COMMAND ${consumer_exe} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "consumer failed (${rc}):\n${out}\n${err}")
endif()
