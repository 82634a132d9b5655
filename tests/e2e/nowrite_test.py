#!/usr/bin/env python3
"""The menu writes nothing: not on the medium, not in the user's home, nowhere.

Usage: nowrite_test.py [--wayland] DISCMENU SAMPLE_MEDIUM

Runs the real menu from a copy of the sample medium (with the program copied into it, as on a real
medium) on a private Xvfb, under strace, and uses it as a person would: start-up, highlight the
second program, install it, show the readme, open the file dialog and cancel it, exit. With
--wayland (the GTK menu) the same on the Wayland session of the end-to-end tests (run.py), worked
through the accessibility bus, with a session bus and the desktop's settings, in a fresh home. Then every
file-changing system call made by the menu process and its own threads is judged; the processes
that the menu starts (set-up scripts, the viewer) are theirs and are not. Failed attempts count
as well: trying to write is the fault.

HOME, XDG_RUNTIME_DIR and the session bus address point into the test's temporary folder, so
anything Qt or fontconfig would keep in the user's home shows up here. Standard library only
(and, on Wayland, the AT-SPI bindings of tests/accessible.py).
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
from xsession import (TestFailure, XTools, check, end_process, make_env, stand_in_opener,  # noqa: E402
                      start_xvfb, tree_state, wait_until)
import run as e2e  # noqa: E402  (the Wayland session and the accessibility bus of the end-to-end tests)

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
    # In a Wayland session with a session bus (nowrite_test.py --wayland):
    ({"mkdir"} | OPEN_CALLS, r"{runtime}/dconf(/user)?",
     "the settings library (dconf) marks in the session's runtime folder (memory, emptied when the "
     "session ends) a flag that its service raises when the desktop's settings change; every program "
     "that reads the desktop's settings makes it, and it holds no setting"),
    ({"ftruncate"}, r"/memfd:[\w-]+",
     "GTK's pictures for the compositor, in anonymous shared memory: no file"),
    ({"chmod", "unlink"}, r"{runtime}/at-spi2-socket-\d+",
     "the accessibility bridge's socket in the session's runtime folder, through which screen readers "
     "reach the menu; removed when the menu ends"),
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

def use_menu(menu, marker, viewer):
    """A person's use of the menu, the same on either desktop: highlight the second program,
    install it, show the readme, open the file dialog and cancel it, exit."""
    menu.highlight(1)
    menu.press("alt+i", "Install highlighted program")
    wait_until(lambda: marker.exists() and "Card Game|" in marker.read_text(), 20, "the Card Game set-up")
    menu.press("alt+r", "Show Readme")
    wait_until(viewer.exists, 20, "the readme viewer")
    menu.browse_and_cancel()
    menu.press("alt+e", "Exit")


class OnX11:
    """Works the menu on an X server with the X tools: mouse and keys."""

    def __init__(self, env, process, error_text):
        self.process, self.error_text = process, error_text
        self.desktop = XTools(env, timeout=30, key_delay=50)
        self.window = self.desktop.wait_window(CAPTION, 60, process, output=error_text)
        self.desktop.focus(self.window)

    def highlight(self, row):
        # The first program with the mouse, then the one asked for with the keyboard.
        left, top, _, _ = self.desktop.geometry(self.window)
        self.desktop.click(left + LIST_LEFT + 30, top + LIST_TOP + ITEM_HEIGHT // 2)
        time.sleep(0.3)
        self.desktop.key(*["Down"] * row)

    def press(self, key, _name):
        self.desktop.focus(self.window)
        self.desktop.key(key)

    def browse_and_cancel(self):
        self.press("alt+b", None)
        dialog = self.desktop.wait_window(DIALOG, 30, self.process, output=self.error_text)
        self.desktop.focus(dialog)
        self.desktop.key("Escape")
        wait_until(lambda: not self.desktop.windows(DIALOG), 20, "the file dialog to close")


class OnBus:
    """Works the menu of process `pid` through the accessibility bus, as a screen reader does."""

    def __init__(self, session, pid):
        self.session = session
        self.bus, self.app, self.window = e2e.on_bus(session, pid)

    def highlight(self, row):
        self.bus.select(self.window, "table" if self.bus.find(self.window, "table") else "list", row)

    def press(self, _key, name):
        e2e.press_at_once(self.bus, self.window, name)

    def browse_and_cancel(self):
        self.press("alt+b", "Browse CD")
        chooser = e2e.wait_dialog(self.session, self.bus, self.app, ("file chooser", "dialog"), DIALOG)
        e2e.press_at_once(self.bus, chooser, "Cancel")
        e2e.wait_closed(self.bus, self.app)


def traced_use(root, env, program, driver, marker, viewer):
    """Runs `program` in its folder under strace with `env`, works it with the driver that
    driver(strace's process, a function giving the menu's standard error) makes, waits for its
    end, and returns the trace: {pid: lines}."""
    traces = root / "trace"
    traces.mkdir()
    calls = ",".join(sorted(OPEN_CALLS | CHANGING_CALLS))
    with open(root / "menu.out", "wb") as out, open(root / "menu.err", "wb") as err:
        strace = subprocess.Popen(
            ["strace", "-ff", "-qq", "-y", "-s", "4096", "-e", "signal=none", "-e",
             f"trace={calls},{BOOKKEEPING}", "-o", str(traces / "task"), str(program)],
            cwd=program.parent, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err)
    try:
        use_menu(driver(strace, lambda: (root / "menu.err").read_text()), marker, viewer)
        try:
            strace.wait(timeout=60)
        except subprocess.TimeoutExpired:
            raise TestFailure("the menu did not end within 60 s of Exit") from None
    finally:
        end_process(strace)
    return trace_files(traces)


def traced_child(process):
    """The process id of the program that `process` (strace) started, once it runs."""
    children = Path(f"/proc/{process.pid}/task/{process.pid}/children")
    return int(wait_until(lambda: children.read_text().split(), 20, "the traced menu")[0])


def judge(files, program, env, home, kept=()):
    """The menu's own tasks changed no file but as ALLOWED says, and nothing but the folders
    `kept` is in `home`."""
    menu, threads = menu_threads(files, str(program))
    others = sorted(set(files) - threads)
    print(f"menu process {menu} with {len(threads) - 1} thread(s); "
          f"{len(others)} started process(es) not judged", flush=True)
    faults = []
    places = {"runtime": re.escape(env["XDG_RUNTIME_DIR"]), "home": re.escape(str(home))}
    for task in sorted(threads):
        for call, path, line in writes_in(files[task]):
            if not allowed(call, path, places):
                faults.append(f"  task {task}: {call} {path}\n      {line}")
    check(not faults, "the menu changed or tried to change files:\n" + "\n".join(faults))
    leftovers = sorted(str(p) for p in home.rglob("*") if p not in kept and not allowed("open", str(p), places))
    check(not leftovers, f"files appeared in {home}: {leftovers}")


def run_x11(discmenu, sample):
    root = Path(tempfile.mkdtemp(prefix="discmenu-nowrite-")).resolve()
    xvfb = None
    ok = False
    try:
        medium = root / "cd"
        shutil.copytree(sample, medium)
        program = medium / "discmenu"
        shutil.copy2(discmenu, program)
        before = tree_state(medium)

        xvfb, display = start_xvfb(root / "xvfb.log", noreset=True)
        env = menu_env(root, display)
        files = traced_use(root, env, program, lambda strace, error_text: OnX11(env, strace, error_text),
                           root / "marker.txt", root / "viewer.txt")
        home = root / "home"
        judge(files, program, env, home,
              {home / folder for folder in SESSION_FOLDERS} | {home / ".config", home / ".local"})
        check(tree_state(medium) == before, "the medium's files changed")
        ok = True
        print("nowrite_test: PASSED")
    finally:
        if xvfb and xvfb.poll() is None:
            xvfb.kill()
            xvfb.wait()
        if ok and not os.environ.get("DISCMENU_E2E_KEEP"):
            shutil.rmtree(root, ignore_errors=True)
        else:
            print(f"files kept in {root}", file=sys.stderr)


def run_wayland(discmenu, sample):
    """The same on the end-to-end tests' Wayland session (weston, a session bus, the desktop's
    settings), worked through the accessibility bus, in a fresh home folder and settings folder
    that stay empty: no file, no settings key."""
    with e2e.Session("nowrite", discmenu, sample, e2e.FRONT_ENDS["gtk"], wayland=True) as s:
        medium = s.medium(with_program=True)
        files = traced_use(s.root, s.env, medium / "discmenu",
                           lambda strace, _: OnBus(s, traced_child(strace)), s.marker, s.viewer_log)
        judge(files, medium / "discmenu", s.env, s.home)
        made = sorted(str(p) for p in s.config.rglob("*"))
        check(not made, f"the menu's session wrote settings: {made}")
        s.check_media_untouched()
    print("nowrite_test: PASSED (Wayland)")


def main():
    args = sys.argv[1:]
    wayland = args[:1] == ["--wayland"]
    args = args[1:] if wayland else args
    if len(args) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    for tool in ("weston", "dbus-daemon", "dconf", "strace") if wayland else ("Xvfb", "xdotool", "xwininfo", "strace"):
        if not shutil.which(tool):
            print(f"nowrite_test: {tool} is not installed", file=sys.stderr)
            return 1
    try:
        (run_wayland if wayland else run_x11)(Path(args[0]).resolve(), Path(args[1]).resolve())
    except TestFailure as failure:
        print(f"nowrite_test: FAILED: {failure}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
