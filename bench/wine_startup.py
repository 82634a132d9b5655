#!/usr/bin/env python3
"""Start-up of discmenu.exe under Wine against an empty Win32 window of the same size.

Usage: wine_startup.py RUNS MEDIUM DISCMENU EMPTYWINDOW PREFIX

Runs the menu (in a copy of MEDIUM, with discmenu.exe in its root, as on a real medium) and the
empty window (bench/emptywindow_win32.cpp, built the same way) alternately, RUNS times each, on
a private Xvfb, in a copy of the Wine prefix PREFIX whose wineserver is kept running between
runs (as on Windows, where the system is already up). The time is taken from outside: from the
start of the process until X maps its window (MapNotify on the root window, matched by title),
so neither program carries benchmark code. Also prints the size of discmenu.exe and what the menu reads from the medium
before its window shows: the executable and the catalogue. The two programs are run in turn,
each round in the other order. Prints tab-separated rows: metric, menu, empty window, ratio.
"""

import ctypes
import os
import select
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests"))
sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "wine"))
from xsession import end_process, make_env, start_xvfb  # noqa: E402
import wine  # noqa: E402

MENU_TITLE = "Sample Software Collection (Winter Edition)"
EMPTY_TITLE = "Empty window"
MAP_TIMEOUT = 60.0

MAP_NOTIFY = 19
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19


class XMapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong), ("window", ctypes.c_ulong),
                ("override_redirect", ctypes.c_int)]


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xmap", XMapEvent), ("pad", ctypes.c_long * 24)]


class MapWatcher:
    """Reports the windows X maps on a display, with their titles."""

    def __init__(self, display):
        x = ctypes.CDLL("libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        x.XConnectionNumber.argtypes = [ctypes.c_void_p]
        x.XPending.argtypes = [ctypes.c_void_p]
        x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(XEvent)]
        x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
        x.XFree.argtypes = [ctypes.c_void_p]
        x.XFlush.argtypes = [ctypes.c_void_p]
        self.x = x
        self.dpy = x.XOpenDisplay(display.encode())
        if not self.dpy:
            raise SystemExit(f"cannot open display {display}")
        x.XSelectInput(self.dpy, x.XDefaultRootWindow(self.dpy), SUBSTRUCTURE_NOTIFY_MASK)
        x.XFlush(self.dpy)
        self.fd = x.XConnectionNumber(self.dpy)

    def title(self, window):
        name = ctypes.c_char_p()
        if not self.x.XFetchName(self.dpy, window, ctypes.byref(name)) or not name.value:
            return None
        text = name.value.decode(errors="replace")
        self.x.XFree(name)
        return text

    def drain(self):
        event = XEvent()
        while self.x.XPending(self.dpy):
            self.x.XNextEvent(self.dpy, ctypes.byref(event))

    def wait_map(self, title, process, timeout):
        """Seconds on the monotonic clock when a window titled `title` was mapped."""
        event = XEvent()
        deadline = time.monotonic() + timeout
        while True:
            while self.x.XPending(self.dpy):
                self.x.XNextEvent(self.dpy, ctypes.byref(event))
                if event.type == MAP_NOTIFY and self.title(event.xmap.window) == title:
                    return time.monotonic()
            if process.poll() is not None:
                raise SystemExit(f"the program ended (status {process.returncode}) before showing \"{title}\"")
            left = deadline - time.monotonic()
            if left <= 0:
                raise SystemExit(f"no window \"{title}\" within {timeout:g} s")
            select.select([self.fd], [], [], min(left, 0.5))


def run_once(watcher, program, title, cwd, env):
    watcher.drain()
    command = wine.command(wine.pe_bits(program), program)[0]  # tries the loader: not to be timed
    started = time.monotonic()
    process = subprocess.Popen(command, cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        shown = watcher.wait_map(title, process, MAP_TIMEOUT)
    finally:
        process.kill()
        process.wait()
    return (shown - started) * 1000.0


def main(argv):
    if len(argv) != 6 or not argv[1].isdigit() or int(argv[1]) < 1:
        print(__doc__, file=sys.stderr)
        return 2
    runs = int(argv[1])
    medium_source, discmenu, empty, prefix_template = (Path(a).resolve() for a in argv[2:])
    bits = wine.pe_bits(discmenu)
    work = Path(tempfile.mkdtemp(prefix="discmenu-wine-bench-"))
    xvfb = server = None
    try:
        medium = work / "cd"
        shutil.copytree(medium_source, medium)
        shutil.copy2(discmenu, medium / "discmenu.exe")
        prefix = work / "prefix"
        shutil.copytree(prefix_template, prefix, symlinks=True)
        xvfb, display = start_xvfb(work / "xvfb.log")
        env = make_env(display, work / "runtime", drop_prefixes=("WINE",), WINEPREFIX=str(prefix),
                       WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", **wine.command(bits)[1])
        # The wineserver and Wine's services stay up between runs, as Windows does.
        server = subprocess.Popen(["wineserver", "-f", "-p"], env=env, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        watcher = MapWatcher(display)
        programs = [("menu", medium / "discmenu.exe", MENU_TITLE, medium),
                    ("empty", empty, EMPTY_TITLE, work)]
        for _, program, title, cwd in programs:  # warm-up: services, caches
            run_once(watcher, program, title, cwd, env)
        times = {"menu": [], "empty": []}
        # Each round in the other order: neither program always starts just after the other one
        # ended (while Wine's server may still be tidying up after it).
        for round_ in range(runs):
            for name, program, title, cwd in programs[::-1] if round_ % 2 else programs:
                times[name].append(run_once(watcher, program, title, cwd, env))
    finally:
        if server:
            subprocess.run(["wineserver", "-k"], env={**os.environ, "WINEPREFIX": str(work / "prefix")},
                           capture_output=True, timeout=30)
            end_process(server)
        if xvfb:
            end_process(xvfb)
        shutil.rmtree(work, ignore_errors=True)

    def row(metric, menu, empty_value, digits=1):
        ratio = f"{menu / empty_value:.3f}" if empty_value else "-"
        print(f"{metric}\t{menu:.{digits}f}\t{empty_value:.{digits}f}\t{ratio}")

    row(f"{bits}-bit Windows build under {bits}-bit Wine: start-up to window shown (ms, median of {runs})",
        statistics.median(times["menu"]), statistics.median(times["empty"]))
    # The machine's speed drifts over seconds (other work on its cores): the ratio within each
    # round, of two runs a moment apart, is steadier than the ratio of the two medians.
    rounds = [menu / empty_value for menu, empty_value in zip(times["menu"], times["empty"])]
    print(f"start-up, menu over the empty window of the same round (median of {runs} ratios)\t-\t-\t"
          f"{statistics.median(rounds):.3f}")
    exe = discmenu.stat().st_size
    catalogue = (medium_source / "contents.inf").stat().st_size
    print(f"discmenu.exe size (bytes)\t{exe}\t{empty.stat().st_size}\t-")
    # Wine's loader reads the whole executable (its sections are not page-aligned); Windows reads
    # the pages it touches, at most the whole file.
    print(f"read from the medium until the window shows (bytes: exe + catalogue)\t{exe + catalogue}\t-\t-")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
