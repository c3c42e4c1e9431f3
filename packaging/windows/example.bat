@echo off
rem Runs Rowdispatch @PROJECT_VERSION@ on the bundled example and tells what its
rem exit status (errorlevel) means.
rem   example.bat        the Shift-JIS example: examples\orders.csv
rem   example.bat utf8   the UTF-8 example: examples\utf8\orders.csv
rem   example.bat by-value   a file for each region, each starting with the
rem                      header line: examples\by-value\orders.csv
rem The rule files say BaseDir=out: the assorted files appear in the folder
rem "out" beside rowdispatch.exe. /c deletes what an earlier run left there.
setlocal
cd /d "%~dp0"
set example=examples
if /i "%~1"=="utf8" set example=examples\utf8
if /i "%~1"=="by-value" set example=examples\by-value

rowdispatch.exe %example%\orders.csv %example%\orders.ini /c
set status=%errorlevel%

if %status%==0 goto done
if %status%==1 goto failed
echo example.bat: standard output failed (exit status %status%).
exit /b %status%

:failed
echo example.bat: the run failed (exit status 1); see the report above.
exit /b 1

:done
echo example.bat: done (exit status 0); the assorted files are in "%~dp0out".
exit /b 0
