; Zephyl Saver's installer and uninstaller (NSIS). Built by the normal build into
; dist/ZephylSaverSetup.exe; both run silently with /S.
;   makensis -DDIST_DIR=... -DFILE_LIST=... -DICON=... -DOUT_FILE=... -DVERSION=1.0 -DVERSION_QUAD=1.0.0.0
;            [-DSIGN_COMMAND=...] ZephylSaver.nsi
; VERSION and VERSION_QUAD come from the build's version (core/Product.h has the same).
; SIGN_COMMAND, given when the build has a certificate, signs the file named by its %1.
; FILE_LIST is made by MakeFileList.cmake from dist/chk.sum: the files installed are
; exactly the files the screen saver checks after a crash, plus chk.sum itself, which also
; tells a later installer what this one installed. FORWARDER is "Zephyl Saver.scr", which
; goes into the system folder, where the display settings list screen savers.
;
; A running screen saver or preview holds its files: both setup programs ask the user to
; close it; run silently, they replace (or remove) the files at the next start of Windows.
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"
!include "${FILE_LIST}"

!ifdef SIGN_COMMAND
  !uninstfinalize '${SIGN_COMMAND}' = 0
  !finalize '${SIGN_COMMAND}' = 0
!endif

!define PRODUCT "Zephyl Saver"
!define PUBLISHER "Telmoro"
!define PRODUCT_KEY "Software\Telmoro\Zephyl"
!define VENDOR_KEY "Software\Telmoro"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zephyl Saver"
!define DESKTOP_KEY "Control Panel\Desktop"
!define MENU_FOLDER "$SMPROGRAMS\Zephyl Saver"
!define SETTINGS_LINK "${MENU_FOLDER}\Zephyl Saver Settings.lnk"
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATE_AND_SEND 3
!define FORWARDER_NAME "Zephyl Saver.scr"
!define STAGING_DIR "$INSTDIR\Update"
!define RUNNING_TEXT "Zephyl Saver is running, as your screen saver or as the preview of the Screen Saver Settings.$\r$\n$\r$\nEnd the screen saver and close the Screen Saver Settings, then click Retry."
!define SYNCHRONIZE 0x00100000
!define ERROR_SHARING_VIOLATION 32
!define ERROR_LOCK_VIOLATION 33

; Set when the screen saver runs during a silent install or uninstall: the files are then
; replaced or removed at the next start of Windows.
Var AtReboot

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES\Zephyl Saver"
InstallDirRegKey HKLM "${PRODUCT_KEY}" "Install_Dir_Zephyl"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\ZephylSaver.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Open the Zephyl Saver settings"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; $0 = 1 while a screen saver of ours runs: one holds the mutex "ZephylSaver" (a full-screen
; run), or the program, its sound library or the forwarder cannot be opened for writing.
!macro ZephylRunningCheck UN
Function ${UN}FileInUse
  Exch $1
  Push $2
  Push $3
  System::Call 'kernel32::CreateFile(t r1, i 0xC0000000, i 0, p 0, i 3, i 0x80, p 0) p.r2 ?e'
  Pop $3
  ${If} $2 = -1
    ${If} $3 = ${ERROR_SHARING_VIOLATION}
    ${OrIf} $3 = ${ERROR_LOCK_VIOLATION}
      StrCpy $0 1
    ${EndIf}
  ${Else}
    System::Call 'kernel32::CloseHandle(p r2)'
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
FunctionEnd

Function ${UN}IsRunning
  Push $1
  StrCpy $0 0
  System::Call 'kernel32::OpenMutex(i ${SYNCHRONIZE}, i 0, t "ZephylSaver") p.r1'
  ${If} $1 <> 0
    StrCpy $0 1
    System::Call 'kernel32::CloseHandle(p r1)'
  ${EndIf}
  Push "$INSTDIR\ZephylSaver.scr"
  Call ${UN}FileInUse
  Push "$INSTDIR\fmod.dll"
  Call ${UN}FileInUse
  Push "$SYSDIR\${FORWARDER_NAME}"
  Call ${UN}FileInUse
  Pop $1
FunctionEnd

; Asks until no screen saver of ours runs; Cancel ends the setup program with nothing
; changed. Run silently, it marks the files for the next start of Windows instead.
Function ${UN}WaitUntilClosed
  ${Do}
    Call ${UN}IsRunning
    ${IfThen} $0 = 0 ${|} ${ExitDo} ${|}
    ${If} ${Silent}
      StrCpy $AtReboot 1
      ${ExitDo}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${RUNNING_TEXT}" IDRETRY +2
      Quit
  ${Loop}
