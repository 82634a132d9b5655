#!/usr/bin/env python3
"""The menu heard as a blind user hears it: Orca, the screen reader Debian ships, on the menu's
own X server, D-Bus session and AT-SPI bus, without audio; what it would speak is read from its
debug log ("SPEECH OUTPUT" lines), written a line at a time. The menu's accessible tree is checked
through AT-SPI in the same session (tests/e2e/atspi_tree.py), on both front ends.

Usage: screenreader_test.py qt|gtk DISCMENU SAMPLE_MEDIUM

One session: the window opens and its tree is read through AT-SPI and checked; then Orca starts,
Tab walks the buttons to the list, the arrow keys move the highlight, Tab reaches the boxes; what
Orca said after each key is checked against what it must say there.
"""

import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))
from xsession import TestFailure, check, end_process, make_env, start_xvfb, xdotool_pattern  # noqa: E402

HERE = Path(__file__).resolve().parent
CAPTION = "Sample Software Collection (Winter Edition)"
LINES = "5 Great Programs ready for installation! Published by Sample Publishing. Date: 7 December 2026."
# What Orca says as each key reaches a control, on every front end: the key (None: the window
# gets the focus), then what is heard before the next key, each a part of one utterance, in this
# order; a set is heard in any order.
STEPS = [
    (None, [f"{CAPTION} frame",  # the window, a top-level frame
            LINES,  # the count line, publisher and date, as the window's description
            f"{CAPTION} image",  # the picture, with the focus at start-up
            "The medium's picture"]),
    ("Tab", ["Install highlighted program push button"]),
    ("Tab", ["Browse CD push button"]),
    ("Tab", ["Show Readme push button"]),
    ("Tab", ["Show License push button"]),
    ("Tab", ["Exit push button"]),
    ("Tab", ["Programs on this CD", "Text Editor"]),  # the list and its highlighted program
    ("Down", ["Card Game"]),  # the arrow keys' programs
    ("Down", ["Photo Viewer"]),
    ("Tab", [{"Size in Kb (installed) read only text", "2500"}]),
    ("Tab", ["Program description read only text",
             "Look through your pictures"]),  # read from its first line
]
STEP = 0.7  # between keys: Orca speaks each focus change before the next

# The tree both front ends show AT-SPI: objects found by role and name, with the description,
# the states they must have, whether they are read-only and the text caret.
TREE = [
    # (roles, name, description, states, read-only, caret)
    ({"frame"}, CAPTION, LINES, set(), None, None),
    ({"image"}, CAPTION, "The medium's picture", {"focusable"}, None, None),
    ({"list", "table"}, "Programs on this CD", None, {"focusable"}, None, None),
    # The boxes read-only, their caret at the start, where a screen reader begins to read.
    ({"text"}, "Size in Kb (installed)", None, {"focusable"}, True, 0),
    ({"text"}, "Program description", None, {"focusable"}, True, 0),
]


def read_only(states):
    """Read-only as screen readers take it: GTK 3 has no "read only" state and leaves "editable"
    out; Qt sets "read only" and keeps "editable" on a read-only line box, and Orca (like other
    readers) takes "read only" first."""
    return "read only" in states or "editable" not in states


def heard(log):
    """(seconds of the day, utterance) for each SPEECH OUTPUT line of Orca's debug log."""
    return [(clock(m.group(1)), m.group(2))
            for m in re.finditer(r"^(\d\d:\d\d:\d\d\.\d+) - SPEECH OUTPUT: '(.*)' ?\{", log.read_text(errors="replace"), re.M)]


def clock(text):
    hours, minutes, seconds = text.split(":")
    return int(hours) * 3600 + int(minutes) * 60 + float(seconds)


def check_speech(spoken, typed):
    """Each step's utterances in what Orca said between its key (typed: the times) and the next."""
    bounds = [0.0] + typed + [float("inf")]
    for number, (key, expected) in enumerate(STEPS):
        said = [text for time, text in spoken if bounds[number] <= time < bounds[number + 1]]
        at = 0
        for part in expected:
            for one in sorted(part) if isinstance(part, set) else [part]:
                found = next((i for i in range(at if isinstance(part, str) else 0, len(said))
                              if one in said[i]), None)
                check(found is not None, f"after {key or 'the window'} (step {number}) Orca did not say "
                      f"{one!r}; it said {said!r}; all of it:\n" + "\n".join(text for _, text in spoken))
                at = max(at, found + 1)


