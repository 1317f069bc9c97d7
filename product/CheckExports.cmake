# Part of our stand-ins of another vendor's libraries and programs, for development and tests; the stand-ins are not part of what we ship.
# Fails the build when a stand-in library's export names differ from its .def file:
# the configurator binds them with GetProcAddress by plain name, so a decorated
# stdcall name (win32's "name@n") or a missing name would only show at run time.
# Usage: cmake -DOBJDUMP=... -DDLL=... -DDEF=... -P CheckExports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} cannot read ${DLL}")
endif()

# The name table: "[Ordinal/Name Pointer] Table", then one "[  n] name" line per export.
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[ 0-9]+\\][^\n]*\n)*)" table "${dump}")
string(REPLACE "\n" ";" rows "${CMAKE_MATCH_1}")
set(exported "")
foreach(row ${rows})
  if(row MATCHES "^[ \t]+\\[[ 0-9]+\\][ \t]+([^ \t]+)$")
    list(APPEND exported ${CMAKE_MATCH_1})
  endif()
endforeach()

file(STRINGS ${DEF} lines)
set(expected "")
set(inExports FALSE)
foreach(line ${lines})
  string(STRIP "${line}" line)
  if(line STREQUAL "" OR line MATCHES "^;")
    continue()
  elseif(line STREQUAL "EXPORTS")
    set(inExports TRUE)
  elseif(inExports)
    string(REGEX REPLACE "[ \t].*" "" name "${line}")
    list(APPEND expected ${name})
  endif()
endforeach()

list(SORT exported)
list(SORT expected)
if(NOT exported STREQUAL expected)
  set(extra ${exported})
  list(REMOVE_ITEM extra ${expected})
  set(missing ${expected})
  list(REMOVE_ITEM missing ${exported})
  message(FATAL_ERROR "${DLL}: exports differ from ${DEF}\n  not in the .def: ${extra}\n  not exported: ${missing}")
endif()
