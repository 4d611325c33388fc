# Helpers shared by the folders' CMakeLists.

function(zephyl_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers -Wno-cast-function-type)
endfunction()

# Code that needs no Windows API: part of both builds.
function(zephyl_portable)
  foreach(src ${ARGN})
    target_sources(zcore PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/${src})
  endforeach()
endfunction()

# Win32 code of the screen saver: part of the Windows build only.
function(zephyl_windows)
  if(WIN32)
    foreach(src ${ARGN})
      target_sources(zwin PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/${src})
    endforeach()
  endif()
endfunction()

# A file that belongs in dist/ (a path or a generator expression).
function(zephyl_dist_file path)
  set_property(GLOBAL APPEND PROPERTY ZEPHYL_DIST_FILES "${path}")
endfunction()
# A target whose outputs the dist step waits for.
function(zephyl_dist_depends target)
  set_property(GLOBAL APPEND PROPERTY ZEPHYL_DIST_TARGETS "${target}")
endfunction()

# Release signing. With a certificate (ZEPHYL_SIGN_PFX, a .pfx file, and its password
# ZEPHYL_SIGN_PASSWORD, as CMake or environment variables; ZEPHYL_TIMESTAMP_URL, an
# RFC 3161 time-stamp server, optional) every program file of dist/ and the installer with
# its uninstaller are signed: osslsigncode where it exists, else signtool (Windows SDK).
# The password from the environment is read when a file is signed, not stored.
function(zephyl_signing_setup)
  if(NOT ZEPHYL_SIGN_PFX AND DEFINED ENV{ZEPHYL_SIGN_PFX})
    set(ZEPHYL_SIGN_PFX "$ENV{ZEPHYL_SIGN_PFX}")
  endif()
  if(NOT ZEPHYL_TIMESTAMP_URL AND DEFINED ENV{ZEPHYL_TIMESTAMP_URL})
    set(ZEPHYL_TIMESTAMP_URL "$ENV{ZEPHYL_TIMESTAMP_URL}")
  endif()
  if(NOT WIN32 OR NOT ZEPHYL_SIGN_PFX)
    set(ZEPHYL_SIGN_SCRIPT "" PARENT_SCOPE)
    return()
  endif()
  if(NOT EXISTS "${ZEPHYL_SIGN_PFX}")
    message(FATAL_ERROR "ZEPHYL_SIGN_PFX names no file: ${ZEPHYL_SIGN_PFX}")
  endif()
  find_program(ZEPHYL_SIGNTOOL NAMES osslsigncode signtool NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ZEPHYL_SIGNTOOL)
    message(FATAL_ERROR "A certificate is given but neither osslsigncode nor signtool was found "
                        "(Debian: apt-get install osslsigncode)")
  endif()
  get_filename_component(tool "${ZEPHYL_SIGNTOOL}" NAME_WE)
  string(TOLOWER "${tool}" kind)
  set(script "${CMAKE_BINARY_DIR}/sign/SignFile.cmake")
  set(text "# Made by the build: the release certificate's settings.\n")
  string(APPEND text "set(SIGN_TOOL [==[${ZEPHYL_SIGNTOOL}]==])\nset(SIGN_KIND ${kind})\n")
  string(APPEND text "set(SIGN_PFX [==[${ZEPHYL_SIGN_PFX}]==])\n")
  string(APPEND text "set(SIGN_TIMESTAMP [==[${ZEPHYL_TIMESTAMP_URL}]==])\n")
  string(APPEND text "set(SIGN_NAME [==[Zephyl Saver]==])\nset(SIGN_URL [==[http://${ZEPHYL_VENDOR_HOST}/]==])\n")
  if(DEFINED ZEPHYL_SIGN_PASSWORD)
    string(APPEND text "set(SIGN_PASSWORD [==[${ZEPHYL_SIGN_PASSWORD}]==])\n")
  endif()
  string(APPEND text "include([==[${CMAKE_SOURCE_DIR}/cmake/SignFile.cmake]==])\n")
  # Rewritten only when it changes, so that a new configure signs nothing again.
  file(WRITE "${script}.tmp" "${text}")
  file(CHMOD "${script}.tmp" PERMISSIONS OWNER_READ OWNER_WRITE)
  file(COPY_FILE "${script}.tmp" "${script}" ONLY_IF_DIFFERENT)
  file(REMOVE "${script}.tmp")
  message(STATUS "Signing with ${ZEPHYL_SIGN_PFX} (${kind})")
  set(ZEPHYL_SIGN_SCRIPT "${script}" PARENT_SCOPE)
  set(ZEPHYL_SIGN_PFX "${ZEPHYL_SIGN_PFX}" PARENT_SCOPE)
endfunction()
zephyl_signing_setup()

