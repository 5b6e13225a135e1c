cmake_minimum_required(VERSION 3.18)
# Installs the build into a scratch prefix, then builds and runs against it a
# C99 program including every public header, each on its own (cc -std=c99
# -Wall -Wextra -Werror -pedantic, flags from pkg-config), and a CMake
# project using find_package(tessivar).
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
function(step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

step("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
file(GLOB_RECURSE pc_file ${prefix}/*/tessivar.pc)
get_filename_component(pc_dir "${pc_file}" DIRECTORY)
get_filename_component(lib_dir "${pc_dir}" DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
set(ENV{LD_LIBRARY_PATH} ${lib_dir})
step("pkg-config" pkg-config --cflags --libs tessivar)
separate_arguments(pc_flags UNIX_COMMAND "${out}")
file(GLOB headers RELATIVE ${prefix}/include ${prefix}/include/tessivar/*.h)
list(TRANSFORM headers REPLACE "(.+)" "#include <\\1>\n")
file(READ ${SOURCE} body)
file(WRITE ${WORK_DIR}/all_headers.c ${headers} "${body}")
step("C99 build" ${C_COMPILER} -std=c99 -Wall -Wextra -Werror -pedantic ${EXTRA_FLAGS} ${WORK_DIR}/all_headers.c
     ${pc_flags} -o ${WORK_DIR}/all_headers)
step("C99 program (exit code = failed check)" ${WORK_DIR}/all_headers)
string(REPLACE ";" " " flags "${EXTRA_FLAGS}")  # one argument each, spaces kept
step("find_package(tessivar)" ${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR}/consumer -B ${WORK_DIR}/consumer
     -DCMAKE_PREFIX_PATH=${prefix} "-DCMAKE_C_FLAGS=${flags}" "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
step("consumer build" ${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
step("consumer" ${WORK_DIR}/consumer/consumer)
