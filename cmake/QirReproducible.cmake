# Release kits are built with -DQIR_REPRODUCIBLE=ON: the same source gives the same
# bytes wherever it is checked out and whenever it is built. No build path in the
# binaries (mapped prefixes, no symbols), no link time in a PE header.
option(QIR_REPRODUCIBLE "Build byte-for-byte reproducible programs (release kits)" OFF)
if(QIR_REPRODUCIBLE)
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>"
                      "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}/=>")
  add_link_options(-s)
  if(WIN32)
    add_link_options(-Wl,--no-insert-timestamp)
  else()
    # The Linux kit's program needs only the C library and zlib.
    add_link_options(-static-libstdc++ -static-libgcc)
  endif()
endif()
