@echo off
rem Tries the updater against the virtual Ostrel device: starts the device in a window of its own, then the
rem updater in the folder of sample images. The device ends when the updater does.
setlocal
cd /d "%~dp0"
start "Ostrel simulator (virtual device)" OstrelSim.exe --out "%~dp0received"
cd /d "%~dp0samples"
"%~dp0Nimbrel.exe"
echo quit>"\\.\pipe\OstrelSim\CONTROL" 2>nul
endlocal
