@echo off
rem Set-up for "Photo Viewer" on the sample medium, for Windows (setup.sh does the same on Linux). It
rem only says what it would install and where it runs from; it installs nothing. When
rem DISCMENU_MARKER names a file, it appends one line "entry name|folder|arguments" to it, so that
rem tests can see which set-up ran, where and how; otherwise it waits for a key, so that its
rem window stays open to be read.
setlocal
set "name=Photo Viewer"
set "args=%*"
set "with="
if defined args set "with= with arguments: %*"
echo %name% set-up: would install Photo Viewer 5.0 (2500 Kb) into %%LOCALAPPDATA%%; running from %CD%%with%
if defined DISCMENU_MARKER >>"%DISCMENU_MARKER%" echo %name%^|%CD%^|%*
if not defined DISCMENU_MARKER pause