def check_tree(tree):
    """The window a frame with the lines as its description, no frame inside, and TREE's objects."""
    windows = tree["children"]
    check(len(windows) == 1, f"the menu shows {len(windows)} top-level objects, not one")

    def inside(node):
        for child in node["children"]:
            yield child
            yield from inside(child)

    objects = list(inside(windows[0]))
    frames = [o["name"] for o in objects if o["role"] == "frame"]
    check(not frames, f"objects inside the window have the role frame, as a window has: {frames}")
    for roles, name, description, states, readonly, caret in TREE:
        found = [o for o in [windows[0]] + objects if o["role"] in roles and o["name"] == name]
        check(len(found) == 1, f"{len(found)} objects of role {'/'.join(sorted(roles))} named {name!r}; "
              "the tree:\n" + json.dumps(tree, indent=1))
        o = found[0]
        check(description is None or o["description"] == description,
              f"{name!r}: description {o['description']!r}, expected {description!r}")
        check(states <= set(o["states"]), f"{o['role']} {name!r}: states {o['states']}, expected {sorted(states)}")
        check(readonly is None or read_only(o["states"]) == readonly,
              f"{o['role']} {name!r}: states {o['states']}, {'not ' if readonly else ''}read-only")
        check(caret is None or o.get("caret") == caret, f"{name!r}: text caret at {o.get('caret')}, expected {caret}")


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
        # Orca's settings in a folder of its own: no speech server, so that it neither starts
        # speech-dispatcher (whose autospawn a private session may refuse) nor makes a sound, and
        # no braille display; it logs what it would have spoken all the same. Its customizations
        # make the log written a line at a time, so that it can be followed while Orca runs and
        # nothing is lost when it is ended.
        prefs = root / "orca-prefs"
        prefs.mkdir()
        (prefs / "user-settings.conf").write_text(json.dumps({
            "general": {"speechServerFactory": None, "speechFactoryModules": [], "enableSound": False,
                        "enableBraille": False},
            "pronunciations": {}, "keybindings": {}, "profiles": {"default": {"profile": ["Default", "default"]}}}))
        (prefs / "orca-customizations.py").write_text(
            "import orca.debug\norca.debug.debugFile.reconfigure(line_buffering=True)\n")
        typed = root / "typed"
        keys = " ".join(key for key, _ in STEPS if key)
        # The AT-SPI bus and the menu in one D-Bus session of their own; the menu's tree is read
        # through AT-SPI, then Orca starts and the window gets the focus; the time of every key
        # typed is noted, to tell which step Orca spoke in. Orca refuses to start while another
        # of the same user runs anywhere on the machine (another test's): it is tried again.
        script = f"""
/usr/libexec/at-spi-bus-launcher --launch-immediately & sleep 0.5
(cd {medium} && exec {discmenu}) & menu=$!
/usr/bin/python3 {HERE / "atspi_tree.py"} {discmenu.name} >{root}/tree.json
for try in $(seq 40); do
  orca --user-prefs={prefs} --debug-file={log} >{root}/orca.out 2>&1 & orca=$!
  for i in $(seq 100); do
    grep -q "Screen reader on" {log} 2>/dev/null || ! kill -0 $orca 2>/dev/null && break; sleep 0.2
  done
  grep -q "Screen reader on" {log} && break
  sleep 1.$(($$ % 10))
done
xdotool search --name '{xdotool_pattern(CAPTION)}' windowfocus
sleep 1.5
for key in {keys}; do date +%T.%N >>{typed}; xdotool key $key; sleep {STEP}; done
sleep 1
kill -9 $orca; kill $menu
"""
        with open(root / "session.log", "wb") as trace:
            session = subprocess.Popen(["dbus-run-session", "--", "sh", "-xc", script], env=env,
                                       stdout=trace, stderr=trace, start_new_session=True)
            session.wait(timeout=100)
        tree = (root / "tree.json").read_text()
        check(tree, f"the menu's tree was not read through AT-SPI (see {root / 'session.log'})")
        check_tree(json.loads(tree))
        check(typed.exists(), f"no keys were typed (see {root / 'session.log'})")
        check_speech(heard(log), [clock(line) for line in typed.read_text().split()])
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
