# cmake -DSOURCE_DIR=... -DBINARY_DIR=... -DCXX=... -P CheckPublicHeaders.cmake
# Compiles every public header alone, and the example application, with nothing on the include
# path but include/ and the generated include folder: what an application has once the SDK is
# installed. Fails when a public header reaches an internal one, misses an include of its own,
# or include/ holds a header the install would leave out.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/PublicHeaders.cmake)

set(work "${BINARY_DIR}/public-headers")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")
set(flags -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I "${SOURCE_DIR}/include"
          -I "${BINARY_DIR}/include")

set(problems "")
# compile NAME SOURCE: one translation unit, its first errors kept for the report.
function(compile name source)
  execute_process(COMMAND ${CXX} ${flags} "${source}" WORKING_DIRECTORY "${work}"
                  RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    string(REGEX MATCHALL "[^\n]*error:[^\n]*" lines "${errors}")
    list(SUBLIST lines 0 3 lines)
    list(JOIN lines "\n    " lines)
    set(problems "${problems}  ${name} does not compile with only include/:\n    ${lines}\n" PARENT_SCOPE)
  endif()
endfunction()

foreach(header IN LISTS VOZAVE_PUBLIC_HEADERS)
  string(REGEX REPLACE "^include/" "" name "${header}")
  string(MAKE_C_IDENTIFIER "${name}" unit)
  file(WRITE "${work}/${unit}.cpp" "#include <${name}>\n")
  compile("${header}" "${work}/${unit}.cpp")
endforeach()
foreach(example IN ITEMS hello-banner hello-interstitial hello-rewarded)
  compile("examples/${example}/main.cpp" "${SOURCE_DIR}/examples/${example}/main.cpp")
endforeach()

file(GLOB_RECURSE present RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/include/*.h")
foreach(header IN LISTS present)
  if(NOT header IN_LIST VOZAVE_PUBLIC_HEADERS)
    string(APPEND problems "  ${header} is in include/ but not in sdk/PublicHeaders.cmake\n")
  endif()
endforeach()

if(problems)
  message(FATAL_ERROR "The public headers are not the SDK alone:\n${problems}")
endif()
list(LENGTH VOZAVE_PUBLIC_HEADERS count)
message(STATUS "${count} public headers and the example compile with only include/")
