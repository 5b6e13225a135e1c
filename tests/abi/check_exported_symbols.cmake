cmake_minimum_required(VERSION 3.18)
# The shared library's dynamic symbol table holds exactly the C names of the
# lists EXPECTED/*.txt (one per line, '#' starts a comment): nothing missing,
# nothing extra, no C++-mangled name.
execute_process(COMMAND nm -D --defined-only ${LIBRARY} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
string(REGEX MATCHALL "[0-9a-fA-F]+ [A-Za-z] [^\n]+" exported "${out}")
list(TRANSFORM exported REPLACE "^[0-9a-fA-F]+ [A-Za-z] " "")
list(FILTER exported EXCLUDE REGEX "^__odr_asan[.]")  # AddressSanitizer's marker beside exported variables
file(GLOB lists ${EXPECTED}/*.txt)
foreach(list_file ${lists})
  file(STRINGS ${list_file} lines)
  list(TRANSFORM lines REPLACE "[ \t]*#.*" "")
  list(FILTER lines EXCLUDE REGEX "^[ \t]*$")
  list(APPEND expected ${lines})
endforeach()
set(extra ${exported})
list(REMOVE_ITEM extra ${expected})
set(missing ${expected})
list(REMOVE_ITEM missing ${exported})
if(NOT rc EQUAL 0 OR extra OR missing OR NOT expected)
  message(FATAL_ERROR "nm exit ${rc}; exported but not listed (mangled C++ names among them): ${extra}; listed but missing: ${missing}")
endif()
