#!/usr/bin/env python3
"""The menu heard as a blind user hears it: Orca, the screen reader Debian ships, on the menu's
own X server, D-Bus session and AT-SPI bus, without audio; what it would speak is read from its
debug log ("SPEECH OUTPUT" lines), which it writes out as it ends.

Usage: screenreader_test.py qt|gtk DISCMENU SAMPLE_MEDIUM

One Orca session: the window opens, Tab walks the buttons to the list, the arrow keys move the
highlight, Tab reaches the boxes; then every utterance expected is looked for, in order.
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))
from xsession import TestFailure, check, end_process, make_env, start_xvfb  # noqa: E402

CAPTION = "Sample Software Collection (Winter Edition)"
KEYS = ["Tab"] * 6 + ["Down", "Down", "Tab", "Tab"]
# What Orca says, in this order (each a part of one utterance), as the keys above reach each control.
EXPECTED = [
    f"{CAPTION} frame",  # the window, a top-level frame
    "5 Great Programs ready for installation! Published by Sample Publishing. Date: 7 December 2026.",
    f"{CAPTION} image",  # the picture, with the focus at start-up
    "The medium's picture",
    "Install highlighted program push button",
    "Browse CD push button",
    "Show Readme push button",
    "Show License push button",
    "Exit push button",
    "Programs on this CD",
    "Card Game",  # the arrow keys' programs
    "Photo Viewer",
    "Size in Kb (installed)",
    "Program description",
]
STEP = 0.7  # between keys: Orca speaks each focus change before the next


def heard(log):
    return [m.group(1) for m in re.finditer(r"SPEECH OUTPUT: '(.*)'", log.read_text(errors="replace"))]


def main(argv):
    if len(argv) != 4 or argv[1] not in ("qt", "gtk"):
        print(__doc__, file=sys.stderr)
        return 2
    front_end, discmenu, sample = argv[1], Path(argv[2]).resolve(), Path(argv[3])
    missing = [tool for tool in ("Xvfb", "xdotool", "orca", "dbus-run-session") if not shutil.which(tool)]
    if missing:
        print(f"[screenreader] FAILED: missing tools: {', '.join(missing)} (scripts/setup installs them)",
              file=sys.stderr)
        return 1
    root = Path(tempfile.mkdtemp(prefix="discmenu-orca-"))
    xvfb, display = start_xvfb(root / "xvfb.log")
    session = None
    try:
        medium = root / "cd"
        shutil.copytree(sample, medium)
        home = root / "home"
        home.mkdir()
        env = make_env(display, root / "runtime", drop=("DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS"),
                       HOME=str(home), XDG_CONFIG_HOME=str(home / ".config"),
                       XDG_DATA_HOME=str(home / ".local"), QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        env.pop("NO_AT_BRIDGE", None)
        log = root / "orca.log"
        # The AT-SPI bus, the menu and Orca in one D-Bus session of their own; the keys are typed
        # once Orca has spoken the window.
        script = f"""
/usr/libexec/at-spi-bus-launcher --launch-immediately & sleep 0.5
(cd {medium} && exec {discmenu}) & menu=$!
sleep 1
orca --debug-file={log} >{root}/orca.out 2>&1 & orca=$!
for i in $(seq 100); do grep -q "image" {log} 2>/dev/null && break; sleep 0.2; done
xdotool search --name "{CAPTION}" windowfocus
for key in {' '.join(KEYS)}; do xdotool key $key; sleep {STEP}; done
sleep 1
kill $orca; wait $orca
kill $menu
"""
        session = subprocess.Popen(["dbus-run-session", "--", "sh", "-c", script], env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        check(session.wait(timeout=90) == 0 or log.exists(), "the Orca session did not run")
        spoken = heard(log)
        at = 0
        for expected in EXPECTED:
            found = next((i for i in range(at, len(spoken)) if expected in spoken[i]), None)
            check(found is not None, f"Orca did not say {expected!r} after {spoken[at - 1:at]!r}; it said:\n"
                  + "\n".join(spoken))
            at = found + 1
    except (TestFailure, subprocess.TimeoutExpired) as failure:
        print(f"[screenreader {front_end}] FAILED: {failure} (files kept in {root})", file=sys.stderr)
        return 1
    finally:
        if session and session.poll() is None:
            os.killpg(session.pid, signal.SIGKILL)
        end_process(xvfb)
    shutil.rmtree(root, ignore_errors=True)
    print(f"[screenreader {front_end}] passed")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
