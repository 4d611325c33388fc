; Zephyl Saver's installer and uninstaller (NSIS). Built by the normal build into
; dist/ZephylSaverSetup.exe; both run silently with /S.
;   makensis -DDIST_DIR=... -DFILE_LIST=... -DICON=... -DOUT_FILE=... ZephylSaver.nsi
; FILE_LIST is made by MakeFileList.cmake from dist/chk.sum: the files installed are
; exactly the files the screen saver checks after a crash, plus chk.sum itself.
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "${FILE_LIST}"

!define PRODUCT "Zephyl Saver"
!define VERSION "1.0"
!define PUBLISHER "Telmoro"
!define PRODUCT_KEY "Software\Telmoro\Zephyl"
!define VENDOR_KEY "Software\Telmoro"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zephyl Saver"
!define DESKTOP_KEY "Control Panel\Desktop"
!define MENU_FOLDER "$SMPROGRAMS\Zephyl Saver"
!define SETTINGS_LINK "${MENU_FOLDER}\Zephyl Saver Settings.lnk"
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATE_AND_SEND 3

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES\Zephyl Saver"
InstallDirRegKey HKLM "${PRODUCT_KEY}" "Install_Dir_Zephyl"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "1.0.0.0"
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

Section "Zephyl Saver"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  !insertmacro ZephylInstallFiles
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The screen saver checks its files against this list after a crash.
  SetOutPath "$WINDIR"
  File "${DIST_DIR}/chk.sum"
  SetOutPath "$INSTDIR"

  WriteRegStr HKLM "${PRODUCT_KEY}" "Install_Dir_Zephyl" "$INSTDIR"
  ExecWait '"$INSTDIR\ZephylSaver.scr" initialsecurity'

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

  MessageBox MB_YESNO|MB_ICONQUESTION "Make Zephyl Saver your screen saver now?" /SD IDYES IDNO done
    ; What the display settings do when the user picks a screen saver.
    GetFullPathName /SHORT $0 "$INSTDIR\ZephylSaver.scr"
    WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$0"
    System::Call 'user32::SystemParametersInfo(i ${SPI_SETSCREENSAVEACTIVE}, i 1, i 0, i ${SPIF_UPDATE_AND_SEND})'
  done:
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  ; Removes every user's data folder it can verify (and its emptied Telmoro folder) and the
  ; list of them; the screen saver checks each recorded path before deleting anything.
  ExecWait '"$INSTDIR\ZephylSaver.scr" uninstall'

  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  GetFullPathName /SHORT $1 "$INSTDIR\ZephylSaver.scr"
  ${If} $0 != ""
    ${If} $0 == $1
    ${OrIf} $0 == "$INSTDIR\ZephylSaver.scr"
      DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${EndIf}
  ${EndIf}

  !insertmacro ZephylRemoveFiles
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
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
