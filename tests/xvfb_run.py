#!/usr/bin/env python3
"""Runs a command on a private Xvfb (started by tests/xsession.py) and returns its exit status.

Usage: xvfb_run.py COMMAND [ARGUMENT...]
"""

import os
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from xsession import end_process, start_xvfb  # noqa: E402


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    xvfb, display = start_xvfb()
    try:
        env = {key: value for key, value in os.environ.items() if key not in ("WAYLAND_DISPLAY", "XAUTHORITY")}
        env["DISPLAY"] = display
        return subprocess.run(argv[1:], env=env).returncode
    finally:
        end_process(xvfb)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
