# Runs bdlpack on small inputs and checks the bytes it writes, what it lists and how it
# fails. Arguments: BDLPACK (the tool), WORK (a scratch folder, emptied first).
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/in")
file(WRITE "${WORK}/in/a.ogg" "AB")
file(WRITE "${WORK}/in/other.txt" "CDE")
file(WRITE "${WORK}/in/prog.exe" "MZfake-image")

set(failures 0)
macro(check what got expected)
  if(NOT "${got}" STREQUAL "${expected}")
    message(SEND_ERROR "${what}:\n  got      [${got}]\n  expected [${expected}]")
    math(EXPR failures "${failures} + 1")
  endif()
endmacro()
macro(run expected_rc)
  execute_process(COMMAND "${BDLPACK}" ${ARGN} WORKING_DIRECTORY "${WORK}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  check("exit code of bdlpack ${ARGN} (stderr: ${err})" "${rc}" "${expected_rc}")
endmacro()

# pack: exact bytes (payload, directory, trailer).
run(0 pack out.bdl -c music in/a.ogg b=in/other.txt -c Two x.bin=in/a.ogg)
file(READ "${WORK}/out.bdl" hex HEX)
# payload "AB" "CDE" "AB"; "?music" a.ogg@0+2 b@2+3; "?Two" x.bin@5+2; trailer 7
check("bytes of out.bdl" "${hex}"
  "41424344454142\
3f6d7573696300612e6f67670000000000020000006200020000000300000\
03f54776f00782e62696e000500000002000000\
07000000")
run(0 list out.bdl)
check("list of out.bdl" "${out}" "? music\n  a.ogg 0 2\n  b 2 3\n? Two\n  x.bin 5 2\n")

# append: offsets count from the first byte of the program file.
run(0 append in/prog.exe out.exe -c skin menuskin.jpg=in/other.txt)
run(0 list out.exe)
check("list of out.exe" "${out}" "? skin\n  menuskin.jpg 12 3\n")
file(READ "${WORK}/out.exe" head LIMIT 12)
check("program bytes kept" "${head}" "MZfake-image")
# 46 = 12 program bytes + 3 payload + 27 directory + 4 trailer of the first bundle
run(0 append out.exe out.exe -c more c=in/a.ogg)
run(0 list out.exe)
check("list after a second append" "${out}" "? more\n  c 46 2\n")

# Failures.
run(2)
run(2 frobnicate x)
run(2 pack bad.bdl in/a.ogg)
run(1 pack bad.bdl -c c in/missing.ogg)
run(1 pack bad.bdl -c c ?q=in/a.ogg)
run(1 pack bad.bdl -c c =in/a.ogg)
run(1 list in/a.ogg)
run(1 list in/none.bdl)
run(1 append in/a.ogg bad.exe -c c in/a.ogg)
if(EXISTS "${WORK}/bad.exe")
  check("no output for a refused append" "exists" "absent")
endif()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} check(s) failed")
endif()
