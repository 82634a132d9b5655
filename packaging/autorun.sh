#!/bin/sh
# Starts the menu of this medium. Desktops that follow the freedesktop autostart rules offer to
# run this file when the medium is mounted (they ask first); it can also be started by hand.
# The menu reads contents.inf from its current directory, so it runs from the medium's root.
cd "$(dirname "$0")" || exit 1

# record NAME: keeps the user's NAME before it is changed for the menu, so that the programs the
# menu starts get it back: NAME joins DISCMENU_SAVED_VARS (names separated by ':') and, when it is
# set, its value goes to DISCMENU_SAVED_VAR_NAME. A name recorded already keeps its first record.
record() {
    case ":${DISCMENU_SAVED_VARS-}:" in *":$1:"*) return 0 ;; esac
    DISCMENU_SAVED_VARS=${DISCMENU_SAVED_VARS:+$DISCMENU_SAVED_VARS:}$1
    export DISCMENU_SAVED_VARS
    if eval "[ -n \"\${$1+set}\" ]"; then
        eval "DISCMENU_SAVED_VAR_$1=\$$1"
        export "DISCMENU_SAVED_VAR_$1"
    fi
}

# The menu runs on the desktop's Qt when that has what it needs (its X11 plugin among it) and
# otherwise on the Qt it carries: keep plugin paths meant for some other Qt away from it, and use
# the X11 plugin (every Wayland desktop also runs X11 programs).
record QT_PLUGIN_PATH
record QT_QPA_PLATFORM_PLUGIN_PATH
record QT_QPA_PLATFORM
unset QT_PLUGIN_PATH QT_QPA_PLATFORM_PLUGIN_PATH
QT_QPA_PLATFORM=xcb
export QT_QPA_PLATFORM

exec ./discmenu/discmenu
