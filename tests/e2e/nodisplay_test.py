#!/usr/bin/env python3
"""The menu started where it cannot open a window: from a text console, over ssh, from a terminal
whose X server is gone, or in a Wayland session whose Qt has no Wayland plug-in.

Usage: nodisplay_test.py DISCMENU SAMPLE_MEDIUM

Each case runs the real program in a fresh copy of the sample medium (from the build, or laid out
on the medium and started by its autorun.sh, which changes nothing, or with the X11 platform a
medium's launcher chooses for Qt), in an environment without any
display setting but those the case gives, and expects one line on standard error saying that the
menu needs a graphical desktop session, and exit status 1 (an abort, with its core dump, would
show as a signal). Two cases check that a usable display is not refused: a working X server
(the window appears) and a platform chosen through QT_QPA_PLATFORM (the menu keeps running).

Standard library only; the X server case uses Xvfb and xdotool.
"""

import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))
from xsession import TestFailure, XTools, check, end_process, start_xvfb, tree_state  # noqa: E402

AUTORUN = Path(__file__).resolve().parent.parent.parent / "packaging" / "autorun.sh"
CAPTION = "Sample Software Collection (Winter Edition)"
NEEDS_DESKTOP = "discmenu: needs a graphical desktop session"
ANY = NEEDS_DESKTOP + " (X11 or Wayland), but "
X11 = NEEDS_DESKTOP + ' with X11 (the platform chosen is "xcb"), but '
RUN_TIMEOUT = 30.0  # the program exits long before this, or it hangs
STAYS_RUNNING = 2.0
X_STARTS = 6
RESET_SETTLES = 0.5  # a refused start ends at once; one that is let through keeps running


def free_x_display():
    """A display number with no X server: no socket and no lock file."""
    for number in range(7000, 8000):
        if not any(Path(p).exists() for p in (f"/tmp/.X11-unix/X{number}", f"/tmp/.X{number}-lock")):
            return f":{number}"
    raise TestFailure("no free X display number between :7000 and :7999")


class Run:
    def __init__(self, root, discmenu, sample):
        self.root = root
        self.discmenu = discmenu
        self.sample = sample
        self.count = 0

    def medium(self, start="build"):
        """A fresh copy of the sample medium and the command that starts the menu: the built
        program ("build"), or the program laid out on the medium as scripts/make-medium does it,
        with a plug-in folder holding only the X11 plug-in, started directly
        ("medium") or through the medium's autorun.sh ("autorun")."""
        self.count += 1
        medium = self.root / f"cd{self.count}"
        shutil.copytree(self.sample, medium)
        if start == "build":
            return medium, [str(self.discmenu)]
        bundle = medium / "discmenu"
        platforms = bundle / "plugins" / "platforms"
        platforms.mkdir(parents=True)
        shutil.copy2(self.discmenu, bundle / "discmenu")
        (platforms / "libqxcb.so").write_bytes(b"")  # never loaded: the menu stops before Qt starts
        shutil.copy2(AUTORUN, medium / "autorun.sh")
        return medium, [str(medium / "autorun.sh" if start == "autorun" else bundle / "discmenu")]

    def environment(self, **values):
        env = {key: value for key, value in os.environ.items()
               if not key.startswith(("QT_", "WAYLAND_")) and
               key not in ("DISPLAY", "XAUTHORITY", "XDG_SESSION_TYPE")}
        runtime = tempfile.mkdtemp(prefix="runtime-", dir=self.root)  # private, as a session's is
        env.update({"XDG_RUNTIME_DIR": runtime, "LC_ALL": "C.UTF-8"})
        env.update(values)
        return env


def expect_refusal(run, name, start, expected, **values):
    medium, command = run.medium(start)
    env = run.environment(**values)
    listener = None
    if values.get("WAYLAND_DISPLAY") == "wayland-listening":
        # Something answers on the socket, as a compositor would.
        listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        listener.bind(str(Path(env["XDG_RUNTIME_DIR"]) / "wayland-listening"))
        listener.listen(4)
    before = tree_state(medium)
    try:
        result = subprocess.run(command, cwd=medium, env=env, stdin=subprocess.DEVNULL,
                                capture_output=True, text=True, errors="replace", timeout=RUN_TIMEOUT)
    except subprocess.TimeoutExpired:
        raise TestFailure(f"{name}: still running after {RUN_TIMEOUT:g} s")
    finally:
        if listener:
            listener.close()
    lines = result.stderr.splitlines()
    check(result.returncode == 1,
          f"{name}: exit status {result.returncode} (1 expected; negative is a signal); stderr:\n{result.stderr}")
    check(lines == [expected], f"{name}: stderr should be the one line\n  {expected}\nbut is:\n{result.stderr}")
    check(result.stdout == "", f"{name}: wrote to stdout: {result.stdout!r}")
    check(tree_state(medium) == before, f"{name}: the medium was written to")


