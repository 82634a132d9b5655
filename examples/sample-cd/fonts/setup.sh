#!/bin/sh
# Set-up for "Fonts Pack" on the sample medium. It only says what it would install and where it
# runs from; it installs nothing. When DISCMENU_MARKER names a file, it appends one line
# "entry name|folder|arguments" to it, so that tests can see which set-up ran, where and how.
name="Fonts Pack"
echo "$name set-up: would install the twelve fonts of the Fonts Pack into \$HOME/.local; running from $(pwd)${*:+ with arguments: $*}"
if [ -n "${DISCMENU_MARKER:-}" ]; then
    printf '%s|%s|%s\n' "$name" "$(pwd)" "$*" >>"$DISCMENU_MARKER"
fi
