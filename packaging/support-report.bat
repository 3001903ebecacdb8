@echo off
rem Makes the support report for this folder (the programs here, the images here, the PC, the device, the update
rem history) and opens it in Notepad. Nothing is sent to the device. The report lies beside this file, or in the
rem temporary folder when this folder cannot be written to; send that file to support.
setlocal
cd /d "%~dp0"
set "report="
for /f "delims=" %%p in ('NimbrelCli.exe --report --dir "%~dp0." 2^>nul') do set "report=%%p"
if not defined report for /f "delims=" %%p in ('NimbrelCli.exe --report "%TEMP%" --dir "%~dp0." 2^>nul') do set "report=%%p"
if not defined report (
    echo The support report could not be written: NimbrelCli.exe --report says why.
    NimbrelCli.exe --report --dir "%~dp0."
    pause
    exit /b 1
)
echo The support report is %report%
echo Send this file to support.
if not defined NIMBREL_REPORT_NO_NOTEPAD start "" notepad.exe "%report%"
endlocal
