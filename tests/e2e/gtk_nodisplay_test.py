#!/usr/bin/env python3
"""discmenu-gtk started where GTK can open no display: one line on standard error that says what is
missing, and exit status 1 (never a crash, never GTK's own messages). And neither the program nor
the libraries given need a Qt library (ldd): the GTK menu never loads Qt.

Usage: gtk_nodisplay_test.py DISCMENU_GTK SAMPLE_MEDIUM [LIBRARY...]

Standard library only.
"""

import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))
from xsession import TestFailure, check  # noqa: E402

NEEDS = "discmenu: needs a graphical desktop session (X11 or Wayland), but "
NO_X = ":7999"  # no server: Xvfb is never started on it here

# (environment given, what the line says after NEEDS)
CASES = [
    ({}, "neither DISPLAY nor WAYLAND_DISPLAY is set"),
    ({"DISPLAY": NO_X}, f'the X display "{NO_X}" cannot be opened and WAYLAND_DISPLAY is not set'),
    ({"WAYLAND_DISPLAY": "wayland-none"},
     'DISPLAY is not set and the Wayland display "wayland-none" cannot be opened'),
    ({"DISPLAY": NO_X, "WAYLAND_DISPLAY": "wayland-none", "GDK_BACKEND": "x11"},
     f'the X display "{NO_X}" cannot be opened and the Wayland display "wayland-none" cannot be opened '
     '(GDK_BACKEND is "x11")'),
]


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    program, sample, libraries = argv[1], argv[2], argv[3:]
    root = Path(tempfile.mkdtemp(prefix="discmenu-gtk-nodisplay-"))
    try:
        medium = root / "cd"
        shutil.copytree(sample, medium)
        for given, why in CASES:
            runtime = Path(tempfile.mkdtemp(prefix="runtime-", dir=root))
            env = {key: value for key, value in os.environ.items()
                   if key not in ("DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "GDK_BACKEND", "XAUTHORITY")}
            env.update({"XDG_RUNTIME_DIR": str(runtime), "LC_ALL": "C.UTF-8", "ASAN_OPTIONS": "detect_leaks=0"},
                       **given)
            result = subprocess.run([program], cwd=medium, env=env, capture_output=True, text=True, timeout=30)
            check(result.returncode == 1, f"{given}: status {result.returncode}, expected 1; "
                                          f"standard error:\n{result.stderr}")
            check(result.stderr == NEEDS + why + "\n", f"{given}: standard error is\n{result.stderr!r}\n"
                                                      f"expected\n{NEEDS + why!r}")
        for binary in [program] + libraries:
            needs = subprocess.run(["ldd", binary], capture_output=True, text=True, timeout=30)
            check(needs.returncode == 0, f"ldd {binary} failed: {needs.stderr}")
            check("libgtk-3" in needs.stdout, f"{binary} does not need GTK 3:\n{needs.stdout}")
            qt = [line.strip() for line in needs.stdout.splitlines() if "libQt" in line]
            check(not qt, f"{binary} needs Qt: {qt}")
    except TestFailure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(root, ignore_errors=True)
    print(f"{len(CASES)} cases and {1 + len(libraries)} ldd checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
