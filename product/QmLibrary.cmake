# Part of our stand-ins of another vendor's libraries and programs, for development and tests; the stand-ins are not part of what we ship.
# qm_add_library(TARGET NAME DEF SOURCES...): one of the run-time bound stand-in
# libraries, exported by plain names through its .def file and named NAME.DLL.
function(qm_add_library target name def)
  add_library(${target} SHARED ${ARGN} ${def})
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/include)
  target_compile_definitions(${target} PRIVATE UNICODE _UNICODE)
  target_link_libraries(${target} PRIVATE user32 gdi32 shell32 ole32 comdlg32 advapi32)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${name} SUFFIX ".DLL")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # WINAPI names carry an @n suffix on win32: export them under the .def's plain names.
    target_link_options(${target} PRIVATE -Wl,--kill-at -Wl,--enable-stdcall-fixup)
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DDLL=$<TARGET_FILE:${target}> -DDEF=${def}
            -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/CheckExports.cmake
    VERBATIM)
endfunction()