def expect_start(run, name, env, started):
    """The menu is let through: `started(process)` tells when it is up."""
    medium, command = run.medium()
    err = run.root / f"stderr{run.count}.txt"
    with open(err, "w") as err_file:
        process = subprocess.Popen(command, cwd=medium, env=env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=err_file, start_new_session=True)
    try:
        started(process)
        text = err.read_text(errors="replace")
        check(NEEDS_DESKTOP not in text, f"{name}: refused to start:\n{text}")
    finally:
        end_process(process)


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    discmenu, sample = Path(argv[1]).resolve(), Path(argv[2]).resolve()
    root = Path(tempfile.mkdtemp(prefix="discmenu-nodisplay-")).resolve()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("[nodisplay] terminated"))
    run = Run(root, discmenu, sample)
    x_gone = free_x_display()
    # name, how the menu is started, the line expected, environment
    refusals = [
        ("no display", "build", ANY + "neither DISPLAY nor WAYLAND_DISPLAY is set", {}),
        ("X server gone", "build", ANY + f'the X display "{x_gone}" cannot be opened and WAYLAND_DISPLAY is not set',
         {"DISPLAY": x_gone}),
        ("Wayland socket missing", "build", ANY + 'DISPLAY is not set and the Wayland display "wayland-none" '
         'cannot be opened', {"WAYLAND_DISPLAY": "wayland-none"}),
        ("Wayland session, socket missing", "build", ANY + 'DISPLAY is not set and the Wayland display '
         '"wayland-0" cannot be opened', {"XDG_SESSION_TYPE": "wayland"}),
        ("both gone", "build", ANY + f'the X display "{x_gone}" cannot be opened and the Wayland display '
         '"wayland-none" cannot be opened', {"DISPLAY": x_gone, "WAYLAND_DISPLAY": "wayland-none"}),
        ("Wayland without the plug-in", "medium", ANY + 'the Wayland display "wayland-listening" cannot be used, '
         'as the Qt this menu runs on has no Wayland platform plug-in, and DISPLAY is not set',
         {"WAYLAND_DISPLAY": "wayland-listening"}),
        ("X11 chosen, no display", "build", X11 + "DISPLAY is not set", {"QT_QPA_PLATFORM": "xcb"}),
        ("autorun.sh, X server gone", "autorun", ANY + f'the X display "{x_gone}" cannot be opened and '
         'WAYLAND_DISPLAY is not set', {"DISPLAY": x_gone}),
        ("the launcher's X11, X server gone", "medium", X11 + f'the X display "{x_gone}" cannot be opened',
         {"DISPLAY": x_gone, "QT_QPA_PLATFORM": "xcb"}),
        ("the launcher's X11, Wayland only", "medium", X11 + "DISPLAY is not set (in a Wayland session, X11 "
         "programs need Xwayland)", {"WAYLAND_DISPLAY": "wayland-listening", "QT_QPA_PLATFORM": "xcb"}),
    ]
    try:
        for name, start, expected, values in refusals:
            expect_refusal(run, name, start, expected, **values)
            print(f"[nodisplay] {name}: refused with one line")

        def keeps_running(process):
            time.sleep(STAYS_RUNNING)
            check(process.poll() is None, f"explicit platform: exited with status {process.returncode}")

        expect_start(run, "explicit platform",
                     run.environment(QT_QPA_PLATFORM="offscreen", DISPLAY=x_gone, ASAN_OPTIONS="detect_leaks=0"),
                     keeps_running)
        print("[nodisplay] explicit platform: left to Qt")

        # An X server with no client but the menu: it resets whenever its last client leaves, and
        # refuses a connection that arrives meanwhile, so the check's own connection must not be
        # the last to leave before Qt connects. Refused, that shows in about half the starts.
        xvfb, display = start_xvfb()
        try:
            env = run.environment(DISPLAY=display, ASAN_OPTIONS="detect_leaks=0")
            tools = XTools(env)
            for start in range(X_STARTS):
                time.sleep(RESET_SETTLES)  # the server resets after the last start's menu left
                expect_start(run, f"working X server, start {start + 1}", env,
                             lambda process: tools.wait_window(CAPTION, RUN_TIMEOUT, process))
        finally:
            end_process(xvfb)
        print(f"[nodisplay] working X server: the window appears, {X_STARTS} times")
    except TestFailure as failure:
        print(f"[nodisplay] FAILED: {failure}\n(files kept in {root})", file=sys.stderr)
        return 1
    shutil.rmtree(root, ignore_errors=True)
    print("[nodisplay] passed")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
