#!/bin/sh
# Starts the menu of this medium. Desktops that follow the freedesktop autostart rules offer to
# run this file when the medium is mounted (they ask first); it can also be started by hand.
# The menu reads contents.inf from its current directory, so it runs from the medium's root. The
# launcher chooses the toolkit and sets what the chosen one needs (discmenu/discmenu).
cd "$(dirname "$0")" || exit 1
exec ./discmenu/discmenu
