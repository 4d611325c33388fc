# Writes the installer's file list (OUT) from the installed-file list DIST/chk.sum:
#   ZephylInstallFiles      File commands for the program folder's files (into the current
#                           output folder)
#   ZephylRemoveFiles       Delete commands for them (REBOOTOK: "" or "/REBOOTOK")
#   ZephylMoveInAtReboot    Rename /REBOOTOK of each from the folder $R9 into $INSTDIR: the
#                           whole set replaces the installed one at once, at the next start
#   ZephylIsNewFile         $R1 = 1 when the file name $R0 is one of the set, else 0
#   INSTALLED_KB            the installed size
file(STRINGS "${DIST}/chk.sum" lines)
set(names "")
set(bytes 0)
foreach(line ${lines})
  if(line MATCHES "^[0-9a-fA-F]+  (.+)$")
    list(APPEND names "${CMAKE_MATCH_1}")
    file(SIZE "${DIST}/${CMAKE_MATCH_1}" size)
    math(EXPR bytes "${bytes} + ${size}")
  endif()
endforeach()
list(APPEND names "chk.sum")
file(SIZE "${DIST}/chk.sum" size)
math(EXPR kb "(${bytes} + ${size} + 1023) / 1024")

set(install "!macro ZephylInstallFiles\n")
set(remove "!macro ZephylRemoveFiles REBOOTOK\n")
set(move "!macro ZephylMoveInAtReboot\n")
set(known "!macro ZephylIsNewFile\n  StrCpy $R1 0\n")
foreach(name ${names})
  string(APPEND install "  File \"${DIST}/${name}\"\n")
  string(APPEND remove "  Delete \${REBOOTOK} \"$INSTDIR\\${name}\"\n")
  string(APPEND move "  Rename /REBOOTOK \"$R9\\${name}\" \"$INSTDIR\\${name}\"\n")
  string(APPEND known "  StrCmp $R0 \"${name}\" 0 +2\n    StrCpy $R1 1\n")
endforeach()
foreach(macro install remove move known)
  string(APPEND ${macro} "!macroend\n")
endforeach()
file(WRITE "${OUT}.tmp" "!define INSTALLED_KB ${kb}\n${install}${remove}${move}${known}")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
