@echo off
rem Makes the support report for this folder (the programs here, the images here, the PC, the device, the update
rem history) and opens it in Notepad. Nothing is sent to the device. The report lies beside this file, or in the
rem temporary folder when this folder cannot be written to; send that file to support.
rem This folder's path is expanded once, in quotes, to make it current (pushd: for a network folder,
rem \\server\share, it lends a drive letter); every other path is relative to it, so that names such as
rem "R&D (100%)!" and letters outside the PC's code page need not pass through the command line. NimbrelCli.exe
rem opens Notepad itself: the report's path never passes through the console's code page.
setlocal DisableDelayedExpansion
pushd "%~dp0."
if not exist ".\NimbrelCli.exe" goto failed
set "open=--open"
if defined NIMBREL_REPORT_NO_NOTEPAD set "open="
".\NimbrelCli.exe" --report . --dir . %open% 2>nul
if not errorlevel 1 goto written
".\NimbrelCli.exe" --report "%TEMP%" --dir . %open%
if not errorlevel 1 goto written
popd
:failed
echo The support report could not be written: the lines above say why.
pause
endlocal
exit /b 1
:written
echo The line above names the support report. Send this file to support.
popd
endlocal