# The signed copy of a program target's file (build/signed/<target>/<file name>), made by
# the target zephyl_sign_<target>; OUT_VAR gets its path. COPY_TO: a folder that also gets
# the signed file (for a program copied there unsigned by its own build step).
function(zephyl_sign_target target out_var)
  cmake_parse_arguments(arg "" "COPY_TO" "" ${ARGN})
  set(folder "${CMAKE_BINARY_DIR}/signed/${target}")
  set(out "${folder}/$<TARGET_FILE_NAME:${target}>")
  set(${out_var} "${out}" PARENT_SCOPE)
  if(TARGET zephyl_sign_${target})
    return()
  endif()
  # A stamp marks it done: an output may not name the target's file through a generator
  # expression.
  set(stamp "${CMAKE_BINARY_DIR}/signed/${target}.stamp")
  set(copy "")
  if(arg_COPY_TO)
    set(copy COMMAND ${CMAKE_COMMAND} -E copy "${out}" "${arg_COPY_TO}/")
  endif()
  add_custom_command(OUTPUT "${stamp}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${folder}"
    COMMAND ${CMAKE_COMMAND} "-DIN=$<TARGET_FILE:${target}>" "-DOUT=${out}" -P ${ZEPHYL_SIGN_SCRIPT}
    ${copy}
    COMMAND ${CMAKE_COMMAND} -E touch "${stamp}"
    DEPENDS ${target} ${ZEPHYL_SIGN_SCRIPT} ${CMAKE_SOURCE_DIR}/cmake/SignFile.cmake "${ZEPHYL_SIGN_PFX}"
    COMMENT "Signing the program file of ${target}"
    VERBATIM)
  add_custom_target(zephyl_sign_${target} DEPENDS "${stamp}")
endfunction()

# Copies every installable file into dist/ and writes dist/chk.sum (sha256sum format).
# With a certificate, every program file (a target's file: the saver, the launcher, the
# DLL and whatever program is added) is signed first, into build/signed/, so that chk.sum
# lists the bytes that are shipped.
function(zephyl_make_dist)
  get_property(files GLOBAL PROPERTY ZEPHYL_DIST_FILES)
  get_property(targets GLOBAL PROPERTY ZEPHYL_DIST_TARGETS)
  if(ZEPHYL_SIGN_SCRIPT)
    set(unsigned ${files})
    set(files "")
    foreach(f ${unsigned})
      if(f MATCHES "^\\$<TARGET_FILE:([^>]+)>$")
        zephyl_sign_target(${CMAKE_MATCH_1} f)
        list(APPEND targets zephyl_sign_${CMAKE_MATCH_1})
      endif()
      list(APPEND files "${f}")
    endforeach()
  endif()
  string(REPLACE ";" "|" files_arg "${files}")
  add_custom_target(dist ALL
    COMMAND ${CMAKE_COMMAND} "-DFILES=${files_arg}" "-DDEST=${ZEPHYL_DIST_DIR}"
            -P ${CMAKE_SOURCE_DIR}/cmake/MakeDist.cmake
    BYPRODUCTS ${ZEPHYL_DIST_DIR}/chk.sum
    COMMENT "Copying installable files to ${ZEPHYL_DIST_DIR}"
    VERBATIM)
  add_dependencies(dist ZephylSaver ${targets})
endfunction()

# A unit test of portable code: built natively (sanitizers) and for Windows (run by Wine).
function(zephyl_unit_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE zcore GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE ZEPHYL_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  if(WIN32)
    target_link_options(${name} PRIVATE -static)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  # "ctest -L unit" runs these alone (natively on Windows, for one).
  set_tests_properties(${name} PROPERTIES LABELS unit)
  if(WIN32)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK wine TIMEOUT 300)
  else()
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  endif()
endfunction()

# A Windows-only test: links the Win32 code and the Wine test support, runs under Wine
# in the shared prefix (one at a time: they share the registry, the desktop and the mutex).
function(zephyl_wine_test name)
  if(NOT WIN32)
    return()
  endif()
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE zwin zwintest zwintestmain)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  target_link_options(${name} PRIVATE -static)
  add_dependencies(${name} dist)
  add_test(NAME ${name} COMMAND ${name})
  # The program's Win32 code imports fmod.dll, which the build puts into dist/.
  string(REPLACE "/" "\\" dist_windows "Z:${ZEPHYL_DIST_DIR}")
  set_tests_properties(${name} PROPERTIES RESOURCE_LOCK wine TIMEOUT 900
                       ENVIRONMENT "WINEPATH=${dist_windows}")
endfunction()

# Sources of the ZephylSaver.scr program itself (its entry point, its resources).
function(zephyl_program_sources)
  if(WIN32)
    foreach(src ${ARGN})
      target_sources(ZephylSaver PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/${src})
    endforeach()
  endif()
endfunction()
