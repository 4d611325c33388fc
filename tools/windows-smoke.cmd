@echo off
rem Smoke test of an installed Zephyl Saver (after "ZephylSaverSetup.exe /S"), in plain cmd:
rem checks the installed files and the registry, runs the screen saver full screen for a few
rem seconds with music off, checks its log, and runs the forwarding screen saver of the
rem system folder in its settings and preview modes. A full-screen run ends only on the
rem user's input, which cmd cannot give: it is terminated, and its crash flags cleared. Prints "smoke: ..." lines
rem and ends with "smoke: 1 passed, 0 failed" or "smoke: 0 passed, 1 failed" (exit code 0
rem or 1). Runs on Windows and under Wine's cmd alike: it uses only reg, find, ping and
rem taskkill, and no "||" or "&&".
setlocal EnableExtensions
if "%~1" == "close-later" goto :close_later
if "%~1" == "force-later" goto :force_later
if "%~1" == "end-later" goto :end_later

set FAILED=0
set "KEY=HKLM\Software\Telmoro\Zephyl"
set "USERKEY=HKCU\Software\Telmoro\Zephyl"

rem The installation folder, as the 32-bit setup program recorded it.
set "DIR="
for /f "tokens=2,*" %%a in ('reg query "%KEY%" /v Install_Dir_Zephyl /reg:32 2^>nul ^| find "Install_Dir_Zephyl"') do set "DIR=%%b"
if not defined DIR (
  echo smoke: FAIL: no Install_Dir_Zephyl in %KEY%
  set FAILED=1
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
reg query "HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zephyl Saver" /v DisplayName /reg:32 >nul 2>nul
if errorlevel 1 call :fail "not in Add/Remove Programs"
reg query "HKCU\Control Panel\Desktop" /v SCRNSAVE.EXE 2>nul | find "SCR" >nul
if errorlevel 1 call :fail "no screen saver chosen"
if "%FAILED%" == "1" goto :done

rem A full-screen run: music off, the log on, no earlier log.
reg add "%USERKEY%" /v PlayMusic /t REG_DWORD /d 0 /f >nul
reg add "%USERKEY%" /v DebugLog /t REG_DWORD /d 1 /f >nul
reg add "%USERKEY%" /v ShowBugReport /t REG_DWORD /d 0 /f >nul
set "LOG=%APPDATA%\Telmoro\Zephyl\ZephylLog.txt"
if exist "%LOG%" del "%LOG%"
echo smoke: running "%DIR%\ZephylSaver.scr" /s for a few seconds
call :run end 5 "%DIR%\ZephylSaver.scr" /s
call :inlog "Running in normal Screensaver mode." "the log lacks the full-screen mode"
call :inlog "Entering main loop..." "the full-screen run did not reach its main loop"
reg add "%USERKEY%" /v CrashFlag /t REG_DWORD /d 0 /f >nul
reg add "%USERKEY%" /v DoChecksum /t REG_DWORD /d 0 /f >nul

rem The forwarder's settings mode: the settings dialog, closed again.
if exist "%LOG%" del "%LOG%"
echo smoke: running "%FORWARDER%" /c
call :run close 8 "%FORWARDER%" /c
call :inlog "In config mode...Initializing dialog structures." "the forwarder's /c opened no settings"
call :inlog "Successfully exiting WinMain()" "the settings did not end normally"

rem The forwarder's preview mode. cmd has no window to lend it: with window 0 the screen
rem saver starts, finds no window to draw into and ends, and the forwarder with it.
if exist "%LOG%" del "%LOG%"
echo smoke: running "%FORWARDER%" /p 0
call :run close 8 "%FORWARDER%" /p 0
call :inlog "Running in Preview mode." "the forwarder's /p started no preview"
call :inlog "Successfully exiting WinMain()" "the preview did not end normally"

:done
if "%FAILED%" == "0" (
  echo smoke: 1 passed, 0 failed
  exit /b 0
)
echo smoke: 0 passed, 1 failed
exit /b 1

:fail
echo smoke: FAIL: %~1
set FAILED=1
exit /b 0

rem :inlog TEXT MESSAGE - fails with MESSAGE unless the log holds TEXT
:inlog
if not exist "%LOG%" (
  call :fail "no log: %~2"
  exit /b 0
)
find %1 "%LOG%" >nul
if errorlevel 1 call :fail %2
exit /b 0

rem :run close|end SECONDS PROGRAM ARGUMENTS - runs the program and waits for it. After
rem SECONDS the screen saver's windows are closed, as the system closes a dialog ("close"),
rem or, SECONDS after its log says it is in its main loop (at most two minutes), the screen
rem saver is terminated ("end"). Should one not end within two minutes more, it is
rem terminated, its crash flags cleared, and the step fails.
:run
set "DONE=%TEMP%\zephyl-smoke-%RANDOM%.done"
if exist "%DONE%" del "%DONE%"
set /a GRACE=%2 + 240
start "" /b cmd /c "%~f0" %1-later %2
start "" /b cmd /c "%~f0" force-later %GRACE% "%DONE%"
%3 %4 %5
echo done>"%DONE%"
if exist "%DONE%.forced" (
  del "%DONE%.forced"
  reg add "%USERKEY%" /v CrashFlag /t REG_DWORD /d 0 /f >nul
  reg add "%USERKEY%" /v DoChecksum /t REG_DWORD /d 0 /f >nul
  call :fail "%~3 %4 did not end when its windows were closed"
)
exit /b 0

:close_later
ping -n %2 127.0.0.1 >nul
taskkill /im ZephylSaver.scr >nul 2>nul
exit /b 0

:end_later
set /a WAITED=0
:end_wait
if exist "%LOG%" (
  find "Entering main loop..." "%LOG%" >nul
  if not errorlevel 1 goto :end_now
)
set /a WAITED+=1
if %WAITED% geq 120 goto :end_now
ping -n 2 127.0.0.1 >nul
goto :end_wait
:end_now
ping -n %2 127.0.0.1 >nul
taskkill /f /im ZephylSaver.scr >nul 2>nul
exit /b 0

:force_later
set /a WAITED=0
:force_wait
if exist "%~3" (
  del "%~3"
  exit /b 0
)
set /a WAITED+=1
if %WAITED% lss %2 (
  ping -n 2 127.0.0.1 >nul
  goto :force_wait
)
echo forced>"%~3.forced"
taskkill /f /im ZephylSaver.scr >nul 2>nul
exit /b 0