FunctionEnd
!macroend
!insertmacro ZephylRunningCheck ""
!insertmacro ZephylRunningCheck "un."

; Where the display settings look for a 32-bit screen saver: SysWOW64 on 64-bit Windows
; (where a 32-bit setup program's $SYSDIR leads, too), else the system folder.
!macro ZephylForwarderPath VAR
  ${If} ${RunningX64}
    StrCpy ${VAR} "$WINDIR\SysWOW64\${FORWARDER_NAME}"
  ${Else}
    StrCpy ${VAR} "$SYSDIR\${FORWARDER_NAME}"
  ${EndIf}
!macroend

; $0 = 1 when the display settings' screen saver is one of ours (by its long or short path):
; the forwarder, or the screen saver in the program folder as earlier versions chose it.
!macro ZephylChosenIsOurs UN
Function ${UN}ChosenIsOurs
  Push $1
  Push $2
  StrCpy $0 0
  ReadRegStr $1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $1 != ""
    !insertmacro ZephylForwarderPath $2
    ${If} $1 == $2
    ${OrIf} $1 == "$SYSDIR\${FORWARDER_NAME}"
    ${OrIf} $1 == "$INSTDIR\ZephylSaver.scr"
      StrCpy $0 1
    ${EndIf}
    GetFullPathName /SHORT $2 $1
    ${If} $2 != ""
      GetFullPathName /SHORT $1 "$INSTDIR\ZephylSaver.scr"
      ${IfThen} $1 == $2 ${|} StrCpy $0 1 ${|}
      !insertmacro ZephylForwarderPath $1
      GetFullPathName /SHORT $1 $1
      ${IfThen} $1 == $2 ${|} StrCpy $0 1 ${|}
    ${EndIf}
  ${EndIf}
  Pop $2
  Pop $1
FunctionEnd
!macroend
!insertmacro ZephylChosenIsOurs ""
!insertmacro ZephylChosenIsOurs "un."

; Removes the files an earlier install left in the program folder that this version does
; not have. The earlier version's chk.sum in the program folder lists what it installed;
; only plain file names in it are taken.
Function RemoveStaleFiles
  ClearErrors
  FileOpen $3 "$INSTDIR\chk.sum" r
  ${IfThen} ${Errors} ${|} Return ${|}
  ${Do}
    ClearErrors
    FileRead $3 $2
    ${IfThen} ${Errors} ${|} ${ExitDo} ${|}
    ; "<64 hex digits><2 blanks><name>" and the line end
    StrCpy $R0 $2 "" 66
    ${Do}
      StrCpy $4 $R0 1 -1
      ${If} $4 == "$\n"
      ${OrIf} $4 == "$\r"
        StrCpy $R0 $R0 -1
      ${Else}
        ${ExitDo}
      ${EndIf}
    ${Loop}
    Call IsPlainFileName
    ${If} $R1 = 1
      !insertmacro ZephylIsNewFile
      ${If} $R1 = 0
      ${AndIf} $R0 != "Uninstall.exe"
        ${If} $AtReboot = 1
          Delete /REBOOTOK "$INSTDIR\$R0"
        ${Else}
          Delete "$INSTDIR\$R0"
        ${EndIf}
      ${EndIf}
    ${EndIf}
  ${Loop}
  FileClose $3
FunctionEnd

; $R1 = 1 when $R0 names a file in the folder itself: not empty, no folder part, no drive.
Function IsPlainFileName
  StrCpy $R1 1
  ${If} $R0 == ""
  ${OrIf} $R0 == "."
  ${OrIf} $R0 == ".."
    StrCpy $R1 0
    Return
  ${EndIf}
  StrCpy $5 0
  ${Do}
    StrCpy $4 $R0 1 $5
    ${IfThen} $4 == "" ${|} ${ExitDo} ${|}
    ${If} $4 == "\"
    ${OrIf} $4 == "/"
    ${OrIf} $4 == ":"
      StrCpy $R1 0
      ${ExitDo}
    ${EndIf}
    IntOp $5 $5 + 1
  ${Loop}
FunctionEnd

Function .onInit
  StrCpy $AtReboot 0
  Call WaitUntilClosed
FunctionEnd

Function un.onInit
  StrCpy $AtReboot 0
  Call un.WaitUntilClosed
FunctionEnd

Section "Zephyl Saver"
  SetShellVarContext all
  ; Again, for the folder chosen on the way.
  Call WaitUntilClosed
  Call RemoveStaleFiles
  ${If} $AtReboot = 1
    ; The new set waits beside the old one and replaces it at the next start of Windows, as
    ; a whole, so that the running screen saver never finds half a set.
    SetOutPath "${STAGING_DIR}"
    !insertmacro ZephylInstallFiles
    File "/oname=${FORWARDER_NAME}" "${FORWARDER}"
    StrCpy $R9 "${STAGING_DIR}"
    !insertmacro ZephylMoveInAtReboot
    ; Windows carries out the renames without a 32-bit program's folder redirection: the
    ; real folder is named.
    !insertmacro ZephylForwarderPath $R8
    Rename /REBOOTOK "${STAGING_DIR}\${FORWARDER_NAME}" "$R8"
    CopyFiles /SILENT "${STAGING_DIR}\chk.sum" "${STAGING_DIR}\chk.sum.windows"
    Rename /REBOOTOK "${STAGING_DIR}\chk.sum.windows" "$WINDIR\chk.sum"
    RMDir /REBOOTOK "${STAGING_DIR}"
    StrCpy $R9 "${STAGING_DIR}\ZephylSaver.scr"
  ${Else}
    ; An update an earlier silent install left for a start of Windows that never came.
    RMDir /r "${STAGING_DIR}"
    SetOutPath "$INSTDIR"
    !insertmacro ZephylInstallFiles
    ; The screen saver the display settings list; it starts the one in the program folder.
    SetOutPath "$SYSDIR"
    File "/oname=${FORWARDER_NAME}" "${FORWARDER}"
    ; The screen saver checks its files against this list after a crash.
    SetOutPath "$WINDIR"
    File "${DIST_DIR}/chk.sum"
    StrCpy $R9 "$INSTDIR\ZephylSaver.scr"
  ${EndIf}
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${PRODUCT_KEY}" "Install_Dir_Zephyl" "$INSTDIR"
  ExecWait '"$R9" initialsecurity'

  CreateDirectory "${MENU_FOLDER}"
  CreateShortCut "${SETTINGS_LINK}" "$INSTDIR\ZephylSaver.exe" "" "$INSTDIR\ZephylSaver.scr" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\ZephylSaver.scr,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${INSTALLED_KB}

  ; A screen saver of ours chosen before (an earlier version chose the program folder's)
  ; becomes the forwarder without asking.
  Call ChosenIsOurs
  ${If} $0 = 1
    Call ChooseForwarder
  ${Else}
    MessageBox MB_YESNO|MB_ICONQUESTION "Make Zephyl Saver your screen saver now?" /SD IDYES IDNO done
      Call ChooseForwarder
      System::Call 'user32::SystemParametersInfo(i ${SPI_SETSCREENSAVEACTIVE}, i 1, i 0, i ${SPIF_UPDATE_AND_SEND})'
    done:
  ${EndIf}
  ${If} $AtReboot = 1
    SetRebootFlag true
  ${EndIf}
SectionEnd

; What the display settings do when the user picks "Zephyl Saver" in their list.
Function ChooseForwarder
  !insertmacro ZephylForwarderPath $1
  GetFullPathName /SHORT $0 $1
  ${IfThen} $0 == "" ${|} StrCpy $0 $1 ${|}
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$0"
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  Call un.WaitUntilClosed
  ; Removes every user's data folder it can verify (and its emptied Telmoro folder) and the
  ; list of them; the screen saver checks each recorded path before deleting anything.
  ExecWait '"$INSTDIR\ZephylSaver.scr" uninstall'

  ; Only a choice of ours is taken back; another screen saver the user chose stays.
  Call un.ChosenIsOurs
  ${If} $0 = 1
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${EndIf}

  ${If} $AtReboot = 1
    ; Files the running screen saver holds go at the next start of Windows.
    !insertmacro ZephylRemoveFiles "/REBOOTOK"
    !insertmacro ZephylForwarderPath $R8
    Delete /REBOOTOK "$R8"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir /REBOOTOK "$INSTDIR"
    SetRebootFlag true
  ${Else}
    RMDir /r "${STAGING_DIR}"
    !insertmacro ZephylRemoveFiles ""
    Delete "$SYSDIR\${FORWARDER_NAME}"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
  ${EndIf}
  Delete "$WINDIR\chk.sum"
  Delete "${SETTINGS_LINK}"
  RMDir "${MENU_FOLDER}"

  DeleteRegKey HKLM "${PRODUCT_KEY}"
  DeleteRegKey /ifempty HKLM "${VENDOR_KEY}"
  DeleteRegKey HKCU "${PRODUCT_KEY}"
  DeleteRegKey /ifempty HKCU "${VENDOR_KEY}"
  ; Last, so that Add/Remove Programs lists the product until everything else is gone.
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
