# One version for every program and DLL: the project's version, and the product's
# version for the configurator. Every resource script's version block includes the
# generated QirVersion.h; it is refreshed before each build with the build mark.
set(QIR_PRODUCT_VERSION 7.0.0.1)
set(QIR_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
set(QIR_VERSION_HEADER ${QIR_GENERATED_DIR}/QirVersion.h)
set(QIR_BUILD_MARK_COMMAND
    ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DHEADER=${QIR_VERSION_HEADER}
    -DVERSION=${PROJECT_VERSION} -DPRODUCT_VERSION=${QIR_PRODUCT_VERSION}
    -P ${PROJECT_SOURCE_DIR}/cmake/QirBuildMark.cmake)
execute_process(COMMAND ${QIR_BUILD_MARK_COMMAND})
add_custom_target(qir_build_mark COMMAND ${QIR_BUILD_MARK_COMMAND} BYPRODUCTS ${QIR_VERSION_HEADER} VERBATIM)
include_directories(${QIR_GENERATED_DIR})

# Every program and DLL below dir waits for the build mark; its resource scripts depend
# on the header. With STAND_INS, a program or DLL without a version block of its own (the
# product's stand-ins) gets the stand-in one.
function(qir_stamp_versions dir)
  set(stand_ins ${ARGN})
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY)$")
      continue()
    endif()
    get_target_property(sources ${target} SOURCES)
    get_target_property(source_dir ${target} SOURCE_DIR)
    set(scripts)
    foreach(source ${sources})
      if(source MATCHES "\\.rc$")
        cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${source_dir})
        list(APPEND scripts ${source})
      endif()
    endforeach()
    set(has_block FALSE)
    foreach(script ${scripts})
      # A script the build generates (the test's message resources) is not there yet
      # on a first configure; none of those carries a version block.
      if(NOT EXISTS ${script})
        continue()
      endif()
      file(STRINGS ${script} block REGEX "VERSIONINFO")
      if(block)
        set(has_block TRUE)
      endif()
    endforeach()
    if(NOT has_block AND stand_ins)
      list(APPEND scripts ${PROJECT_SOURCE_DIR}/cmake/StandInVersion.rc)
      target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/StandInVersion.rc)
    endif()
    if(NOT scripts)
      continue()
    endif()
    set_property(SOURCE ${scripts} TARGET_DIRECTORY ${target} APPEND PROPERTY OBJECT_DEPENDS ${QIR_VERSION_HEADER})
    add_dependencies(${target} qir_build_mark)
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir ${subdirs})
    qir_stamp_versions(${subdir} ${stand_ins})
  endforeach()
endfunction()
