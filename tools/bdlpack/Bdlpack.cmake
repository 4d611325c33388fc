# The host bundle tool for the build: its path (ZEPHYL_BDLPACK, made by target bdlpack_host)
# and zephyl_bundle(), which makes a bundle file at build time. Included by
# content/CMakeLists.txt so that every folder read after it can use both.
set(ZEPHYL_BDLPACK "${CMAKE_BINARY_DIR}/host-tools/bdlpack" CACHE INTERNAL "Host bundle tool")

# zephyl_bundle(TARGET name OUTPUT file.bdl ARGS -c category [NAME=]FILE ...)
# Runs "bdlpack pack OUTPUT ARGS..." when any input changes; relative FILEs are taken
# from the calling folder's source directory.
function(zephyl_bundle)
  cmake_parse_arguments(B "" "TARGET;OUTPUT" "ARGS" ${ARGN})
  if(NOT B_TARGET OR NOT B_OUTPUT OR NOT B_ARGS)
    message(FATAL_ERROR "zephyl_bundle needs TARGET, OUTPUT and ARGS")
  endif()
  set(inputs)
  set(args)
  set(after_c FALSE)
  foreach(arg ${B_ARGS})
    if(after_c)
      list(APPEND args "${arg}")
      set(after_c FALSE)
    elseif(arg STREQUAL "-c")
      list(APPEND args "${arg}")
      set(after_c TRUE)
    else()
      string(FIND "${arg}" "=" eq)
      if(eq GREATER -1)
        string(SUBSTRING "${arg}" 0 ${eq} name)
        math(EXPR start "${eq} + 1")
        string(SUBSTRING "${arg}" ${start} -1 file)
      else()
        get_filename_component(name "${arg}" NAME)
        set(file "${arg}")
      endif()
      get_filename_component(file "${file}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
      list(APPEND inputs "${file}")
      list(APPEND args "${name}=${file}")
    endif()
  endforeach()
  add_custom_command(
    OUTPUT "${B_OUTPUT}"
    COMMAND "${ZEPHYL_BDLPACK}" pack "${B_OUTPUT}" ${args}
    DEPENDS bdlpack_host "${ZEPHYL_BDLPACK}" ${inputs}
    COMMENT "Packing ${B_OUTPUT}"
    VERBATIM)
  add_custom_target(${B_TARGET} ALL DEPENDS "${B_OUTPUT}")
endfunction()
