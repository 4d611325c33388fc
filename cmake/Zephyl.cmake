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

# Copies every installable file into dist/ and writes dist/chk.sum (sha256sum format).
function(zephyl_make_dist)
  get_property(files GLOBAL PROPERTY ZEPHYL_DIST_FILES)
  get_property(targets GLOBAL PROPERTY ZEPHYL_DIST_TARGETS)
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
  target_link_libraries(${name} PRIVATE zwin zwintest GTest::gtest_main GTest::gmock)
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
