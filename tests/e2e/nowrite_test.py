#!/usr/bin/env python3
"""The menu writes nothing: not on the medium, not in the user's home, nowhere.

Usage: nowrite_test.py DISCMENU SAMPLE_MEDIUM

Runs the real menu from a copy of the sample medium (with the program copied into it, as on a real
medium) on a private Xvfb, under strace, and uses it as a person would: start-up, highlight the
second program, install it, show the readme, open the file dialog and cancel it, exit. Then every
file-changing system call made by the menu process and its own threads is judged; the processes
that the menu starts (set-up scripts, the viewer) are theirs and are not. Failed attempts count
as well: trying to write is the fault.

HOME, XDG_RUNTIME_DIR and the session bus address point into the test's temporary folder, so
anything Qt or fontconfig would keep in the user's home shows up here. Standard library only.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))
from xsession import (TestFailure, XTools, check, make_env, stand_in_opener, start_xvfb,  # noqa: E402
                      tree_state, wait_until)

CAPTION = "Sample Software Collection (Winter Edition)"
DIALOG = "Open"
# The program list inside the window's client area, in pixels, and the height of one item.
LIST_LEFT, LIST_TOP, ITEM_HEIGHT = 8, 81, 12

CHANGING_CALLS = {
    "creat", "rename", "renameat", "renameat2", "unlink", "unlinkat", "mkdir", "mkdirat", "rmdir",
    "truncate", "ftruncate", "link", "linkat", "symlink", "symlinkat", "chmod", "fchmodat",
}
OPEN_CALLS = {"open", "openat", "openat2"}
WRITE_FLAGS = ("O_WRONLY", "O_RDWR", "O_CREAT", "O_TRUNC")
# Traced as well, to tell the menu's threads from the processes it starts and to find the menu.
BOOKKEEPING = "clone,clone3,fork,vfork,execve"

# The only file-changing calls the menu may make: (calls, path pattern, reason). Patterns match the
# whole path; {runtime} and {home} stand for the test's XDG_RUNTIME_DIR and HOME.
ANY_CALL = OPEN_CALLS | CHANGING_CALLS
ALLOWED = [
    ({"mkdir"}, r"{runtime}",
     "Qt makes sure that the session's runtime folder exists when it starts; it does (as in any "
     "desktop session), so the call fails with EEXIST and creates nothing"),
    (ANY_CALL, r"{home}/\.cache(/fontconfig(/.*)?)?",
     "fontconfig's per-user cache of the installed fonts, which it rebuilds when the system's cache "
     "is out of date: the font library's cache, not the menu's state"),
    (ANY_CALL, r"/var/cache/fontconfig(/.*)?",
     "the same cache in the system's place, which fontconfig updates when it may write there (root)"),
    ({"mkdir"}, r"{home}/\.local/share|{home}/\.config/gtk-3\.0",
     "GTK's file chooser makes sure that the folders of the desktop's recent files and bookmarks "
     "exist; they do (as in a desktop session that has run GTK programs), so the call fails with "
     "EEXIST and creates nothing"),
]

# The folders of a desktop session's home that programs expect to be there.
SESSION_FOLDERS = (".config/gtk-3.0", ".local/share", ".cache")


def menu_env(root, display):
    """The menu's environment, with HOME, the runtime folder and the session bus in `root`."""
    home = root / "home"
    home.mkdir()
    for folder in SESSION_FOLDERS:
        (home / folder).mkdir(parents=True)
    env = make_env(display, root / "runtime", drop_prefixes=("XDG_", "DBUS_"),
                   HOME=str(home),
                   # No session bus: without one, the D-Bus library would start a bus daemon of its own.
                   DBUS_SESSION_BUS_ADDRESS=f"unix:path={root / 'no-bus'}",
                   # The desktop's opener, replaced by one that only notes that it ran.
                   PATH=stand_in_opener(root / "bin", root / "viewer.txt", "$*"),
                   DISCMENU_MARKER=str(root / "marker.txt"),
                   QT_QPA_PLATFORM="xcb",
                   QT_SCALE_FACTOR="1")
    env.setdefault("ASAN_OPTIONS", "detect_leaks=0")
    return env


# --- judging the trace ---------------------------------------------------------------------------

CALL = re.compile(r"^(\w+)\((.*)\)\s+=\s+(-?\d+|\?)(.*)$")
QUOTED = re.compile(r'"((?:[^"\\]|\\.)*)"')
FD_PATH = re.compile(r"^\s*(?:AT_FDCWD|-?\d+)<([^>]*)>")


def trace_files(folder):
    """{pid: lines} for every process or thread strace followed."""
    files = {}
    for path in folder.iterdir():
        pid = int(path.name.rsplit(".", 1)[1])
        files[pid] = path.read_text(errors="replace").splitlines()
    return files


def menu_threads(files, program):
    """The menu's process id and all its threads: the pid that executed `program`, and every task
    it or its threads created with CLONE_THREAD. Other clones are processes the menu started."""
    mains = [pid for pid, lines in files.items()
             if any(line.startswith(f'execve("{program}"') and line.endswith("= 0") for line in lines)]
    check(len(mains) == 1, f"expected one process that ran {program}, found {mains}")
    threads, todo = set(), [mains[0]]
    while todo:
        pid = todo.pop()
        threads.add(pid)
        for line in files.get(pid, []):
            match = CALL.match(line)
            if match and match.group(1) in ("clone", "clone3") and "CLONE_THREAD" in match.group(2):
                child = int(match.group(3))
                if child > 0 and child not in threads:
                    todo.append(child)
    return mains[0], threads


