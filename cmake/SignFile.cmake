# Signs one program file with the release certificate (Authenticode, SHA-256, with an
# RFC 3161 time-stamp when a time-stamp address is set). Run as a script:
#   cmake -DIN=file [-DOUT=file] -P <build>/sign/SignFile.cmake
# The build writes that file (SIGN_TOOL, SIGN_KIND, SIGN_PFX, SIGN_TIMESTAMP, SIGN_NAME,
# SIGN_URL and, when it was given to CMake, SIGN_PASSWORD) and includes this one.
# Without SIGN_PASSWORD the password comes from the environment's ZEPHYL_SIGN_PASSWORD.
# IN and OUT may be the same file (the installer's finalize steps sign in place).
if(NOT OUT)
  set(OUT "${IN}")
endif()
if(DEFINED SIGN_PASSWORD)
  set(password "${SIGN_PASSWORD}")
elseif(DEFINED ENV{ZEPHYL_SIGN_PASSWORD})
  set(password "$ENV{ZEPHYL_SIGN_PASSWORD}")
else()
  message(FATAL_ERROR "No password for ${SIGN_PFX}: set ZEPHYL_SIGN_PASSWORD")
endif()

get_filename_component(name "${OUT}" NAME)
set(work "${OUT}.signing")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")
set(signed "${work}/${name}")

if(SIGN_KIND STREQUAL "signtool")
  # signtool signs in place and takes the password only on its command line.
  file(COPY_FILE "${IN}" "${signed}")
  set(args sign /fd sha256 /f "${SIGN_PFX}" /p "${password}" /d "${SIGN_NAME}" /du "${SIGN_URL}")
  if(SIGN_TIMESTAMP)
    list(APPEND args /tr "${SIGN_TIMESTAMP}" /td sha256)
  endif()
  execute_process(COMMAND "${SIGN_TOOL}" ${args} "${signed}" RESULT_VARIABLE rc)
else()
  # The password goes through a file only this user reads, not the process list.
  file(WRITE "${work}/pass" "${password}")
  file(CHMOD "${work}/pass" PERMISSIONS OWNER_READ OWNER_WRITE)
  set(args sign -pkcs12 "${SIGN_PFX}" -readpass "${work}/pass" -h sha256 -n "${SIGN_NAME}" -i "${SIGN_URL}")
  if(SIGN_TIMESTAMP)
    list(APPEND args -ts "${SIGN_TIMESTAMP}")
  endif()
  # osslsigncode does not write over an existing file: "signed" is new in a fresh folder.
  execute_process(COMMAND "${SIGN_TOOL}" ${args} -in "${IN}" -out "${signed}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  file(REMOVE "${work}/pass")
endif()
if(NOT rc EQUAL 0 OR NOT EXISTS "${signed}")
  file(REMOVE_RECURSE "${work}")
  message(FATAL_ERROR "Signing ${IN} failed (${rc}): ${out}")
endif()
file(RENAME "${signed}" "${OUT}")
file(REMOVE_RECURSE "${work}")
