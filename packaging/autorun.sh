#!/bin/sh
# Starts the menu of this medium. Desktops that follow the freedesktop autostart rules offer to
# run this file when the medium is mounted (they ask first); it can also be started by hand.
# The menu reads contents.inf from its current directory, so it runs from the medium's root.
cd "$(dirname "$0")" || exit 1

# The menu runs on the desktop's Qt when that has what it needs (its X11 plugin among it) and
# otherwise on the Qt it carries: keep plugin paths meant for some other Qt away from it, and use
# the X11 plugin (every Wayland desktop also runs X11 programs).
unset QT_PLUGIN_PATH QT_QPA_PLATFORM_PLUGIN_PATH
QT_QPA_PLATFORM=xcb
export QT_QPA_PLATFORM

exec ./discmenu/discmenu