def unescape(text):
    return text.encode("latin-1", "backslashreplace").decode("unicode_escape").encode("latin-1").decode(
        "utf-8", "replace")


def target_path(args):
    """The path a call names: its first quoted string, made absolute with the directory strace
    printed for its dirfd (-y); or, for calls on a file descriptor, the descriptor's path."""
    quoted = QUOTED.search(args)
    fd = FD_PATH.match(args)
    if not quoted:
        return fd.group(1) if fd else "?"
    path = unescape(quoted.group(1))
    if not path.startswith("/") and fd:
        path = os.path.join(fd.group(1), path)
    return os.path.normpath(path)


def writes_in(lines):
    """(call, path, line) for every file-changing call in the lines of one task."""
    found = []
    for line in lines:
        match = CALL.match(line)
        if not match:
            continue
        call, args = match.group(1), match.group(2)
        if call in OPEN_CALLS:
            flags = args.split("{flags=", 1)[1] if call == "openat2" else args
            if not any(re.search(rf"\b{flag}\b", flags) for flag in WRITE_FLAGS):
                continue
        elif call not in CHANGING_CALLS:
            continue
        found.append((call, target_path(args), line))
    return found


def allowed(call, path, places):
    return any(call in calls and re.fullmatch(pattern.format(**places), path)
               for calls, pattern, _reason in ALLOWED)


# --- the test ------------------------------------------------------------------------------------

def run(discmenu, sample):
    root = Path(tempfile.mkdtemp(prefix="discmenu-nowrite-")).resolve()
    xvfb = strace = None
    ok = False
    try:
        medium = root / "cd"
        shutil.copytree(sample, medium)
        program = medium / "discmenu"
        shutil.copy2(discmenu, program)
        before = tree_state(medium)

        xvfb, display = start_xvfb(root / "xvfb.log", noreset=True)
        env = menu_env(root, display)
        desktop = XTools(env, timeout=30, key_delay=50)
        traces = root / "trace"
        traces.mkdir()
        calls = ",".join(sorted(OPEN_CALLS | CHANGING_CALLS))
        with open(root / "menu.out", "wb") as out, open(root / "menu.err", "wb") as err:
            strace = subprocess.Popen(
                ["strace", "-ff", "-qq", "-y", "-s", "4096", "-e", "signal=none", "-e",
                 f"trace={calls},{BOOKKEEPING}", "-o", str(traces / "task"), str(program)],
                cwd=medium, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err)

        def error_text():
            return (root / "menu.err").read_text()

        window = desktop.wait_window(CAPTION, 60, strace, output=error_text)
        desktop.focus(window)

        # Highlight the first program with the mouse, then the second with the keyboard.
        left, top, _, _ = desktop.geometry(window)
        desktop.click(left + LIST_LEFT + 30, top + LIST_TOP + ITEM_HEIGHT // 2)
        time.sleep(0.3)
        desktop.key("Down")

        # Install: the second program's set-up runs.
        desktop.key("alt+i")
        marker = root / "marker.txt"
        wait_until(lambda: marker.exists() and "Card Game|" in marker.read_text(), 20, "the Card Game set-up")

        # Readme.
        desktop.key("alt+r")
        wait_until(lambda: (root / "viewer.txt").exists(), 20, "the readme viewer")

        # Browse, then cancel the dialog.
        desktop.key("alt+b")
        dialog = desktop.wait_window(DIALOG, 30, strace, output=error_text)
        desktop.focus(dialog)
        desktop.key("Escape")
        wait_until(lambda: not desktop.windows(DIALOG), 20, "the file dialog to close")

        # Exit.
        desktop.focus(window)
        desktop.key("alt+e")
        try:
            strace.wait(timeout=60)
        except subprocess.TimeoutExpired:
            raise TestFailure("the menu did not end within 60 s of Alt+E") from None

        files = trace_files(traces)
        menu, threads = menu_threads(files, str(program))
        others = sorted(set(files) - threads)
        print(f"menu process {menu} with {len(threads) - 1} thread(s); "
              f"{len(others)} started process(es) not judged", flush=True)

        faults = []
        home = root / "home"
        places = {"runtime": re.escape(env["XDG_RUNTIME_DIR"]), "home": re.escape(str(home))}
        for task in sorted(threads):
            for call, path, line in writes_in(files[task]):
                if not allowed(call, path, places):
                    faults.append(f"  task {task}: {call} {path}\n      {line}")
        check(not faults, "the menu changed or tried to change files:\n" + "\n".join(faults))
        check(tree_state(medium) == before, "the medium's files changed")
        session = {home / folder for folder in SESSION_FOLDERS} | {home / ".config", home / ".local"}
        leftovers = sorted(str(p) for p in home.rglob("*")
                           if p not in session and not allowed("open", str(p), places))
        check(not leftovers, f"files appeared in HOME: {leftovers}")
        ok = True
        print("nowrite_test: PASSED")
    finally:
        for process in (strace, xvfb):
            if process and process.poll() is None:
                process.kill()
                process.wait()
        if ok and not os.environ.get("DISCMENU_E2E_KEEP"):
            shutil.rmtree(root, ignore_errors=True)
        else:
            print(f"files kept in {root}", file=sys.stderr)


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    for tool in ("Xvfb", "xdotool", "xwininfo", "strace"):
        if not shutil.which(tool):
            print(f"nowrite_test: {tool} is not installed", file=sys.stderr)
            return 1
    try:
        run(Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve())
    except TestFailure as failure:
        print(f"nowrite_test: FAILED: {failure}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
