# Part of our stand-ins of another vendor's libraries and programs, for development and tests; the stand-ins are not part of what we ship.
# plain_exports(TARGET DLLNAME): a library linked by import keeps undecorated export
# names on win32 too, so GetProcAddress finds them by their plain names. --kill-at
# leaves an import library that still wants the decorated names, so it is rebuilt
# from the linker's export list with dlltool -k, which maps each decorated import to
# its plain export. Nothing to do on win64.
function(plain_exports target dll)
  if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
    return()
  endif()
  find_program(PLAIN_EXPORTS_DLLTOOL NAMES ${TOOL_PREFIX}-dlltool i686-w64-mingw32-dlltool REQUIRED)
  set(raw ${CMAKE_CURRENT_BINARY_DIR}/${target}.exports.def)
  set(def ${CMAKE_CURRENT_BINARY_DIR}/${target}.def)
  target_link_options(${target} PRIVATE -Wl,--kill-at -Wl,--output-def,${raw})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND sed -E "s/^[[:space:]]*[^[:space:]]+ = ([^[:space:]]+) @[0-9]+.*/    \\1/" ${raw} > ${def}
    COMMAND ${PLAIN_EXPORTS_DLLTOOL} -k -d ${def} -D ${dll} -l $<TARGET_LINKER_FILE:${target}>
    VERBATIM)
endfunction()
