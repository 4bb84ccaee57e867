@echo off
rem The console starts update.bat from its program folder when the operator presses U on a unit panel,
rem right after it has sent the unit the update command; it runs in a console window of its own,
rem minimized, and the console does not wait for it.
rem
rem Put here what updating the dispensing unit takes at this shop (the vendor's tool and its firmware
rem file). This example only notes each request in the Log folder beside the console.
if not exist "%~dp0Log" mkdir "%~dp0Log"
echo %DATE% %TIME% update requested>> "%~dp0Log\update-requests.txt"
