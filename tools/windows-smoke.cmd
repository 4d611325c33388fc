@echo off
rem Smoke test of an installed Zephyl Saver (after "ZephylSaverSetup.exe /S"), in plain cmd:
rem checks the installed files and the registry, runs the screen saver full screen for a few
rem seconds with music off and ends it, checks its log, and runs the forwarding screen saver
rem of the system folder in its settings and preview modes. Prints "smoke: ..." lines and
rem ends with "1 passed, 0 failed" or "0 passed, 1 failed"; the exit code is 0 or 1.
setlocal EnableExtensions EnableDelayedExpansion
set FAILED=0
set "KEY=HKLM\Software\Telmoro\Zephyl"
set "USERKEY=HKCU\Software\Telmoro\Zephyl"

rem The installation folder, as the 32-bit setup program recorded it.
set "DIR="
for /f "tokens=2,*" %%a in ('reg query "%KEY%" /v Install_Dir_Zephyl /reg:32 2^>nul ^| find "Install_Dir_Zephyl"') do set "DIR=%%b"
if not defined DIR (
  echo smoke: FAIL: no Install_Dir_Zephyl in %KEY%
  goto :done
)
echo smoke: installed in %DIR%
rem A 32-bit screen saver's system folder on 64-bit Windows is SysWOW64.
set "SYS=%WINDIR%\System32"
if exist "%WINDIR%\SysWOW64\" set "SYS=%WINDIR%\SysWOW64"
set "FORWARDER=%SYS%\Zephyl Saver.scr"

for %%f in (ZephylSaver.scr ZephylSaver.exe fmod.dll Zephyl.gif music.bdl images.bdl quotes.bdl chk.sum Uninstall.exe) do (
  if not exist "%DIR%\%%f" call :fail "missing %DIR%\%%f"
)
if not exist "%WINDIR%\chk.sum" call :fail "missing %WINDIR%\chk.sum"
if not exist "%FORWARDER%" call :fail "missing %FORWARDER%"
reg query "HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zephyl Saver" /v DisplayName /reg:32 >nul 2>&1 || call :fail "not in Add/Remove Programs"
reg query "HKCU\Control Panel\Desktop" /v SCRNSAVE.EXE 2>nul | find /i "SCRNSAVE.EXE" >nul || call :fail "no screen saver chosen"
if !FAILED! == 1 goto :done

rem A full-screen run: music off, the log on, no earlier log.
reg add "%USERKEY%" /v PlayMusic /t REG_DWORD /d 0 /f >nul
reg add "%USERKEY%" /v DebugLog /t REG_DWORD /d 1 /f >nul
reg add "%USERKEY%" /v ShowBugReport /t REG_DWORD /d 0 /f >nul
set "LOG=%APPDATA%\Telmoro\Zephyl\ZephylLog.txt"
if exist "%LOG%" del "%LOG%"
echo smoke: running "%DIR%\ZephylSaver.scr" /s
start "" "%DIR%\ZephylSaver.scr" /s
call :waitlog "Entering main loop..." 60 || call :fail "the full-screen run did not reach its main loop"
ping -n 4 127.0.0.1 >nul
rem Closing its window, as the system does; forced only when that does not end it.
taskkill /im ZephylSaver.scr >nul 2>&1
call :waitgone ZephylSaver.scr 30
if errorlevel 1 (
  echo smoke: the screen saver did not end on WM_CLOSE: terminating it
  taskkill /f /im ZephylSaver.scr >nul 2>&1
  call :waitgone ZephylSaver.scr 30
  reg add "%USERKEY%" /v CrashFlag /t REG_DWORD /d 0 /f >nul
  reg add "%USERKEY%" /v DoChecksum /t REG_DWORD /d 0 /f >nul
  call :fail "the full-screen run did not end when its window was closed"
) else (
  findstr /c:"Successfully exiting WinMain()" "%LOG%" >nul || call :fail "the full-screen run did not end normally"
  reg query "%USERKEY%" /v CrashFlag 2>nul | find "0x0" >nul || call :fail "CrashFlag is not 0 after the run"
  reg query "%USERKEY%" /v AvgFps >nul 2>&1 || call :fail "no AvgFps after the run"
)
findstr /c:"Running in normal Screensaver mode." "%LOG%" >nul || call :fail "the log lacks the full-screen mode"

rem The forwarder's settings mode: the settings dialog, closed again.
del "%LOG%" 2>nul
echo smoke: running "%FORWARDER%" /c
start "" "%FORWARDER%" /c
call :waitlog "Opening dialog box" 60 || call :fail "the forwarder's /c opened no settings"
ping -n 3 127.0.0.1 >nul
taskkill /im ZephylSaver.scr >nul 2>&1
call :waitgone "Zephyl Saver.scr" 30 || call :fail "the forwarder did not end with the settings"
call :waitgone ZephylSaver.scr 5 || taskkill /f /im ZephylSaver.scr >nul 2>&1

rem The forwarder's preview mode. cmd has no window to lend it: with window 0 the screen
rem saver starts, finds no window to draw into and ends, and the forwarder with it.
del "%LOG%" 2>nul
echo smoke: running "%FORWARDER%" /p 0
start "" "%FORWARDER%" /p 0
call :waitlog "Running in Preview mode." 60 || call :fail "the forwarder's /p started no preview"
call :waitgone "Zephyl Saver.scr" 30 || call :fail "the forwarder's /p did not end"
call :waitgone ZephylSaver.scr 5 || taskkill /f /im ZephylSaver.scr >nul 2>&1

:done
if !FAILED! == 0 (
  echo smoke: 1 passed, 0 failed
  exit /b 0
)
echo smoke: 0 passed, 1 failed
exit /b 1

:fail
echo smoke: FAIL: %~1
set FAILED=1
exit /b 0

rem :waitlog TEXT SECONDS - errorlevel 0 once the log holds TEXT
:waitlog
for /l %%i in (1,1,%2) do (
  if exist "%LOG%" findstr /c:%1 "%LOG%" >nul 2>&1 && exit /b 0
  ping -n 2 127.0.0.1 >nul
)
exit /b 1

rem :waitgone IMAGE SECONDS - errorlevel 0 once no process of that program file runs
:waitgone
for /l %%i in (1,1,%2) do (
  tasklist /fi "imagename eq %~1" 2>nul | find /i "%~1" >nul || exit /b 0
  ping -n 2 127.0.0.1 >nul
)
exit /b 1

